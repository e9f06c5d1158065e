// SPDX-License-Identifier: GPL-3.0-or-later
// Exhausted memory in the middle of a multi-level allocation. This test
// executable replaces the array forms of operator new and delete with
// counting versions over malloc/free that can be told to fail at the k-th
// request, so that every step of newmat/newcub/newqad can be made to fail
// and the blocks obtained before it can be counted back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "capture.h"
#include "zoltabx.h"

namespace
{

int avantpanne = -1; // requests left before the failing one; -1 never fails
long vivants = 0;    // blocks handed out and not yet released

void *alloue(std::size_t n)
{
    if (avantpanne == 0)
        throw std::bad_alloc();
    if (avantpanne > 0)
        --avantpanne;
    void *p = std::malloc(n != 0 ? n : 1);
    if (p == nullptr)
        throw std::bad_alloc();
    ++vivants;
    return p;
}

void rend(void *p) noexcept
{
    if (p != nullptr) {
        --vivants;
        std::free(p);
    }
}

} // namespace

void *operator new[](std::size_t n)
{
    return alloue(n);
}
void *operator new[](std::size_t n, const std::nothrow_t &) noexcept
{
    try {
        return alloue(n);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}
void operator delete[](void *p) noexcept
{
    rend(p);
}
void operator delete[](void *p, std::size_t) noexcept
{
    rend(p);
}
void operator delete[](void *p, const std::nothrow_t &) noexcept
{
    rend(p);
}

namespace
{

const std::string OOM = std::bad_alloc().what();
const char SRC[] = "../src/zoltabx.cpp";

struct Essai {
    void *resultat;
    long restes; // blocks still held once the call returned
    std::string err;
};

// Runs `appel` with the k-th array request failing (k from 1).
template <typename F> Essai panne(int k, F appel)
{
    long avant = vivants;
    Capture c;
    avantpanne = k - 1;
    void *r = appel();
    avantpanne = -1;
    return Essai{r, vivants - avant, c.fin().err};
}

// Matrix 3 x 4: request 1 is the row block, request 2 + i row i.
TEST(Epuisement, MatrixFailureAtEveryStepReleasesEverything)
{
    for (int k = 1; k <= 4; ++k) {
        Essai e = panne(k, [] { return newmat(3, 4, 2.0); });
        EXPECT_EQ(e.resultat, nullptr);
        EXPECT_EQ(e.restes, 0) << "step " << k;
        std::string attendu =
            k == 1 ? "exception '" + OOM + "' at first column allocation!\n"
                   : "exception '" + OOM + "' at row " + std::to_string(k - 2) + " allocation!\n";
        EXPECT_EQ(e.err, std::string("[<") + SRC + ".newmat(\"baseinit\")>] " + attendu);

        e = panne(k, [] { return newmat<int>(3, 4); });
        EXPECT_EQ(e.restes, 0);
        attendu = k == 1 ? "memory allocation error with mat[3] '" + OOM + "'\n"
                         : "memory allocation error with mat[" + std::to_string(k - 2) + "][4] '" +
                               OOM + "'\n";
        EXPECT_EQ(e.err, std::string("[<") + SRC + ".newmat(\"base\")>] " + attendu);
    }
    Essai e = panne(5, [] { return newmat(3, 4, 2.0); });
    ASSERT_NE(e.resultat, nullptr) << "the fifth request is past the matrix";
    double **m = static_cast<double **>(e.resultat);
    deletemat(3, m);
}

TEST(Epuisement, CopyReportsTheBaseThenItsOwnLine)
{
    int **source = newmat(2, 2, 1);
    Essai e = panne(3, [source] { return newmat(2, 2, source); });
    EXPECT_EQ(e.resultat, nullptr);
    EXPECT_EQ(e.restes, 0);
    EXPECT_EQ(e.err, std::string("[<") + SRC +
                         ".newmat(\"base\")>] memory allocation error with "
                         "mat[1][2] '" +
                         OOM + "'\n[<" + SRC +
                         ".newmat(\"copy w__ alloc.\")>] invalid allocation!\n");
    deletemat(2, source);
}

// Cube 2 x 2 x 2, depth first: 1 top, 2 plane 0, 3-4 its rows, 5 plane 1,
// 6-7 its rows.
TEST(Epuisement, CubeAndFourLevelsReleaseWhatTheyObtained)
{
    const int niveau[] = {0, 0, 1, 2, 2, 1, 2, 2};
    const char *dim[] = {"first", "second", "third"};
    const char *col[] = {"first dimension", "second column", "third column"};
    for (int k = 1; k <= 7; ++k) {
        int l = niveau[k];
        Essai e = panne(k, [] { return newcub<double>(2, 2, 2); });
        EXPECT_EQ(e.resultat, nullptr);
        EXPECT_EQ(e.restes, 0) << "step " << k;
        EXPECT_EQ(e.err, std::string("[<") + SRC + ".newcub(\"w/o init.\")>] exception '" + OOM +
                             "' at " + dim[l] + " dimension allocation\n");
        e = panne(k, [] { return newcub(2, 2, 2, 1); });
        EXPECT_EQ(e.restes, 0);
        EXPECT_EQ(e.err, std::string(SRC) + ".newcub: exception '" + OOM + "' at " + col[l] +
                             " allocation\n");
    }
    // 2 x 2 x 2 x 2 holds 1 + 2 + 4 + 8 blocks; fail at the last leaf.
    Essai e = panne(15, [] { return newqad(2, 2, 2, 2, 0.5); });
    EXPECT_EQ(e.resultat, nullptr);
    EXPECT_EQ(e.restes, 0);
    EXPECT_EQ(e.err,
              std::string(SRC) + ".newqad: exception '" + OOM + "' at fourth column allocation\n");
    e = panne(13, [] { return newqad<int>(2, 2, 2, 2); });
    EXPECT_EQ(e.restes, 0);
    EXPECT_EQ(e.err, std::string(SRC) + ".newqad: exception '" + OOM +
                         "' at third dimension allocation\n");
}

TEST(Epuisement, ScalesAndViewsPassTheFailureOn)
{
    Essai e = panne(1, [] { return newtablin(4, 0.0, 1.0); });
    EXPECT_EQ(e.resultat, nullptr);
    EXPECT_EQ(e.err, std::string("[<") + SRC + ".newtab(\"init\")>] exception '" + OOM +
                         "' at array allocation!\n[<" + SRC + ".newtablin>] newtab() error!\n");
    e = panne(1, [] { return newtablog(4, 1.0, 2.0); });
    EXPECT_EQ(e.resultat, nullptr);
    EXPECT_EQ(e.err, std::string("[<") + SRC + ".newtab(\"init\")>] exception '" + OOM +
                         "' at array allocation!\n[<" + SRC + ".newtablog>] newtab() error!\n");
    double plat[4] = {1, 2, 3, 4};
    e = panne(1, [&plat] { return matresse(2, 2, plat); });
    EXPECT_EQ(e.resultat, nullptr);
    EXPECT_EQ(e.err, std::string("[<") + SRC + ".matresse>] exception '" + OOM +
                         "' at first column allocation\n");
    e = panne(2, [&plat] { return tab_mat(2, 2, plat, 1); });
    EXPECT_EQ(e.resultat, nullptr);
    EXPECT_EQ(e.restes, 0);
    double **m = tab_mat(2, 2, plat, 2);
    e = panne(1, [m] { return mat_tab(2, 2, m, 2); });
    EXPECT_EQ(e.resultat, nullptr);
    EXPECT_EQ(e.err, "") << "mat_tab reports only a size mismatch";
    deletemat(2, m);
}

} // namespace
