// SPDX-License-Identifier: GPL-3.0-or-later
// The ZOL directory, binary data files and temporary files made from memory,
// on real directories made under a fresh directory of the scratch space.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "capture.h"
#include "reptemp.h"
#include "zolconf.h"
#include "zolfichier.h"

namespace
{

const std::string AVIS =
    "[<../src/zolconf.cpp.zolrep>] warning, ZOL environment variable is not set!\n";
const std::string SAUVE = "[<../src/zolconf.cpp.zolsauve>] ";
const std::string MEMFILE = "[<../src/zolfichier.cpp.mem_file>] ";

std::vector<std::string> contenu(const std::string &rep)
{
    std::vector<std::string> noms;
    for (const auto &e : std::filesystem::directory_iterator(rep))
        noms.push_back(e.path().filename().string());
    return noms;
}

// ---- zolrep, zolsep ----------------------------------------------------

TEST(Zolrep, ValueOfZolWithoutMessage)
{
    EnvTemp zol("ZOL", "/donnees/zol");
    Capture c;
    EXPECT_STREQ(zolrep(), "/donnees/zol");
    EXPECT_EQ(zolrep(), getenv("ZOL")); // the environment's own string
    Sorties s = c.fin();
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(s.err, "");
}

TEST(Zolrep, UnsetOrEmptyWarnsOncePerCall)
{
    for (const char *valeur : {static_cast<const char *>(nullptr), ""}) {
        EnvTemp zol("ZOL", valeur);
        Capture c;
        EXPECT_EQ(zolrep(), nullptr);
        EXPECT_EQ(zolrep(), nullptr);
        Sorties s = c.fin();
        EXPECT_EQ(s.out, AVIS + AVIS);
        EXPECT_EQ(s.err, "");
    }
}

TEST(Zolsep, NativeSeparator)
{
    EXPECT_EQ(zolsep(), '/');
}

// ---- zolsauve ----------------------------------------------------------

// A ZOL root with its dvr directory, for the length of a test.
class Sauve : public ::testing::Test
{
  protected:
    void SetUp() override { ASSERT_EQ(mkdir((rep / "dvr").c_str(), 0777), 0); }
    std::string fichier(const std::string &nom) { return rep / ("dvr/" + nom); }

