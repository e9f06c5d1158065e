// SPDX-License-Identifier: GPL-3.0-or-later
// Text scanning on real files under a fresh directory of the scratch space:
// every line-end form, blank lines, bytes that look like the end of the file
// or the end of a string, long lines, and the missing file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "capture.h"
#include "reptemp.h"
#include "zolfichier.h"

namespace
{

const std::string SRC = "[<../src/zolfichier.cpp.";

// A file holding `octets`, in a directory of its own.
class Texte
{
  public:
    explicit Texte(const std::string &octets) : nom(rep / "texte.txt")
    {
        ecritFichier(nom, octets);
    }
    const char *chemin() const { return nom.c_str(); }

  private:
    RepTemp rep;
    std::string nom;
};

const std::string MEGA(1 << 20, 'm');

// ---- fligne ------------------------------------------------------------

struct Comptes {
    std::string octets;
    int pleines, vides;
};

TEST(Fligne, CountsNonBlankAndBlankLines)
{
    const Comptes cas[] = {
        {"", 0, 1},
        {"a\nb\n", 2, 1},
        {"a\nb", 2, 0},
        {"a\rb", 2, 0},
        {"a\r\nb\r\n", 2, 1},
        {"\r\r\n\n", 0, 4},
        {"x\r", 1, 1},
        {" \t\n\t \n  a \n", 1, 3},
        {" ", 0, 1},
        {"\xff", 1, 0},
        {"\xff\n\xff", 2, 0},
        {std::string("\0\n", 2), 1, 1},
        {"\v\f\n", 1, 1}, // only space and tab are blank
        {std::string(100, 'l') + "\n\n" + std::string(76, ' '), 1, 2},
        {MEGA, 1, 0},
    };
    for (const Comptes &c : cas) {
        Texte t(c.octets);
        int vides = -7;
        EXPECT_EQ(fligne(t.chemin(), vides), c.pleines) << testing::PrintToString(c.octets);
        EXPECT_EQ(vides, c.vides) << testing::PrintToString(c.octets);
    }
}

TEST(Fligne, MissingFile)
{
    RepTemp rep;
    std::string f = rep / "absent.txt";
    int vides = 99;
    Capture c;
    EXPECT_EQ(fligne(f.c_str(), vides), -1);
    Sorties s = c.fin();
    EXPECT_EQ(vides, 99);
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(s.err, SRC + "fligne>] impossible to open file '" + f + "'\n");
}

// ---- fscan_txt ---------------------------------------------------------

// The lines of fscan_txt as strings (lengths taken from its length array),
// everything released.
std::vector<std::string> lignes(char **tab, int n)
{
    std::vector<std::string> v;
    int *longueurs = reinterpret_cast<int *>(tab[n]);
    for (int i = 0; i < n; ++i) {
        v.emplace_back(tab[i], static_cast<size_t>(longueurs[i]));
        EXPECT_EQ(tab[i][longueurs[i]], '\0') << "line " << i;
        delete[] tab[i];
    }
    delete[] longueurs;
    delete[] tab;
    return v;
}

using Lignes = std::vector<std::string>;

struct Scan {
    std::string octets;
    Lignes attendu;
};

TEST(FscanTxt, LinesKeepTheirLineEnds)
{
    const std::string nul("x\xff\0y", 4);
    const Scan cas[] = {
        {"", {""}},
        {"ab\ncd", {"ab\n", "cd"}},
        {"ab\n", {"ab\n", ""}},
        {"a\r\nb\rc\n", {"a\r\n", "b\r", "c\n", ""}},
        {"\r\r\n\n", {"\r", "\r\n", "\n", ""}},
        {"x\r", {"x\r", ""}},
        {"\n\r", {"\n", "\r", ""}},
        {" \t\n\t\n", {" \t\n", "\t\n", ""}},
        {nul, {nul}},
        {"\xff\xff\n\xff", {"\xff\xff\n", "\xff"}},
    };
    for (const Scan &c : cas) {
        Texte t(c.octets);
        int n = -1;
        char **tab = fscan_txt(t.chemin(), n);
        ASSERT_NE(tab, nullptr);
        ASSERT_EQ(n, static_cast<int>(c.attendu.size())) << testing::PrintToString(c.octets);
        EXPECT_EQ(lignes(tab, n), c.attendu) << testing::PrintToString(c.octets);
    }
}

TEST(FscanTxt, LongLinesAndManyLinesGrowTheArrays)
{
    // Around the growth step of 75, then far beyond it, in both directions.
    Lignes attendu;
    std::string octets;
    for (int longueur : {74, 75, 76, 150, 151, 1000})
        attendu.push_back(std::string(static_cast<size_t>(longueur), 'c') + "\n");
    for (int i = 0; i < 500; ++i)
        attendu.push_back(std::to_string(i) + "\r\n");
    attendu.push_back(std::string(300, 'z'));
    for (const std::string &l : attendu)
        octets += l;
    Texte t(octets);
    int n = 0;
    char **tab = fscan_txt(t.chemin(), n);
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(lignes(tab, n), attendu);
}

TEST(FscanTxt, LineOfOneMebibyte)
{
    Texte t(MEGA + "\n" + MEGA);
    int n = 0;
    char **tab = fscan_txt(t.chemin(), n);
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(lignes(tab, n), (Lignes{MEGA + "\n", MEGA}));
}

// A directory reads as an empty text on this platform, and opening a FIFO
// without a writer waits for ever: both are refused at once as files that
// cannot be opened, the out-parameters left alone.
TEST(Fligne, DirectoryAndFifoAreNotTexts)
{
    RepTemp rep;
    const std::string fifo = rep / "fifo.txt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string &f : {rep.chemin(), fifo}) {
        int vides = 99, n = 42;
        Capture c;
        EXPECT_EQ(fligne(f.c_str(), vides), -1);
        EXPECT_EQ(fscan_txt(f.c_str(), n), nullptr);
        Sorties s = c.fin();
        EXPECT_EQ(vides, 99);
        EXPECT_EQ(n, 42);
        EXPECT_EQ(s.err, SRC + "fligne>] impossible to open file '" + f + "'\n" + SRC +
                             "fscan_txt>] impossible to open file '" + f + "'\n");
    }
}

