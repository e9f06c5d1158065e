// SPDX-License-Identifier: GPL-3.0-or-later
// Untyped arrays: run-time-dimension arrays, permutation, descriptors, the
// array registry and the untyped growable array.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "capture.h"
#include "zoltabr.h"
#include "zoltabx.h"

// One test asks malloc for far more than any machine holds; under
// AddressSanitizer that must come back as null, as it does without it.
extern "C" const char *__asan_default_options()
{
    return "allocator_may_return_null=1";
}

namespace
{

std::string erreur(const char *fonction, const std::string &message)
{
    return std::string("[<../src/zoltabr.cpp.") + fonction + ">] " + message;
}

TEST(Tabx, ThreeDimensionsOfDoubles)
{
    const int dims[] = {2, 3, 4};
    double ***t = static_cast<double ***>(newtabx(sizeof(double), 3, dims));
    ASSERT_NE(t, nullptr);
    std::set<void *> blocs{t};
    for (int i = 0; i < 2; ++i) {
        ASSERT_NE(t[i], nullptr);
        blocs.insert(t[i]);
        for (int j = 0; j < 3; ++j) {
            ASSERT_NE(t[i][j], nullptr);
            blocs.insert(t[i][j]);
        }
    }
    EXPECT_EQ(blocs.size(), 1u + 2u + 6u) << "one root, 2 reference blocks, 6 leaves";

    // Every element is reached by 1-based indices, and is t[i-1][j-1][k-1].
    int ind[3];
    double v = 0;
    for (ind[0] = 1; ind[0] <= 2; ++ind[0])
        for (ind[1] = 1; ind[1] <= 3; ++ind[1])
            for (ind[2] = 1; ind[2] <= 4; ++ind[2]) {
                double *p = static_cast<double *>(adressetabx(sizeof(double), 3, ind, t));
                EXPECT_EQ(p, &t[ind[0] - 1][ind[1] - 1][ind[2] - 1]);
                *p = ++v;
            }
    const int dernier[] = {2, 3, 4};
    EXPECT_EQ(adressetabx(sizeof(double), 3, dernier, t), &t[1][2][3]);
    EXPECT_EQ(t[1][2][3], 24.0);
    EXPECT_EQ(t[0][1][0], 5.0);
    EXPECT_EQ(deletetabx(3, dims, t), 0);
}

TEST(Tabx, OneDimensionAndDeeperTrees)
{
    const int cinq[] = {5};
    int *b = static_cast<int *>(newtabx(4, 1, cinq));
    ASSERT_NE(b, nullptr);
    b[4] = 7;
    const int ind[] = {5};
    EXPECT_EQ(adressetabx(4, 1, ind, b), &b[4]);
    EXPECT_EQ(deletetabx(1, cinq, b), 0);

    // Five levels of 3-byte elements, every element written once.
    const int dims[] = {2, 1, 3, 2, 2};
    void *t = newtabx(3, 5, dims);
    ASSERT_NE(t, nullptr);
    std::set<void *> places;
    int c[5];
    for (c[0] = 1; c[0] <= 2; ++c[0])
        for (c[1] = 1; c[1] <= 1; ++c[1])
            for (c[2] = 1; c[2] <= 3; ++c[2])
                for (c[3] = 1; c[3] <= 2; ++c[3])
                    for (c[4] = 1; c[4] <= 2; ++c[4]) {
                        void *p = adressetabx(3, 5, c, t);
                        memset(p, 0x5a, 3);
                        places.insert(p);
                    }
    EXPECT_EQ(places.size(), 24u);
    EXPECT_EQ(deletetabx(5, dims, t), 0);
}

TEST(Tabx, ZeroSizesStopTheTree)
{
    const int milieu[] = {2, 0, 4};
    void ***t = static_cast<void ***>(newtabx(8, 3, milieu));
    ASSERT_NE(t, nullptr);
    EXPECT_NE(t[0], nullptr);
    EXPECT_NE(t[1], nullptr);
    EXPECT_EQ(deletetabx(3, milieu, t), 0);

    const int tete[] = {0, 5};
    void *r = newtabx(8, 2, tete);
    EXPECT_NE(r, nullptr);
    EXPECT_EQ(deletetabx(2, tete, r), 0);

    const int feuilles[] = {2, 3, 0};
    double ***f = static_cast<double ***>(newtabx(8, 3, feuilles));
    ASSERT_NE(f, nullptr);
    EXPECT_NE(f[1][2], nullptr);
    EXPECT_EQ(deletetabx(3, feuilles, f), 0);

    const int rien[] = {0};
    void *v = newtabx(8, 1, rien);
    EXPECT_NE(v, nullptr);
    EXPECT_EQ(deletetabx(1, rien, v), 0);
    EXPECT_EQ(deletetabx(3, feuilles, nullptr), 0);
}

TEST(Tabx, Failures)
{
    const int dims[] = {2, 3};
    const int negatif[] = {2, -1, 3};
    const int trop[] = {1, 2};
    Capture c;
    EXPECT_EQ(newtabx(8, 0, dims), nullptr);
    EXPECT_EQ(newtabx(8, -3, dims), nullptr);
    EXPECT_EQ(deletetabx(0, dims, nullptr), -1);
    EXPECT_EQ(newtabx(8, 3, negatif), nullptr);
    EXPECT_EQ(newtabx(SIZE_MAX / 2 + 1, 2, trop), nullptr);
    Sorties s = c.fin();
    EXPECT_EQ(s.err, erreur("newtabx", "dimension number error '0'!\n") +
                         erreur("newtabx", "dimension number error '-3'!\n") +
                         erreur("deletetabx", "dimension number error!\n") +
                         erreur("newtabx", "memory allocation error!\n") +
                         erreur("newtabx", "memory allocation error!\n"));
    EXPECT_EQ(s.out, "");
}

// The root and the first reference block are made before the first leaf,
// which no machine can hold: they must go back (LeakSanitizer checks it).
TEST(Tabx, LeafThatCannotBeHadReleasesTheBlocksAbove)
{
    const int dims[] = {2, 3, 4};
    Capture c;
    void *t = newtabx(size_t(1) << 50, 3, dims);
    Sorties s = c.fin();
    EXPECT_EQ(t, nullptr);
    EXPECT_NE(s.err.find(erreur("newtabx", "memory allocation error!\n")), std::string::npos)
        << s.err;
}

TEST(Permutation, FixedCases)
{
    char lettres[] = "aaabbbcccddd";
    const int perm[] = {1, 2, 3, 0};
    char sortie[13] = {};
    EXPECT_EQ(permutetab(3, 4, lettres, perm, sortie), 0);
    EXPECT_EQ(std::string(sortie), "bbbcccdddaaa");
    EXPECT_EQ(std::string(lettres), "aaabbbcccddd");
    permutetab(3, 4, lettres, perm, lettres);
    EXPECT_EQ(std::string(lettres), "bbbcccdddaaa");

    double d[] = {10, 11, 12, 13, 14};
    const int p[] = {4, 0, 3, 1, 2};
    permutetab(sizeof(double), 5, d, p, d);
    EXPECT_EQ(std::vector<double>(d, d + 5), (std::vector<double>{14, 10, 13, 11, 12}));
    EXPECT_EQ(permutetab(8, 0, d, p, d), 0);
}

// Random sizes, element widths and permutations, fixed seed: p then its
// inverse gives the start back, in place and out of place.
TEST(Permutation, RandomRoundTrip)
{
    std::mt19937 alea(1019);
    for (int essai = 0; essai < 200; ++essai) {
        int n = static_cast<int>(alea() % 60);
        size_t taille = 1 + alea() % 12;
        std::vector<unsigned char> source(static_cast<size_t>(n) * taille);
        for (unsigned char &o : source)
            o = static_cast<unsigned char>(alea());
        std::vector<int> p(static_cast<size_t>(n));
        std::iota(p.begin(), p.end(), 0);
        std::shuffle(p.begin(), p.end(), alea);
        std::vector<int> inverse(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            inverse[static_cast<size_t>(p[i])] = i;

        std::vector<unsigned char> d(source.size());
        permutetab(taille, n, source.data(), p.data(), d.data());
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(memcmp(&d[i * taille], &source[p[i] * taille], taille), 0) << essai;
        std::vector<unsigned char> e(d);
        permutetab(taille, n, e.data(), p.data(), e.data());
        permutetab(taille, n, e.data(), inverse.data(), e.data());
        EXPECT_EQ(e, d) << "in place, trial " << essai;
        permutetab(taille, n, d.data(), inverse.data(), d.data());
        EXPECT_EQ(d, source) << "trial " << essai;
    }
}

TEST(Descripteur, CopiesTheDimensions)
{
    int dims[] = {4, 5};
    int donnees = 3;
    double x = 0;
    DescTabx *d = desctabx(&x, 2, dims, &donnees);
    ASSERT_NE(d, nullptr);
    dims[0] = 99;
    EXPECT_EQ(d->tab, &x);
    EXPECT_EQ(d->ndim, 2);
    EXPECT_EQ(d->dimx[0], 4);
    EXPECT_EQ(d->dimw[1], 5);
    EXPECT_NE(d->dimx, d->dimw);
    EXPECT_EQ(d->donnees, &donnees);
    deletedesctabx(d);
    EXPECT_EQ(d, nullptr);

    Capture c;
    EXPECT_EQ(desctabx(&x, 0, dims, nullptr), nullptr);
    EXPECT_EQ(c.fin().err, erreur("desctabx", "dimension number error '0'!\n"));
}

class Registre : public ::testing::Test
{
  protected:
    int hors = 0; // never registered: cherchetab(&hors) is the entry count
    int nombre() { return cherchetab(&hors); }
    void SetUp() override { ASSERT_EQ(nombre(), 0) << "registry not empty at start"; }
    void TearDown() override
    {
        while (retiretab(0) == 0) {
        }
    }
};

TEST_F(Registre, InsertSearchRemove)
{
    int a = 0, b = 0, c = 0;
    int dims[] = {2, 3};
    EXPECT_EQ(cherchetab(&a), 0) << "empty registry";
    EXPECT_EQ(retiretab(0), -1);
    EXPECT_EQ(inscrittab(2, dims, &a), 0);
    EXPECT_EQ(inscrittab(1, dims, &b), 0);
    EXPECT_EQ(inscrittab(2, dims, &c), 0);
    EXPECT_EQ(inscrittab(2, dims, &b), 0);
    EXPECT_EQ(nombre(), 4);
    EXPECT_EQ(cherchetab(&b), 1) << "the first entry for an array";
    EXPECT_EQ(retiretab(-1), -1);
    EXPECT_EQ(retiretab(4), -1);
    EXPECT_EQ(retiretab(1), 0);
    EXPECT_EQ(cherchetab(&c), 1) << "later entries move down";
    EXPECT_EQ(cherchetab(&b), 2);
    EXPECT_EQ(nombre(), 3);
    dims[0] = 0; // the caller's list is theirs to change
    EXPECT_EQ(retiretab(cherchetab(&a)), 0);
    EXPECT_EQ(cherchetab(&a), 2);

    Capture cap;
    EXPECT_EQ(inscrittab(0, dims, &a), -1);
    EXPECT_EQ(cap.fin().err, erreur("inscrittab", "dimension number error '0'!\n"));
    EXPECT_EQ(nombre(), 2);
}

TEST_F(Registre, GrowsPastItsStep)
{
    std::vector<int> tableaux(150);
    int dims[] = {1};
    for (int &t : tableaux)
        ASSERT_EQ(inscrittab(1, dims, &t), 0);
    EXPECT_EQ(nombre(), 150);
    EXPECT_EQ(cherchetab(&tableaux[149]), 149);
    EXPECT_EQ(cherchetab(&tableaux[64]), 64);
    for (int i = 0; i < 150; i += 2)
        EXPECT_EQ(retiretab(cherchetab(&tableaux[static_cast<size_t>(i)])), 0);
    EXPECT_EQ(cherchetab(&tableaux[149]), 74);
}

TEST_F(Registre, DeletetabOfAnUnregisteredArrayRemovesNothing)
{
    double *t = newtab(2, 1.0);
    deletetab(t);
    EXPECT_EQ(nombre(), 0);
    int dims[] = {2};
    int *u = newtab(2, 5);
    int *v = newtab(2, 6);
    inscrittab(1, dims, v);
    deletetab(u);
    EXPECT_EQ(cherchetab(v), 0);
    deletetab(v);
    EXPECT_EQ(nombre(), 0);
}

TEST(Croissance, UntypedAppendGrowsByTheStep)
{
    struct Seize {
        double a, b;
    };
    void *base = nullptr, *dernier = nullptr, *fin = nullptr;
    for (int i = 0; i < 65; ++i) {
        Seize s{double(i), -double(i)};
        ASSERT_EQ(ajoutetabx(sizeof s, base, dernier, fin, &s), 0);
        if (i == 0) {
            EXPECT_EQ(base, dernier);
            EXPECT_EQ(static_cast<char *>(fin) - static_cast<char *>(base), 63 * 16);
        }
    }
    Seize *t = static_cast<Seize *>(base);
    EXPECT_EQ((static_cast<char *>(dernier) - static_cast<char *>(base)) / 16 + 1, 65);
    EXPECT_EQ(static_cast<char *>(fin) - static_cast<char *>(base), 127 * 16);
    EXPECT_EQ(t[63].a, 63.0);
    EXPECT_EQ(t[64].b, -64.0);
    free(base);
}

} // namespace
