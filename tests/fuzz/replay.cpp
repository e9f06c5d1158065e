// SPDX-License-Identifier: GPL-3.0-or-later
// Replays fuzz inputs through a fuzz target without libFuzzer.
//
// Without arguments: every file of corpus/<target> and crashes/<target> under
// the fuzz directory, in name order; fails when the seed corpus is missing or
// empty, so that a wrong path cannot pass for a clean replay. With
// arguments: the given files (to check one finding by hand).
//
// A crash, a sanitizer report or a leak ends the process with an error, which
// fails the test; so does an input that runs for more than 30 s (the
// default action of SIGALRM), far beyond what any committed input needs even
// under the sanitizers, so that a hang found once cannot come back unseen.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace fs = std::filesystem;

namespace
{

bool rejoue(const fs::path &fichier)
{
    std::ifstream in(fichier, std::ios::binary);
    if (!in) {
        fprintf(stderr, "cannot read '%s'\n", fichier.c_str());
        return false;
    }
    std::vector<uint8_t> octets((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
    // A block of exactly `size` bytes, as libFuzzer hands it (never null,
    // even when empty): any read past the end is a heap overflow that
    // AddressSanitizer sees.
    std::unique_ptr<uint8_t[]> copie(new uint8_t[octets.size()]);
    std::copy(octets.begin(), octets.end(), copie.get());
    LLVMFuzzerTestOneInput(copie.get(), octets.size());
    return true;
}

std::vector<fs::path> fichiers(const fs::path &rep)
{
    std::vector<fs::path> liste;
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(rep, ec))
        if (e.is_regular_file())
            liste.push_back(e.path());
    std::sort(liste.begin(), liste.end());
    return liste;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<fs::path> liste;
    if (argc > 1) {
        liste.assign(argv + 1, argv + argc);
    } else {
        const fs::path base(FUZZ_DIR);
        liste = fichiers(base / "corpus" / FUZZ_CIBLE);
        if (liste.empty()) {
            fprintf(stderr, "no seed in '%s'\n", (base / "corpus" / FUZZ_CIBLE).c_str());
            return 1;
        }
        const auto trouvailles = fichiers(base / "crashes" / FUZZ_CIBLE);
        liste.insert(liste.end(), trouvailles.begin(), trouvailles.end());
    }
    for (const auto &f : liste) {
        fprintf(stderr, "replay %s\n", f.c_str());
        alarm(30);
        if (!rejoue(f))
            return 1;
        alarm(0);
    }
    fprintf(stderr, "%zu inputs replayed through fuzz_%s\n", liste.size(), FUZZ_CIBLE);
    return 0;
}