TEST(FscanTxt, MissingFileLeavesTheCountAlone)
{
    RepTemp rep;
    std::string f = rep / "absent.txt";
    int n = 42;
    Capture c;
    EXPECT_EQ(fscan_txt(f.c_str(), n), nullptr);
    Sorties s = c.fin();
    EXPECT_EQ(n, 42);
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(s.err, SRC + "fscan_txt>] impossible to open file '" + f + "'\n");
}

// ---- lire_ligne, saute_ligne -------------------------------------------

// The next line of `f` by lire_ligne, released.
std::string lit(FILE *f)
{
    char *l = lire_ligne(f);
    EXPECT_NE(l, nullptr);
    if (l == nullptr)
        return "<null>";
    std::string s(l);
    free(l);
    return s;
}

const std::string MELANGE = "ab\r\ncd\ref\n\n\xff\xffgh";

TEST(LireLigne, EveryLineEndThenTheEndOfTheFile)
{
    Texte t(MELANGE);
    FILE *f = fopen(t.chemin(), "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(lit(f), "ab");
    EXPECT_EQ(fgetc(f), 'c'); // CR LF went as one line end
    ungetc('c', f);
    EXPECT_EQ(lit(f), "cd");
    EXPECT_EQ(lit(f), "ef");
    EXPECT_EQ(lit(f), "");
    EXPECT_EQ(fgetc(f), 0xff); // the empty line's end went, nothing more
    ungetc(0xff, f);
    EXPECT_EQ(lit(f), "\xff\xffgh");
    EXPECT_EQ(lit(f), "");
    EXPECT_EQ(lit(f), "");
    EXPECT_EQ(fgetc(f), EOF);
    fclose(f);
}

TEST(LireLigne, LoneCrAtTheEndAndANulByte)
{
    Texte t(std::string("a\0b\nx\r", 6));
    FILE *f = fopen(t.chemin(), "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(lit(f), "a"); // the string stops at the NUL; the line is consumed
    EXPECT_EQ(lit(f), "x");
    EXPECT_EQ(fgetc(f), EOF);
    fclose(f);
}

TEST(LireLigne, LineOfOneMebibyte)
{
    Texte t(MEGA + "\r\nz");
    FILE *f = fopen(t.chemin(), "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(lit(f), MEGA);
    EXPECT_EQ(lit(f), "z");
    fclose(f);
}

TEST(LireLigne, StreamThatCannotSeek)
{
    int tube[2];
    ASSERT_EQ(pipe(tube), 0);
    const std::string octets = "un\r\ndeux\rtrois";
    ASSERT_EQ(write(tube[1], octets.data(), octets.size()), static_cast<ssize_t>(octets.size()));
    close(tube[1]);
    FILE *f = fdopen(tube[0], "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(lit(f), "un");
    EXPECT_EQ(lit(f), "deux");
    EXPECT_EQ(lit(f), "trois");
    EXPECT_EQ(lit(f), "");
    fclose(f);
}

TEST(SauteLigne, CountsWhatItSkips)
{
    Texte t(MELANGE + "\n" + std::string("a\0b", 3) + "\n" + MEGA);
    FILE *f = fopen(t.chemin(), "r");
    ASSERT_NE(f, nullptr);
    for (int attendu : {2, 2, 2, 0, 4, 3, 1 << 20, 0, 0})
        EXPECT_EQ(saute_ligne(f), attendu);
    fclose(f);
}

TEST(SauteLigne, MixedWithLireLigne)
{
    Texte t(MELANGE);
    FILE *f = fopen(t.chemin(), "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(saute_ligne(f), 2);
    EXPECT_EQ(lit(f), "cd");
    EXPECT_EQ(saute_ligne(f), 2);
    EXPECT_EQ(saute_ligne(f), 0);
    EXPECT_EQ(lit(f), "\xff\xffgh");
    fclose(f);
}

} // namespace
