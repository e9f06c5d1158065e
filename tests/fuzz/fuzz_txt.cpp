// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the text scanners (fscan_txt, fligne, lire_ligne,
// saute_ligne) on one file holding the input.
//
// The file is an in-memory one (memfd) reached by its /proc path, so that
// the scanners open it by name as they would any file, without touching the
// disk. The scanners are checked against each other and against the input:
// fscan_txt's lines put end to end give back every byte; fligne's two
// counts add up to fscan_txt's line count; reading the stream line by line
// with lire_ligne and saute_ligne in turn gives the same lines, without
// their line ends, and stops at the same count.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "zolfichier.h"

namespace
{

// Length of a line without its line end ("\n", "\r\n" or "\r").
int sansFin(const char *ligne, int l)
{
    if (l > 0 && ligne[l - 1] == '\n')
        --l;
    if (l > 0 && ligne[l - 1] == '\r')
        --l;
    return l;
}

void verifieFlux(const char *chemin, char **tab, int n)
{
    FILE *f = fopen(chemin, "rb");
    if (f == nullptr)
        return;
    const int *longueurs = reinterpret_cast<const int *>(tab[n]);
    int k = 0;
    // Every stream has at least one line, possibly empty; the end of the
    // file is seen once the last one is read.
    do {
        if (k >= n)
            __builtin_trap();
        const int attendu = sansFin(tab[k], longueurs[k]);
        if (k % 2 == 0) {
            char *ligne = lire_ligne(f);
            if (ligne == nullptr)
                __builtin_trap();
            // A NUL inside the line ends the C string early.
            const size_t l = strlen(ligne);
            if (l > static_cast<size_t>(attendu) || memcmp(ligne, tab[k], l) != 0 ||
                (l < static_cast<size_t>(attendu) && tab[k][l] != '\0'))
                __builtin_trap();
            free(ligne);
        } else if (saute_ligne(f) != attendu) {
            __builtin_trap();
        }
        ++k;
    } while (!feof(f));
    fclose(f);
    // After a lone CR at the very end, the look-ahead for an LF meets the
    // end of the file: the stream reports it before the empty last line.
    const bool crFinal = n >= 2 && longueurs[n - 1] == 0 && longueurs[n - 2] > 0 &&
                         tab[n - 2][longueurs[n - 2] - 1] == '\r';
    if (k != n && !(crFinal && k == n - 1))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int fd = memfd_create("fuzz_txt", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        return 0;
    const std::string chemin = "/proc/self/fd/" + std::to_string(fd);

    int n = -1;
    char **tab = fscan_txt(chemin.c_str(), n);
    if (tab == nullptr)
        return 0;
    const int *longueurs = reinterpret_cast<const int *>(tab[n]);
    size_t total = 0;
    for (int i = 0; i < n; ++i) {
        const size_t l = static_cast<size_t>(longueurs[i]);
        if (total + l > size || memcmp(tab[i], data + total, l) != 0 || tab[i][l] != '\0')
            __builtin_trap();
        total += l;
    }
    if (n < 1 || total != size)
        __builtin_trap();

    int vides = -1;
    const int pleines = fligne(chemin.c_str(), vides);
    if (pleines < 0 || vides < 0 || pleines + vides != n)
        __builtin_trap();

    verifieFlux(chemin.c_str(), tab, n);

    for (int i = 0; i < n; ++i)
        delete[] tab[i];
    delete[] reinterpret_cast<const int *>(tab[n]);
    delete[] tab;
    return 0;
}
