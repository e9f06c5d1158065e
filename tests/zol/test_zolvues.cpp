// SPDX-License-Identifier: GPL-3.0-or-later
// Views between flat arrays and matrices, copies, circular shifts and
// reversal.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "capture.h"
#include "zoltabx.h"

namespace
{

std::string erreur(const char *fonction, const char *qualif, const std::string &message)
{
    std::string q = qualif ? std::string("(\"") + qualif + "\")" : "";
    return std::string("[<../src/zoltabx.cpp.") + fonction + q + ">] " + message;
}

template <typename T> std::vector<T> vecteur(const T *t, int n)
{
    return std::vector<T>(t, t + n);
}

template <typename T> std::vector<std::vector<T>> lignes(T **m, int nr, int nc)
{
    std::vector<std::vector<T>> v;
    for (int i = 0; i < nr; ++i)
        v.push_back(vecteur(m[i], nc));
    return v;
}

// The 2 x 3 matrix 1 2 3 / 4 5 6 of the cases below, as its own fixture.
class Matrice : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        const double plat[] = {1, 2, 3, 4, 5, 6};
        m = tab_mat(2, 3, plat, 2);
        ASSERT_NE(m, nullptr);
    }
    void TearDown() override { deletemat(2, m); }
    double **m = nullptr;
};

