// SPDX-License-Identifier: GPL-3.0-or-later
// File utilities on real files and directories made under a fresh directory
// of the test's scratch space.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

TEST(Fexiste, FileMissingAndDirectory)
{
    RepTemp rep;
    std::string f = rep / "fexiste.shp";
    ecritFichier(f, "");
    EXPECT_EQ(fexiste(f.c_str()), 1);
    EXPECT_EQ(fexiste((f + ".absent").c_str()), 0);
    EXPECT_EQ(fexiste(""), 0);

    // A directory can be opened for reading on this platform; it is not a file.
    EXPECT_EQ(fexiste(rep.chemin().c_str()), 0);
    EXPECT_EQ(fexiste("/"), 0);
}

// Opening a FIFO that has no writer waits for one: fexiste must answer at
// once, and only a regular file (or a link to one) is a file.
TEST(Fexiste, OnlyRegularFilesAndNeverWaits)
{
    RepTemp rep;
    const std::string fifo = rep / "fifo.shp", lien = rep / "lien.shp", f = rep / "f.shp";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ecritFichier(f, "x");
    ASSERT_EQ(symlink(f.c_str(), lien.c_str()), 0);
    EXPECT_EQ(fexiste(fifo.c_str()), 0);
    EXPECT_EQ(fexiste("/dev/null"), 0);
    EXPECT_EQ(fexiste(lien.c_str()), 1);
}

// ---- foctet ------------------------------------------------------------

TEST(Foctet, SizeOfSmallAndEmptyFiles)
{
    RepTemp rep;
    ecritFichier(rep / "cinq", std::string("ab\0\xff\n", 5));
    ecritFichier(rep / "vide", "");
    Capture c;
    EXPECT_EQ(foctet((rep / "cinq").c_str()), 5);
    EXPECT_EQ(foctet((rep / "vide").c_str()), 0);
    Sorties s = c.fin();
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(s.err, "");
}

TEST(Foctet, ADirectoryHasSizeZero)
{
    RepTemp rep;
    Capture c;
    EXPECT_EQ(foctet(rep.chemin().c_str()), 0);
    EXPECT_EQ(c.fin().err, "");
}

TEST(Foctet, MissingFileIsMinusOne)
{
    RepTemp rep;
    std::string f = rep / "absent.bin";
    Capture c;
    EXPECT_EQ(foctet(f.c_str()), -1);
    Sorties s = c.fin();
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(s.err, SRC + "foctet>] impossible to get size of file '" + f + "'!\n");
}

// Sparse files of any size cost nothing where the file system has them.
bool fichierCreux(const std::string &chemin, uint64_t taille)
{
    ecritFichier(chemin, "");
    return truncate(chemin.c_str(), static_cast<off_t>(taille)) == 0;
}

TEST(Foctet, SizesAtAndBeyondFourGibibytes)
{
    RepTemp rep;
    std::string f = rep / "creux.bin";
    if (!fichierCreux(f, UINT64_C(4294967296)))
        GTEST_SKIP() << "no sparse files of 4 GiB here";
    std::string over = SRC + "foctet>] error size of file '" + f + "' is over 4 Go!\n";
    {
        Capture c;
        EXPECT_EQ(foctet(f.c_str()), -2);
        EXPECT_EQ(c.fin().err, over);
    }
    // The two largest 32-bit sizes would read as the failure values.
    for (uint64_t t : {UINT64_C(4294967295), UINT64_C(4294967294)}) {
        ASSERT_TRUE(fichierCreux(f, t));
        Capture c;
        EXPECT_EQ(foctet(f.c_str()), -2) << t;
        EXPECT_EQ(c.fin().err, over);
    }
    // Below them, the size reads back whole as unsigned.
    for (uint64_t t : {UINT64_C(4294967293), UINT64_C(3221225472), UINT64_C(2147483648)}) {
        ASSERT_TRUE(fichierCreux(f, t));
        Capture c;
        EXPECT_EQ(static_cast<uint32_t>(foctet(f.c_str())), t);
        EXPECT_EQ(c.fin().err, "");
    }
}

