// SPDX-License-Identifier: GPL-3.0-or-later
// The typed allocation family: shapes and contents, every failure reachable
// with a negative size and its exact text, releases, and the registry as
// deletetab sees it. Running under LeakSanitizer also checks that a failed
// allocation gives back the blocks it had already obtained.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "capture.h"
#include "zolconf.h"
#include "zoltabr.h"
#include "zoltabx.h"

namespace
{

const std::string NEG = std::bad_array_new_length().what();

std::string erreur(const char *fonction, const char *qualif, const std::string &message)
{
    std::string q = qualif ? std::string("(\"") + qualif + "\")" : "";
    return std::string("[<../src/zoltabx.cpp.") + fonction + q + ">] " + message;
}

std::string ligne(const char *fonction, const std::string &fin)
{
    return std::string("../src/zoltabx.cpp.") + fonction + ": exception '" + NEG + fin + "\n";
}

// Runs `appel`, expects a null result and exactly `err` on standard error.
template <typename F> void echoue(F appel, const std::string &err)
{
    Capture c;
    auto r = appel();
    Sorties s = c.fin();
    EXPECT_EQ(r, nullptr);
    EXPECT_EQ(s.err, err);
    EXPECT_EQ(s.out, "");
}

TEST(Allocation, OneDimensionFilledAndCopied)
{
    double *d = newtab(5, 2.5);
    int *i = newtab(3, -7);
    ASSERT_NE(d, nullptr);
    ASSERT_NE(i, nullptr);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(d[k], 2.5);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(i[k], -7);

    double *dc = newtab(4, d);
    int *ic = newtab(3, static_cast<const int *>(i));
    char un[] = "un", deux[] = "deux";
    char *mots[] = {un, deux};
    char **mc = newtab(2, mots);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(dc[3], 2.5);
    EXPECT_EQ(ic[2], -7);
    EXPECT_NE(dc, d);
    EXPECT_EQ(mc[0], un);
    EXPECT_EQ(mc[1], deux);
    deletetab(d);
    deletetab(i);
    deletetab(dc);
    deletetab(ic);
    deletetab(mc);
}

TEST(Allocation, ZeroSizesGiveEmptyBlocksAndNothingBelow)
{
    double *t = newtab(0, 1.0);
    EXPECT_NE(t, nullptr);
    int *tc = newtab(0, static_cast<const int *>(nullptr));
    EXPECT_NE(tc, nullptr);
    double **m05 = newmat<double>(0, 5);
    EXPECT_NE(m05, nullptr);
    int **m30 = newmat(3, 0, 4);
    ASSERT_NE(m30, nullptr);
    for (int r = 0; r < 3; ++r)
        EXPECT_NE(m30[r], nullptr);
    double ***c = newcub(2, 0, 4, 1.0);
    ASSERT_NE(c, nullptr);
    int ****q = newqad<int>(2, 3, 0, 5);
    ASSERT_NE(q, nullptr);
    EXPECT_NE(q[1][2], nullptr);
    // A 0 size anywhere is accepted whatever the sizes below it.
    double **mneg = newmat(0, -1, 0.0);
    EXPECT_NE(mneg, nullptr);
    deletetab(t);
    deletetab(tc);
    deletemat(0, m05);
    deletemat(3, m30);
    deletecub(2, 0, c);
    deleteqad(2, 3, 0, q);
    deletemat(0, mneg);
}

TEST(Allocation, MatricesFilledCopiedAndRowsSeparate)
{
    int **m = newmat(2, 3, 9);
    ASSERT_NE(m, nullptr);
    EXPECT_NE(m[1], m[0] + 3) << "rows must be blocks of their own";
    m[0][1] = 1;
    m[1][2] = 5;
    int **c = newmat(2, 3, m);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c[0][0], 9);
    EXPECT_EQ(c[0][1], 1);
    EXPECT_EQ(c[1][2], 5);
    c[0][0] = 0;
    EXPECT_EQ(m[0][0], 9);

    char vide[] = "";
    char ***s = newmat(2, 2, static_cast<char *>(vide));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s[1][1], vide);
    char ***sc = newmat(2, 2, s);
    EXPECT_EQ(sc[0][1], vide);
    double **d = newmat<double>(4, 2);
    d[3][1] = 1.0;
    deletemat(2, m);
    deletemat(2, c);
    deletemat(2, s);
    deletemat(2, sc);
    deletemat(4, d);
}

TEST(Allocation, CubeOfTwentyFourDoubles)
{
    double ***c = newcub(2, 3, 4, 1.5);
    ASSERT_NE(c, nullptr);
    int n = 0;
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 4; ++k, ++n)
                EXPECT_EQ(c[i][j][k], 1.5) << i << j << k;
    EXPECT_EQ(n, 24);
    EXPECT_NE(c[0][2], c[1][0]);
    deletecub(2, 3, c);
    EXPECT_EQ(c, nullptr);

    int ***ci = newcub<int>(2, 2, 2);
    char ****cs = newcub<char *>(1, 2, 3);
    ASSERT_NE(ci, nullptr);
    ASSERT_NE(cs, nullptr);
    ci[1][1][1] = 8;
    cs[0][1][2] = nullptr;
    deletecub(2, 2, ci);
    deletecub(1, 2, cs);
}

TEST(Allocation, FourDimensionsFilled)
{
    int ****q = newqad(2, 3, 2, 2, 6);
    ASSERT_NE(q, nullptr);
    long somme = 0;
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 2; ++k)
                for (int l = 0; l < 2; ++l)
                    somme += q[i][j][k][l];
    EXPECT_EQ(somme, 6 * 24);
    double ****qd = newqad<double>(1, 1, 1, 3);
    qd[0][0][0][2] = 2.0;
    deleteqad(2, 3, 2, q);
    deleteqad(1, 1, 1, qd);
    EXPECT_EQ(q, nullptr);
}