TEST_F(Matrice, WholeMatrixInBothRunningDimensions)
{
    double *rangs = mat_tab(2, 3, m, 2);
    double *colonnes = mat_tab(2, 3, m, 1);
    EXPECT_EQ(vecteur(rangs, 6), (std::vector<double>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(vecteur(colonnes, 6), (std::vector<double>{1, 4, 2, 5, 3, 6}));
    double dans[6] = {};
    EXPECT_EQ(mat_tab(2, 3, m, 1, dans), 0);
    EXPECT_EQ(vecteur(dans, 6), vecteur(colonnes, 6));
    EXPECT_EQ(mat_tab(2, 3, m, 3, dans), -1);
    EXPECT_EQ(mat_tab(2, 3, static_cast<double **>(nullptr), 2, dans), -2);
    EXPECT_EQ(mat_tab(2, 3, m, 0), nullptr);
    EXPECT_EQ(mat_tab(2, 3, m, 3), nullptr);
    deletetab(rangs);
    deletetab(colonnes);

    // And back: column order read with running dimension 1 is the matrix.
    double **n = tab_mat(2, 3, vecteur(dans, 6).data(), 1);
    EXPECT_EQ(lignes(n, 2, 3), lignes(m, 2, 3));
    deletemat(2, n);
}

TEST_F(Matrice, EverySelectorForm)
{
    struct {
        int r, c;
        std::vector<double> attendu;
    } cas[] = {
        {0, 0, {1, 2, 3, 4, 5, 6}},
        {-1, -1, {1, 2, 3, 4, 5, 6}},
        {0, -1, {1, 2, 3, 4, 5, 6}},
        {-1, 0, {1, 4, 2, 5, 3, 6}},
        {2, 0, {4, 5, 6}},
        {1, -1, {1, 2, 3}},
        {0, 3, {3, 6}},
        {-1, 2, {2, 5}},
        {2, 3, {6}},
        {1, 1, {1}},
    };
    for (const auto &k : cas) {
        int taille = -5;
        EXPECT_EQ(mat_tab(2, 3, m, k.r, k.c, taille, static_cast<double *>(nullptr)), 0);
        ASSERT_EQ(taille, static_cast<int>(k.attendu.size())) << k.r << "," << k.c;
        std::vector<double> sortie(taille);
        EXPECT_EQ(mat_tab(2, 3, m, k.r, k.c, taille, sortie.data()), 0);
        EXPECT_EQ(sortie, k.attendu) << k.r << "," << k.c;
        double *alloue = mat_tab(2, 3, m, k.r, k.c);
        EXPECT_EQ(vecteur(alloue, taille), k.attendu);
        deletetab(alloue);
    }
}

TEST_F(Matrice, InvalidSelectorsAndSizeMismatch)
{
    double sortie[6];
    int taille = 6;
    EXPECT_EQ(mat_tab(2, 3, static_cast<double **>(nullptr), 0, 0, taille, sortie), -1);
    EXPECT_EQ(mat_tab(2, 3, m, -2, 0, taille, sortie), -2);
    EXPECT_EQ(mat_tab(2, 3, m, 3, 0, taille, sortie), -2);
    EXPECT_EQ(mat_tab(2, 3, m, 0, -2, taille, sortie), -3);
    EXPECT_EQ(mat_tab(2, 3, m, 0, 4, taille, sortie), -3);
    // Column 3 exists in 2 x 3 but not in 3 x 2.
    EXPECT_EQ(mat_tab(3, 2, m, 0, 3, taille, static_cast<double *>(nullptr)), -3);
    EXPECT_EQ(mat_tab(-1, 3, m, -1, 0, taille, static_cast<double *>(nullptr)), -2);
    EXPECT_EQ(mat_tab(2, 3, m, 4, 1), nullptr);
    EXPECT_EQ(mat_tab(2, 3, static_cast<double **>(nullptr), 1, 1), nullptr);

    Capture c;
    EXPECT_EQ(mat_tab(2, 3, m, 2, 0, taille, sortie), -4);
    Sorties s = c.fin();
    EXPECT_EQ(s.err, erreur("mat_tab", nullptr, "no match between array & matrix size!\n"));
}

TEST(Vues, TabMatRejectsRunningDimensionWithoutLineBreak)
{
    const int plat[] = {1, 2, 3, 4};
    int **m = newmat(2, 2, 0);
    Capture c;
    int r = tab_mat(2, 2, plat, 3, m);
    int **n = tab_mat(2, 2, plat, 0);
    Sorties s = c.fin();
    EXPECT_EQ(r, -1);
    EXPECT_EQ(n, nullptr);
    EXPECT_EQ(s.err, erreur("tab_mat", "w/o alloc.", "invalid drived dimension '3'!") +
                         erreur("tab_mat", "w/o alloc.", "invalid drived dimension '0'!"));
    EXPECT_EQ(m[1][1], 0) << "a refused call leaves the matrix";
    deletemat(2, m);
}

TEST(Vues, MatresseSharesTheFlatBlock)
{
    int plat[] = {1, 2, 3, 4, 5, 6};
    int **m = matresse(3, 2, plat);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m[2][1], 6);
    m[1][0] = 30;
    EXPECT_EQ(plat[2], 30);
    delete[] m;

    Capture c;
    EXPECT_EQ(matresse(-1, 2, plat), nullptr);
    Sorties s = c.fin();
    EXPECT_EQ(s.err, erreur("matresse", nullptr,
                            std::string("exception '") + std::bad_array_new_length().what() +
                                "' at first column allocation\n"));
}

TEST(Vues, CopiesOfStringsAndInts)
{
    char a[] = "a", b[] = "b";
    char *plat[] = {a, b, b, a};
    char ***m = tab_mat(2, 2, plat, 1);
    char ***n = newmat(2, 2, static_cast<char *>(nullptr));
    EXPECT_EQ(copiemat(2, 2, m, n), 0);
    EXPECT_EQ(n[0][1], b);
    EXPECT_EQ(n[1][1], a);
    deletemat(2, m);
    deletemat(2, n);
}

TEST(Decalage, MatrixRowsAndColumns)
{
    const int plat[] = {1, 2, 3, 4, 5, 6};
    int **m = tab_mat(2, 3, plat, 2);
    int **d = newmat(2, 3, 0);
    EXPECT_EQ(decalemat(2, 3, m, 1, 1, d), 0);
    EXPECT_EQ(lignes(d, 2, 3), (std::vector<std::vector<int>>{{6, 4, 5}, {3, 1, 2}}));
    EXPECT_EQ(lignes(m, 2, 3), (std::vector<std::vector<int>>{{1, 2, 3}, {4, 5, 6}}));
    // In place, with a negative row shift: for two rows -1 is +1.
    int *ligne0 = m[0];
    decalemat(2, 3, m, -1, -4, m);
    EXPECT_EQ(lignes(m, 2, 3), (std::vector<std::vector<int>>{{5, 6, 4}, {2, 3, 1}}));
    EXPECT_EQ(m[1], ligne0) << "rows move as references";
    // Whole turns change nothing; no column shift without columns.
    decalemat(2, 3, m, 4, 6, m);
    EXPECT_EQ(lignes(m, 2, 3), (std::vector<std::vector<int>>{{5, 6, 4}, {2, 3, 1}}));
    decalemat(2, 0, m, 1, 5, m);
    EXPECT_EQ(m[0], ligne0);
    EXPECT_EQ(decalemat(0, 3, m, 1, 1, m), 0);
    deletemat(2, m);
    deletemat(2, d);
}

TEST(Decalage, FlatArray)
{
    const int base[] = {1, 2, 3, 4};
    struct {
        int a;
        std::vector<int> attendu;
    } cas[] = {{2, {3, 4, 1, 2}},
               {-1, {2, 3, 4, 1}},
               {1, {4, 1, 2, 3}},
               {4, {1, 2, 3, 4}},
               {-8, {1, 2, 3, 4}},
               {7, {2, 3, 4, 1}},
               {-2147483647 - 1, {1, 2, 3, 4}}};
    for (const auto &k : cas) {
        int d[4];
        decaletab(4, base, k.a, d);
        EXPECT_EQ(vecteur(d, 4), k.attendu) << k.a;
        int p[4] = {1, 2, 3, 4};
        decaletab(4, p, k.a, p);
        EXPECT_EQ(vecteur(p, 4), k.attendu) << k.a << " in place";
    }
    // Six elements by 4: two cycles of three.
    double s[] = {0, 1, 2, 3, 4, 5};
    decaletab(6, s, 4, s);
    EXPECT_EQ(vecteur(s, 6), (std::vector<double>{2, 3, 4, 5, 0, 1}));
    int intact = 9;
    EXPECT_EQ(decaletab(0, &intact, 3, &intact), 0);
    EXPECT_EQ(intact, 9);
}

TEST(Renverse, InPlaceAndOutOfPlace)
{
    int impair[] = {1, 2, 3, 4, 5};
    renverse(5, impair, impair);
    EXPECT_EQ(vecteur(impair, 5), (std::vector<int>{5, 4, 3, 2, 1}));
    double pair[] = {1, 2, 3, 4};
    renverse(4, pair, pair);
    EXPECT_EQ(vecteur(pair, 4), (std::vector<double>{4, 3, 2, 1}));
    char mot[] = "abc";
    char envers[3];
    renverse(3, mot, envers);
    EXPECT_EQ(std::string(envers, 3), "cba");
    EXPECT_EQ(std::string(mot), "abc");
    char x[] = "x", y[] = "y";
    char *refs[] = {x, y};
    renverse(2, refs, refs);
    EXPECT_EQ(refs[0], y);
}

// Random shapes, contents and shifts, fixed seed: a view and its reverse,
// a shift and its opposite, must give back what they started from.
TEST(AllerRetour, RandomViewsAndShifts)
{
    std::mt19937 alea(20191027);
    std::uniform_int_distribution<int> taille(0, 9);
    std::uniform_int_distribution<int> decal(-25, 25);
    for (int essai = 0; essai < 300; ++essai) {
        int nr = taille(alea);
        int nc = taille(alea);
        int dimcour = 1 + essai % 2;
        std::vector<int> plat(static_cast<size_t>(nr * nc));
        for (int &v : plat)
            v = static_cast<int>(alea());
        int **m = tab_mat(nr, nc, plat.data(), dimcour);
        ASSERT_NE(m, nullptr);
        int *retour = mat_tab(nr, nc, m, dimcour);
        ASSERT_NE(retour, nullptr);
        EXPECT_EQ(vecteur(retour, nr * nc), plat) << nr << "x" << nc << " dim " << dimcour;

        int a = decal(alea);
        int b = decal(alea);
        std::vector<int> d(plat);
        decaletab(nr * nc, d.data(), a, d.data());
        decaletab(nr * nc, d.data(), -a, d.data());
        EXPECT_EQ(d, plat) << "shift " << a;

        int **copie = newmat(nr, nc, m);
        decalemat(nr, nc, m, a, b, m);
        decalemat(nr, nc, m, -a, -b, m);
        EXPECT_EQ(lignes(m, nr, nc), lignes(copie, nr, nc)) << a << "," << b;
        deletemat(nr, m);
        deletemat(nr, copie);
        deletetab(retour);
    }
}

} // namespace