// ---- cree_repertoire ---------------------------------------------------

TEST(CreeRepertoire, CreatedExistingAndMissingParent)
{
    RepTemp rep;
    std::string d = rep / "neuf";
    Capture c;
    EXPECT_EQ(cree_repertoire(d.c_str()), 0);
    struct stat st;
    EXPECT_TRUE(stat(d.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
    EXPECT_EQ(cree_repertoire(d.c_str()), 1);
    EXPECT_EQ(cree_repertoire((rep / "absent/neuf").c_str()), -1);
    // An existing file of that name also "exists".
    ecritFichier(rep / "fichier", "x");
    EXPECT_EQ(cree_repertoire((rep / "fichier").c_str()), 1);
    Sorties s = c.fin();
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(s.err, "");
}

// ---- losstier ----------------------------------------------------------

std::vector<std::string> trie(std::vector<std::string> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

TEST(Losstier, ListsFilesAndDirectoriesWithFullPaths)
{
    RepTemp rep;
    const std::string &r = rep.chemin();
    ecritFichier(rep / "a.txt", "a");
    ecritFichier(rep / "b.shp", "");
    ecritFichier(rep / ".cache", "");
    ASSERT_EQ(mkdir((rep / "s1").c_str(), 0777), 0);
    ASSERT_EQ(mkdir((rep / "s2").c_str(), 0777), 0);
    ecritFichier(rep / "s1/dedans", ""); // not listed: one level only
    // Links count as what they point at.
    ASSERT_EQ(symlink((rep / "s1").c_str(), (rep / "lienrep").c_str()), 0);
    ASSERT_EQ(symlink((rep / "a.txt").c_str(), (rep / "lienfic").c_str()), 0);

    std::vector<std::string> reps = {"avant"}, fichiers = {"avant"};
    std::string chemin = r;
    Capture c;
    EXPECT_EQ(losstier(&chemin[0], reps, fichiers), 0);
    Sorties s = c.fin();
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(s.err, "");
    EXPECT_EQ(trie(reps), trie({"avant", r + "/s1", r + "/s2", r + "/lienrep"}));
    EXPECT_EQ(trie(fichiers),
              trie({"avant", r + "/a.txt", r + "/b.shp", r + "/.cache", r + "/lienfic"}));
}

TEST(Losstier, BackslashesOfTheCallersPathAreRewritten)
{
    RepTemp rep;
    ASSERT_EQ(mkdir((rep / "x").c_str(), 0777), 0);
    ecritFichier(rep / "x/f", "");
    std::string chemin = rep.chemin() + "\\x\\";
    std::vector<std::string> reps, fichiers;
    EXPECT_EQ(losstier(&chemin[0], reps, fichiers), 0);
    EXPECT_EQ(chemin, rep.chemin() + "/x/");
    EXPECT_TRUE(reps.empty());
    EXPECT_EQ(fichiers, std::vector<std::string>{rep.chemin() + "/x//f"});
}

TEST(Losstier, MissingDirectoryIsReportedAfterTheRewrite)
{
    RepTemp rep;
    ecritFichier(rep / "fichier", "");
    std::vector<std::string> reps, fichiers;
    for (std::string nom : {"absent", "fichier"}) {
        std::string chemin = rep.chemin() + "\\" + nom;
        Capture c;
        EXPECT_EQ(losstier(&chemin[0], reps, fichiers), -1);
        Sorties s = c.fin();
        EXPECT_EQ(s.err,
                  SRC + "losstier>] invalid directory path '" + rep.chemin() + "/" + nom + "'!\n");
        EXPECT_EQ(chemin, rep / nom);
    }
    EXPECT_TRUE(reps.empty());
    EXPECT_TRUE(fichiers.empty());
}

TEST(Losstier, PathsOf2048BytesAreRefused)
{
    std::vector<std::string> reps, fichiers;
    std::string court(2047, 'a');
    court[0] = '/';
    {
        Capture c;
        EXPECT_EQ(losstier(&court[0], reps, fichiers), -1);
        EXPECT_EQ(c.fin().err, SRC + "losstier>] invalid directory path '" + court + "'!\n");
    }
    std::string longp = court + "\\";
    Capture c;
    EXPECT_EQ(losstier(&longp[0], reps, fichiers), -1);
    EXPECT_EQ(c.fin().err, SRC + "losstier>] directory path of 2048 bytes is too long!\n");
    EXPECT_EQ(longp, court + "/");
}

// ---- decoupe_chemin ----------------------------------------------------

struct Decoupe {
    const char *chemin, *rep, *nom, *base, *ext;
};

void libere(Chemin *c)
{
    delete[] c->rep;
    delete[] c->nom;
    delete[] c->base;
    delete[] c->ext;
    delete[] c;
}

TEST(DecoupeChemin, EveryPathForm)
{
    const Decoupe cas[] = {
        {"a/b/roads.shp", "a/b", "roads.shp", "roads", "shp"},
        {"a\\b\\roads.shp", "a\\b", "roads.shp", "roads", "shp"},
        {"a\\b/roads.shp", "a\\b", "roads.shp", "roads", "shp"},
        {"a/b\\roads.shp", "a/b", "roads.shp", "roads", "shp"},
        {"archive.tar.gz", "", "archive.tar.gz", "archive.tar", "gz"},
        {"dir/", "dir", "", "", ""},
        {"dir\\", "dir", "", "", ""},
        {"a/dir//", "a/dir/", "", "", ""},
        {".profile", "", ".profile", "", "profile"},
        {"rep/.profile", "rep", ".profile", "", "profile"},
        {"nom.", "", "nom.", "nom", ""},
        {"", "", "", "", ""},
        {"/x", "", "x", "x", ""},
        {"\\x", "", "x", "x", ""},
        {"/", "", "", "", ""},
        {"a.d/f", "a.d", "f", "f", ""},
        {"C:\\donnees\\pays.v2\\cotes.shp", "C:\\donnees\\pays.v2", "cotes.shp", "cotes", "shp"},
        {"\xff/\xff.\xff", "\xff", "\xff.\xff", "\xff", "\xff"},
    };
    Capture capture;
    for (const Decoupe &d : cas) {
        Chemin *c = decoupe_chemin(d.chemin);
        ASSERT_NE(c, nullptr) << d.chemin;
        EXPECT_STREQ(c->rep, d.rep) << d.chemin;
        EXPECT_STREQ(c->nom, d.nom) << d.chemin;
        EXPECT_STREQ(c->base, d.base) << d.chemin;
        EXPECT_STREQ(c->ext, d.ext) << d.chemin;
        libere(c);
    }
    Sorties s = capture.fin();
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(s.err, "");
}

TEST(DecoupeChemin, PathOfOneMebibyte)
{
    std::string rep(1 << 20, 'r');
    rep[1000] = '\\';
    rep[500000] = '/';
    std::string chemin = rep + "/n.e";
    Chemin *c = decoupe_chemin(chemin.c_str());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->rep, rep);
    EXPECT_STREQ(c->nom, "n.e");
    EXPECT_STREQ(c->base, "n");
    EXPECT_STREQ(c->ext, "e");
    libere(c);
}

TEST(DecoupeChemin, NullPathIsTheEmptyOne)
{
    Chemin *c = decoupe_chemin(nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_STREQ(c->rep, "");
    EXPECT_STREQ(c->nom, "");
    EXPECT_STREQ(c->base, "");
    EXPECT_STREQ(c->ext, "");
    libere(c);
}

} // namespace