TEST(AllocationFailure, TracedMessagesWithQualifiers)
{
    const double *const *src = nullptr;
    echoue([] { return newtab(-1, 1.0); },
           erreur("newtab", "init", "exception '" + NEG + "' at array allocation!\n"));
    echoue([] { return newmat<double>(-1, 2); },
           erreur("newmat", "base", "memory allocation error with mat[-1] '" + NEG + "'\n"));
    echoue([] { return newmat<char *>(2, -1); },
           erreur("newmat", "base", "memory allocation error with mat[0][-1] '" + NEG + "'\n"));
    echoue([] { return newmat(-1, 2, 0.0); },
           erreur("newmat", "baseinit", "exception '" + NEG + "' at first column allocation!\n"));
    echoue([] { return newmat(2, -1, 3); },
           erreur("newmat", "baseinit", "exception '" + NEG + "' at row 0 allocation!\n"));
    echoue([src] { return newmat(-2, 2, src); },
           erreur("newmat", "base", "memory allocation error with mat[-2] '" + NEG + "'\n") +
               erreur("newmat", "copy w__ alloc.", "invalid allocation!\n"));
    const char *rang[] = {"first", "second", "third"};
    for (int niveau = 0; niveau < 3; ++niveau) {
        int d[3] = {2, 2, 2};
        d[niveau] = -1;
        echoue([&] { return newcub<int>(d[0], d[1], d[2]); },
               erreur("newcub", "w/o init.",
                      "exception '" + NEG + "' at " + rang[niveau] + " dimension allocation\n"));
    }
}

TEST(AllocationFailure, DirectStandardErrorLines)
{
    const char *cub[] = {"' at first dimension allocation", "' at second column allocation",
                         "' at third column allocation"};
    for (int niveau = 0; niveau < 3; ++niveau) {
        int d[3] = {2, 3, 4};
        d[niveau] = -3;
        echoue([&] { return newcub(d[0], d[1], d[2], 1.5); }, ligne("newcub", cub[niveau]));
    }
    const char *qad[] = {"' at first dimension allocation", "' at second dimension allocation",
                         "' at third dimension allocation", "' at fourth dimension allocation"};
    const char *qadinit[] = {"' at first dimension allocation", "' at second column allocation",
                             "' at third column allocation", "' at fourth column allocation"};
    for (int niveau = 0; niveau < 4; ++niveau) {
        int d[4] = {2, 1, 2, 1};
        d[niveau] = -1;
        echoue([&] { return newqad<double>(d[0], d[1], d[2], d[3]); },
               ligne("newqad", qad[niveau]));
        echoue([&] { return newqad(d[0], d[1], d[2], d[3], 4); }, ligne("newqad", qadinit[niveau]));
    }
}

TEST(AllocationFailure, DirectLinesIgnoreTheTraceDepthTracedOnesDoNot)
{
    Capture c;
    zolentree("../src/test.cpp", "appelant", nullptr);
    double ***cub = newcub(1, -1, 1, 0.0);
    int ***cubi = newcub<int>(1, -1, 1);
    zolsortie("../src/test.cpp", "appelant", nullptr);
    Sorties s = c.fin();
    EXPECT_EQ(cub, nullptr);
    EXPECT_EQ(cubi, nullptr);
    EXPECT_EQ(s.err, ligne("newcub", "' at second column allocation") + "  " +
                         erreur("newcub", "w/o init.",
                                "exception '" + NEG + "' at second dimension allocation\n"));
}

TEST(AllocationFailure, CopiesFailSilently)
{
    Capture c;
    double un = 1.0;
    double *t = newtab(-1, &un);
    Sorties s = c.fin();
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(s.err, "");
}

TEST(Release, VariablesNulledAndNullAccepted)
{
    double *t = nullptr;
    EXPECT_EQ(deletetab(t), -1);
    t = newtab(2, 0.0);
    EXPECT_EQ(deletetab(t), 0);
    EXPECT_EQ(t, nullptr);

    double **m = newmat(2, 2, 1.0);
    EXPECT_EQ(deletemat(2, m), 0);
    EXPECT_EQ(m, nullptr);
    // Null variables are accepted whatever the sizes: nothing to read.
    EXPECT_EQ(deletemat(5, m), 0);
    char ****c = nullptr;
    EXPECT_EQ(deletecub(3, 4, c), 0);
    int ****q = nullptr;
    EXPECT_EQ(deleteqad(1, 2, 3, q), 0);
    EXPECT_EQ(q, nullptr);

    char *mot = new char[3];
    EXPECT_EQ(deletetab(mot), 0);
    EXPECT_EQ(mot, nullptr);
}

// deletetab drops a registered array from the registry, and only that one.
TEST(Release, DeletetabLeavesTheRegistry)
{
    int dims[] = {3};
    int autre = 0;
    ASSERT_EQ(cherchetab(&autre), 0) << "registry not empty at start";
    double *a = newtab(3, 1.0);
    int *b = newtab(3, 2);
    ASSERT_EQ(inscrittab(1, dims, a), 0);
    ASSERT_EQ(inscrittab(1, dims, b), 0);
    EXPECT_EQ(cherchetab(a), 0);
    EXPECT_EQ(cherchetab(b), 1);

    double *libre = newtab(1, 0.0);
    deletetab(libre);
    EXPECT_EQ(cherchetab(&autre), 2) << "an unregistered array removed an entry";

    deletetab(a);
    EXPECT_EQ(cherchetab(b), 0);
    EXPECT_EQ(cherchetab(&autre), 1);
    deletetab(b);
    EXPECT_EQ(cherchetab(&autre), 0);
}

} // namespace
