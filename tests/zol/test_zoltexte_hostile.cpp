// SPDX-License-Identifier: GPL-3.0-or-later
// The four text scanners on hostile text, one table of input classes, each
// with the exact outcome of every scanner on the same file: fscan_txt's
// lines, fligne's two counts, and the lines that lire_ligne and saute_ligne
// see. Sizes of a mebibyte are included: a scanner that copies its whole
// buffer every few bytes takes a minute on them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "reptemp.h"
#include "zolfichier.h"

namespace
{

using Lignes = std::vector<std::string>;

struct Cas {
    const char *classe;
    std::string octets;
    Lignes lignes;      // fscan_txt, line ends kept
    int pleines, vides; // fligne
    Lignes flux;        // lire_ligne up to the end of the file (C strings)
};

Lignes scan(const std::string &chemin)
{
    int n = -1;
    char **tab = fscan_txt(chemin.c_str(), n);
    if (tab == nullptr)
        return {"<null>"};
    const int *longueurs = reinterpret_cast<const int *>(tab[n]);
    Lignes v;
    for (int i = 0; i < n; ++i) {
        v.emplace_back(tab[i], static_cast<size_t>(longueurs[i]));
        delete[] tab[i];
    }
    delete[] longueurs;
    delete[] tab;
    return v;
}

// Reads with lire_ligne until the stream reports its end.
Lignes flux(const std::string &chemin)
{
    Lignes v;
    FILE *f = fopen(chemin.c_str(), "r");
    if (f == nullptr)
        return {"<no file>"};
    do {
        char *l = lire_ligne(f);
        v.push_back(l ? l : "<null>");
        free(l);
    } while (!feof(f));
    fclose(f);
    return v;
}

// The same with saute_ligne: the length of each line.
std::vector<int> sauts(const std::string &chemin)
{
    std::vector<int> v;
    FILE *f = fopen(chemin.c_str(), "r");
    if (f == nullptr)
        return {-1};
    do
        v.push_back(saute_ligne(f));
    while (!feof(f));
    fclose(f);
    return v;
}

TEST(TexteHostile, EveryScannerOnEveryClass)
{
    const std::string mega(1 << 20, 'm');
    const std::string vides(1 << 20, '\n');
    const std::string nul("a\0b\n", 4);
    std::vector<Cas> table = {
        {"empty file", "", {""}, 0, 1, {""}},
        {"byte 255 is text", "\xff\n\xff\xff", {"\xff\n", "\xff\xff"}, 2, 0, {"\xff", "\xff\xff"}},
        {"NUL inside a line", nul, {nul, ""}, 1, 1, {"a", ""}},
        {"lone CR", "a\rb", {"a\r", "b"}, 2, 0, {"a", "b"}},
        // The look-ahead after a final CR meets the end of the file: the
        // stream reports it before the empty last line.
        {"lone CR at the end", "a\r", {"a\r", ""}, 1, 1, {"a"}},
        {"CR LF", "a\r\n\r\nb", {"a\r\n", "\r\n", "b"}, 2, 1, {"a", "", "b"}},
        {"LF CR is two ends", "a\n\rb", {"a\n", "\r", "b"}, 2, 1, {"a", "", "b"}},
        {"no final line end", "a\nb", {"a\n", "b"}, 2, 0, {"a", "b"}},
        {"blanks only", " \t\n\t", {" \t\n", "\t"}, 0, 2, {" \t", "\t"}},
        {"1 MiB line", mega, {mega}, 1, 0, {mega}},
    };
    RepTemp rep;
    for (const Cas &c : table) {
        SCOPED_TRACE(c.classe);
        const std::string chemin = rep / "texte";
        ecritFichier(chemin, c.octets);
        EXPECT_EQ(scan(chemin), c.lignes);
        int v = -1;
        EXPECT_EQ(fligne(chemin.c_str(), v), c.pleines);
        EXPECT_EQ(v, c.vides);
        EXPECT_EQ(flux(chemin), c.flux);
        std::vector<int> longueurs;
        for (const std::string &l : c.lignes) {
            size_t n = l.size();
            if (n > 0 && l[n - 1] == '\n')
                --n;
            if (n > 0 && l[n - 1] == '\r')
                --n;
            longueurs.push_back(static_cast<int>(n));
        }
        if (c.flux.size() < c.lignes.size())
            longueurs.pop_back();
        EXPECT_EQ(sauts(chemin), longueurs);
    }

    // A mebibyte of empty lines: 2^20 + 1 lines.
    const std::string chemin = rep / "vides";
    ecritFichier(chemin, vides);
    const Lignes l = scan(chemin);
    ASSERT_EQ(l.size(), (1u << 20) + 1);
    EXPECT_EQ(l.front(), "\n");
    EXPECT_EQ(l.back(), "");
    int v = -1;
    EXPECT_EQ(fligne(chemin.c_str(), v), 0);
    EXPECT_EQ(v, (1 << 20) + 1);
}

} // namespace