    RepTemp rep;
    EnvTemp zol{"ZOL", rep.chemin().c_str()};
};

TEST_F(Sauve, WritesExactlyTheBlocks)
{
    const int trois[3] = {1, -2, 0x01020304};
    Capture c;
    EXPECT_EQ(zolsauve("N", nullptr, trois, static_cast<int>(sizeof(int)), 3, nullptr), 0);
    Sorties s = c.fin();
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(s.err, "");
    EXPECT_EQ(litFichier(fichier("N.bin")),
              std::string(reinterpret_cast<const char *>(trois), sizeof trois));
}

TEST_F(Sauve, SuffixAndSeveralBlocksInOrder)
{
    const int n[2] = {7, 8};
    const char texte[] = "xy\0\xff";
    const double d = 0.5;
    EXPECT_EQ(zolsauve("N", "S", n, 4, 2, texte, 1, 4, &d, 8, 1, n, 4, 0, nullptr), 0);
    std::string attendu(reinterpret_cast<const char *>(n), 8);
    attendu += std::string(texte, 4);
    attendu += std::string(reinterpret_cast<const char *>(&d), 8);
    EXPECT_EQ(litFichier(fichier("N_S.bin")), attendu);
    EXPECT_EQ(contenu(rep / "dvr"), std::vector<std::string>{"N_S.bin"});
}

TEST_F(Sauve, OverwriteKeepsOnlyTheLastCall)
{
    const char long_[] = "0123456789";
    const char court[] = "ab";
    EXPECT_EQ(zolsauve("N", nullptr, long_, 1, 10, nullptr), 0);
    EXPECT_EQ(zolsauve("N", nullptr, court, 1, 2, nullptr), 0);
    EXPECT_EQ(litFichier(fichier("N.bin")), "ab");
    EXPECT_EQ(zolsauve("N", nullptr, nullptr), 0);
    EXPECT_EQ(litFichier(fichier("N.bin")), "");
}

TEST_F(Sauve, MissingDvrDirectoryWritesNothing)
{
    std::filesystem::remove(rep / "dvr");
    const char x = 'x';
    Capture c;
    EXPECT_EQ(zolsauve("N", "S", &x, 1, 1, nullptr), -1);
    Sorties s = c.fin();
    EXPECT_EQ(s.err, SAUVE + "impossible to open file '" + rep.chemin() + "/dvr/N_S.bin'\n");
    EXPECT_TRUE(contenu(rep.chemin()).empty());
}

TEST_F(Sauve, NegativeSizeOrCountLeavesTheFileAlone)
{
    ecritFichier(fichier("N.bin"), "garde");
    const char x[4] = {};
    Capture c;
    EXPECT_EQ(zolsauve("N", nullptr, x, 1, 4, x, -1, 2, nullptr), -1);
    EXPECT_EQ(zolsauve("N", nullptr, x, 4, -3, nullptr), -1);
    Sorties s = c.fin();
    EXPECT_EQ(s.err, SAUVE + "invalid block of 2 elements of -1 bytes!\n" + SAUVE +
                         "invalid block of -3 elements of 4 bytes!\n");
    EXPECT_EQ(litFichier(fichier("N.bin")), "garde");
}

TEST_F(Sauve, ShortWriteIsReportedAndTheFileRemoved)
{
    if (access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full";
    ASSERT_EQ(symlink("/dev/full", fichier("N.bin").c_str()), 0);
    const char x[64] = {};
    Capture c;
    EXPECT_EQ(zolsauve("N", nullptr, x, 1, 64, nullptr), -1);
    Sorties s = c.fin();
    EXPECT_EQ(s.err, SAUVE + "error writing file '" + fichier("N.bin") + "'!\n");
    EXPECT_TRUE(contenu(rep / "dvr").empty());
}

TEST(ZolsauveSansZol, WritesNothingAnywhere)
{
    RepTemp rep;
    EnvTemp zol("ZOL", nullptr);
    char ici[4096];
    ASSERT_NE(getcwd(ici, sizeof ici), nullptr);
    ASSERT_EQ(chdir(rep.chemin().c_str()), 0);
    const char x = 'x';
    Capture c;
    int r = zolsauve("N", nullptr, &x, 1, 1, nullptr);
    Sorties s = c.fin();
    ASSERT_EQ(chdir(ici), 0);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(s.out, AVIS);
    EXPECT_EQ(s.err, SAUVE + "zolrep() error!\n");
    EXPECT_TRUE(contenu(rep.chemin()).empty());
}

// ---- mem_file ----------------------------------------------------------

std::string litFlux(FILE *f)
{
    std::string s;
    int c;
    while ((c = fgetc(f)) != EOF)
        s += static_cast<char>(c);
    return s;
}

// Reads back the copy that mem_file made in `tmp` and checks it is alone.
void verifieCopie(FILE *f, const std::string &tmp, const std::string &octets)
{
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(litFlux(f), octets);
    fclose(f);
    std::vector<std::string> noms = contenu(tmp);
    ASSERT_EQ(noms.size(), 1u);
    EXPECT_EQ(noms[0].compare(0, 2, "zo"), 0) << noms[0];
    EXPECT_EQ(litFichier(tmp + "/" + noms[0]), octets);
}

const std::string BLOC("ligne\r\n\0\xff fin", 13);

TEST(MemFile, WithZolUsesItsTmpDirectory)
{
    RepTemp rep;
    EnvTemp zol("ZOL", rep.chemin().c_str());
    ASSERT_EQ(mkdir((rep / "tmp").c_str(), 0777), 0);
    Capture c;
    FILE *f = mem_file(BLOC.data(), BLOC.size(), "r");
    Sorties s = c.fin();
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(s.err, "");
    verifieCopie(f, rep / "tmp", BLOC);
}

TEST(MemFile, WithZolButNoTmpDirectory)
{
    RepTemp rep;
    EnvTemp zol("ZOL", rep.chemin().c_str());
    Capture c;
    EXPECT_EQ(mem_file(BLOC.data(), BLOC.size(), "r"), nullptr);
    Sorties s = c.fin();
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(s.err, MEMFILE + "erreur GetTempFileName()!\n");
    EXPECT_TRUE(contenu(rep.chemin()).empty());
}

TEST(MemFile, WithoutZolUsesTheSystemTemporaryDirectory)
{
    RepTemp rep;
    EnvTemp zol("ZOL", nullptr);
    EnvTemp tmpdir("TMPDIR", rep.chemin().c_str());
    {
        Capture c;
        EXPECT_EQ(mem_file(BLOC.data(), BLOC.size(), "r"), nullptr);
        Sorties s = c.fin();
        EXPECT_EQ(s.out, AVIS);
        EXPECT_EQ(s.err, MEMFILE + "erreur GetTempFileName()!\n");
    }
    ASSERT_EQ(mkdir((rep / "tmp").c_str(), 0777), 0);
    Capture c;
    FILE *f = mem_file(BLOC.data(), BLOC.size(), "r");
    Sorties s = c.fin();
    EXPECT_EQ(s.out, AVIS);
    EXPECT_EQ(s.err, "");
    verifieCopie(f, rep / "tmp", BLOC);
}

TEST(MemFile, UnusableSystemTemporaryDirectory)
{
    EnvTemp zol("ZOL", nullptr);
    EnvTemp tmpdir("TMPDIR", std::string(5000, 'a').c_str());
    Capture c;
    EXPECT_EQ(mem_file(BLOC.data(), BLOC.size(), "r"), nullptr);
    Sorties s = c.fin();
    EXPECT_EQ(s.out, AVIS);
    EXPECT_EQ(s.err, MEMFILE + "erreur GetTempPath()!\n");
}

TEST(MemFile, EmptyBlockGivesAnEmptyFile)
{
    RepTemp rep;
    EnvTemp zol("ZOL", rep.chemin().c_str());
    ASSERT_EQ(mkdir((rep / "tmp").c_str(), 0777), 0);
    verifieCopie(mem_file(nullptr, 0, "r"), rep / "tmp", "");
}

TEST(MemFile, RefusesOtherOpenTypesAndANullBlock)
{
    RepTemp rep;
    EnvTemp zol("ZOL", rep.chemin().c_str());
    ASSERT_EQ(mkdir((rep / "tmp").c_str(), 0777), 0);
    Capture c;
    EXPECT_EQ(mem_file(BLOC.data(), BLOC.size(), "w"), nullptr);
    EXPECT_EQ(mem_file(BLOC.data(), BLOC.size(), "rb"), nullptr);
    EXPECT_EQ(mem_file(BLOC.data(), BLOC.size(), nullptr), nullptr);
    EXPECT_EQ(mem_file(nullptr, 3, "r"), nullptr);
    Sorties s = c.fin();
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(s.err, MEMFILE + "invalid open type 'w', \"r\" expected!\n" + MEMFILE +
                         "invalid open type 'rb', \"r\" expected!\n" + MEMFILE +
                         "invalid open type '(null)', \"r\" expected!\n" + MEMFILE +
                         "null block of 3 bytes!\n");
    EXPECT_TRUE(contenu(rep / "tmp").empty());
}

// Holds the process's file size limit low (writes beyond it fail with EFBIG
// instead of raising SIGXFSZ) for the length of a scope.
class LimiteTaille
{
  public:
    explicit LimiteTaille(rlim_t octets)
    {
        getrlimit(RLIMIT_FSIZE, &avant);
        ancien = signal(SIGXFSZ, SIG_IGN);
        struct rlimit l = avant;
        l.rlim_cur = octets;
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~LimiteTaille()
    {
        setrlimit(RLIMIT_FSIZE, &avant);
        signal(SIGXFSZ, ancien);
    }

  private:
    struct rlimit avant;
    void (*ancien)(int);
};

TEST(MemFile, ShortWriteIsReportedAndTheFileRemoved)
{
    RepTemp rep;
    EnvTemp zol("ZOL", rep.chemin().c_str());
    ASSERT_EQ(mkdir((rep / "tmp").c_str(), 0777), 0);
    std::string gros(1 << 20, 'g');
    FILE *f;
    Sorties s;
    {
        Capture c;
        LimiteTaille limite(4096);
        f = mem_file(gros.data(), gros.size(), "r");
        s = c.fin();
    }
    EXPECT_EQ(f, nullptr);
    const std::string debut = MEMFILE + "error writing temporary file '" + rep.chemin() + "/tmp/zo";
    EXPECT_EQ(s.err.compare(0, debut.size(), debut), 0) << s.err;
    EXPECT_EQ(s.err.substr(s.err.size() - 3), "'!\n");
    EXPECT_TRUE(contenu(rep / "tmp").empty());
}

} // namespace
