// SPDX-License-Identifier: GPL-3.0-or-later
// Combinatorics: Bell numbers, k-subsets, the index counter, pairings.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <set>
#include <vector>

#include "capture.h"
#include "zolcomb.h"

namespace
{

using Tuple = std::vector<int>;

// ---- Bell numbers ----------------------------------------------------------

// OEIS A000110, B_0 to B_22: all below 2^53, so every one must be exact.
const double BELL[23] = {1,
                         1,
                         2,
                         5,
                         15,
                         52,
                         203,
                         877,
                         4140,
                         21147,
                         115975,
                         678570,
                         4213597,
                         27644437,
                         190899322,
                         1382958545,
                         10480142147.0,
                         82864869804.0,
                         682076806159.0,
                         5832742205057.0,
                         51724158235372.0,
                         474869816156751.0,
                         4506715738447323.0};

TEST(Bell, MatchesTheKnownSequenceExactlyUpToB22)
{
    double *b = bell(22);
    ASSERT_NE(b, nullptr);
    for (int i = 0; i <= 22; ++i)
        EXPECT_EQ(b[i], BELL[i]) << "B_" << i;
    EXPECT_EQ(b[22], 4506715738447323.0);
    delete[] b;

    double *b0 = bell(0);
    ASSERT_NE(b0, nullptr);
    EXPECT_EQ(b0[0], 1.0);
    delete[] b0;
}

TEST(Bell, NegativeCountIsReportedAndGivesNull)
{
    Capture c;
    double *b = bell(-1);
    Sorties s = c.fin();
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(s.err, "[<../src/zolcomb.cpp.bell>] invalid number of element!\n");
    EXPECT_EQ(s.out, "");
}

// ---- k-subsets -------------------------------------------------------------

std::vector<Tuple> subsets(int n, int k)
{
    std::vector<Tuple> vus;
    Tuple p(std::max(k, 1), -7);
    EXPECT_EQ(nextcombination(0, k, p.data()), 0);
    while (nextcombination(n, k, p.data()) == 1)
        vus.push_back(p);
    return vus;
}

TEST(Subsets, FourChooseTwoAgainstLiteralTable)
{
    Tuple p(2);
    nextcombination(0, 2, p.data());
    const int attendu[6][2] = {{1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}};
    for (const auto &a : attendu) {
        ASSERT_EQ(nextcombination(4, 2, p.data()), 1);
        EXPECT_EQ(p, (Tuple{a[0], a[1]}));
    }
    EXPECT_EQ(nextcombination(4, 2, p.data()), 0);
    EXPECT_EQ(p, (Tuple{3, 4}));
    EXPECT_EQ(nextcombination(4, 2, p.data()), 0); // stays at the end
    EXPECT_EQ(p, (Tuple{3, 4}));
}

TEST(Subsets, FiveChooseThreeAgainstLiteralTable)
{
    const std::vector<Tuple> attendu = {{1, 2, 3}, {1, 2, 4}, {1, 2, 5}, {1, 3, 4}, {1, 3, 5},
                                        {1, 4, 5}, {2, 3, 4}, {2, 3, 5}, {2, 4, 5}, {3, 4, 5}};
    EXPECT_EQ(subsets(5, 3), attendu);
}

TEST(Subsets, InitialisationSetsOneBelowTheFirstSubset)
{
    Tuple p(3, 0);
    EXPECT_EQ(nextcombination(-2, 3, p.data()), 0);
    EXPECT_EQ(p, (Tuple{1, 2, 2}));
    Tuple q(1, 9);
    EXPECT_EQ(nextcombination(0, 1, q.data()), 0);
    EXPECT_EQ(q[0], 0);
}

TEST(Subsets, EveryNandKGivesBinomialManyInLexicographicOrder)
{
    // Pascal's triangle by additions: a reference independent of zolmathr.
    long pascal[11][11] = {};
    for (int n = 0; n <= 10; ++n) {
        pascal[n][0] = 1;
        for (int k = 1; k <= n; ++k)
            pascal[n][k] = pascal[n - 1][k - 1] + pascal[n - 1][k];
    }
    for (int n = 1; n <= 10; ++n)
        for (int k = 1; k <= n; ++k) {
            std::vector<Tuple> vus = subsets(n, k);
            ASSERT_EQ(static_cast<long>(vus.size()), pascal[n][k]) << n << " choose " << k;
            for (size_t i = 0; i < vus.size(); ++i) {
                const Tuple &t = vus[i];
                EXPECT_GE(t.front(), 1);
                EXPECT_LE(t.back(), n);
                EXPECT_TRUE(std::is_sorted(t.begin(), t.end()) &&
                            std::adjacent_find(t.begin(), t.end()) == t.end());
                if (i > 0) {
                    EXPECT_LT(vus[i - 1], t);
                }
            }
            Tuple dernier;
            for (int j = n - k + 1; j <= n; ++j)
                dernier.push_back(j);
            EXPECT_EQ(vus.back(), dernier);
        }
}

TEST(Subsets, KOneWalksTheElementsAndKAboveNGivesNothing)
{
    EXPECT_EQ(subsets(4, 1), (std::vector<Tuple>{{1}, {2}, {3}, {4}}));
    EXPECT_TRUE(subsets(3, 4).empty());
    EXPECT_TRUE(subsets(1, 2).empty());
}

TEST(Subsets, KBelowOneTouchesNothing)
{
    int p[2] = {-7, -7};
    EXPECT_EQ(nextcombination(0, 0, p), 0);
    EXPECT_EQ(nextcombination(5, 0, p), 0);
    EXPECT_EQ(nextcombination(0, -3, p), 0);
    EXPECT_EQ(nextcombination(5, INT_MIN, p), 0);
    EXPECT_EQ(p[0], -7);
    EXPECT_EQ(p[1], -7);
}

// ---- Index counter ---------------------------------------------------------

std::vector<Tuple> walk(const Tuple &lim, Tuple *fin = nullptr)
{
    const int n = static_cast<int>(lim.size());
    Tuple c(n, -7);
    initcounter(n, c.data());
    std::vector<Tuple> vus;
    while (nextcounter(n, lim.data(), c.data()) == 1) {
        vus.push_back(c);
        if (vus.size() > 10000)
            break; // a runaway counter fails below instead of hanging
    }
    if (fin)
        *fin = c;
    return vus;
}

TEST(Counter, InitSetsOneBelowTheFirstTuple)
{
    int c[3] = {9, 9, 9};
    initcounter(3, c);
    EXPECT_EQ(Tuple(c, c + 3), (Tuple{1, 1, 0}));
    initcounter(1, c);
    EXPECT_EQ(c[0], 0);
}

TEST(Counter, TwoByThreeAgainstLiteralTable)
{
    Tuple fin;
    EXPECT_EQ(walk({2, 3}, &fin),
              (std::vector<Tuple>{{1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {2, 3}}));
    EXPECT_EQ(fin, (Tuple{2, 3}));
}

TEST(Counter, OnePositionCountsToItsLimit)
{
    Tuple fin;
    EXPECT_EQ(walk({3}, &fin), (std::vector<Tuple>{{1}, {2}, {3}}));
    EXPECT_EQ(fin, (Tuple{3}));
}

TEST(Counter, VisitsEveryTupleOnceInLexicographicOrder)
{
    const Tuple lim = {2, 3, 1, 4};
    Tuple fin;
    std::vector<Tuple> vus = walk(lim, &fin);
    // Every tuple of the box, built by nested loops.
    std::vector<Tuple> attendu;
    for (int a = 1; a <= 2; ++a)
        for (int b = 1; b <= 3; ++b)
            for (int d = 1; d <= 4; ++d)
                attendu.push_back({a, b, 1, d});
    EXPECT_EQ(vus, attendu);
    EXPECT_EQ(fin, lim);

    // Past the end it keeps answering 0 and keeps the last tuple.
    Tuple c = fin;
    EXPECT_EQ(nextcounter(4, lim.data(), c.data()), 0);
    EXPECT_EQ(c, lim);
}

TEST(Counter, SecondCounterOneStepAheadTellsWhichPositionsChange)
{
    // The use made by the run-time-dimension arrays: a second counter moved
    // once more right after initialisation always holds the following tuple.
    const int lim[3] = {2, 2, 3};
    int c1[3], c2[3];
    initcounter(3, c1);
    initcounter(3, c2);
    ASSERT_EQ(nextcounter(3, lim, c2), 1);
    int pas = 0;
    while (nextcounter(3, lim, c1) == 1) {
        const int suivant = nextcounter(3, lim, c2);
        ++pas;
        if (pas < 12) {
            ASSERT_EQ(suivant, 1);
            EXPECT_LT(Tuple(c1, c1 + 3), Tuple(c2, c2 + 3));
        } else {
            EXPECT_EQ(suivant, 0);
        }
    }
    EXPECT_EQ(pas, 12);
}

TEST(Counter, OpenArgumentsEndTheWalkWithoutOverflow)
{
    int c[2] = {5, 5};
    const int lim[2] = {2, 2};
    initcounter(0, c);
    initcounter(-1, c);
    EXPECT_EQ(nextcounter(0, lim, c), 0);
    EXPECT_EQ(nextcounter(-4, lim, c), 0);
    EXPECT_EQ(c[0], 5);

    // A limit below 1 ends the walk at once instead of counting for ever.
    Tuple fin;
    EXPECT_TRUE(walk({-1}, &fin).empty());
    EXPECT_EQ(fin, (Tuple{-1}));
    EXPECT_TRUE(walk({0}, &fin).empty());

    // A limit at INT_MAX: no position is ever pushed beyond it.
    const int grand[2] = {2, INT_MAX};
    int g[2] = {1, INT_MAX - 1};
    EXPECT_EQ(nextcounter(2, grand, g), 1);
    EXPECT_EQ(Tuple(g, g + 2), (Tuple{1, INT_MAX}));
    EXPECT_EQ(nextcounter(2, grand, g), 1);
    EXPECT_EQ(Tuple(g, g + 2), (Tuple{2, 1}));
    g[1] = INT_MAX;
    EXPECT_EQ(nextcounter(2, grand, g), 0);
    EXPECT_EQ(Tuple(g, g + 2), (Tuple{2, INT_MAX}));
}

// ---- Pairings --------------------------------------------------------------

void liberelist(int **l, int n)
{
    for (int i = 0; i < n; ++i)
        free(l[i]);
    free(l);
}

void liberetable(int ***t, int nlignes, int npaires)
{
    for (int r = 0; r < nlignes; ++r) {
        for (int j = 0; j < npaires; ++j)
            free(t[r][j]);
        free(t[r]);
    }
    free(t);
}

std::vector<Tuple> records(int **l, int n)
{
    std::vector<Tuple> v;
    for (int i = 0; i < n; ++i)
        v.push_back({l[i][0], l[i][1], l[i][2]});
    return v;
}

TEST(PairingList, ThreeElementsGiveTwoRecords)
{
    const int e[3] = {7, 8, 9};
    int count = -1;
    int **l = pairinglist(3, e, count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(records(l, count), (std::vector<Tuple>{{7, 8, 1}, {7, 9, 1}}));
    liberelist(l, count);
}

TEST(PairingList, FourElementsInPreOrder)
{
    const int e[4] = {1, 2, 3, 4};
    int count = 0;
    int **l = pairinglist(4, e, count);
    ASSERT_EQ(count, 6);
    EXPECT_EQ(
        records(l, count),
        (std::vector<Tuple>{{1, 2, 2}, {3, 4, 1}, {1, 3, 2}, {2, 4, 1}, {1, 4, 2}, {2, 3, 1}}));
    liberelist(l, count);
}

TEST(PairingList, RecordCountsFollowTheRecurrence)
{
    // T(0) = T(1) = 0, T(m) = (m-1)(1 + T(m-2)), written out.
    const int T[13] = {0, 0, 1, 2, 6, 12, 35, 78, 252, 632, 2277, 6330, 25058};
    int e[12];
    for (int i = 0; i < 12; ++i)
        e[i] = i + 1;
    for (int m = 0; m <= 12; ++m) {
        int count = -1;
        int **l = pairinglist(m, e, count);
        EXPECT_EQ(count, T[m]) << "m = " << m;
        EXPECT_EQ(l == nullptr, m < 2);
        liberelist(l, count);
    }
    int count = -1;
    EXPECT_EQ(pairinglist(-3, e, count), nullptr);
    EXPECT_EQ(count, 0);
}

// Checks that every row of a pairing table is a perfect matching of 1..n
// with first < second and increasing first elements, and that the rows come
// in strictly increasing lexicographic order (hence all distinct).
void verifieTable(int ***t, int nlignes, int n)
{
    std::vector<Tuple> lignes;
    for (int r = 0; r < nlignes; ++r) {
        Tuple ligne;
        std::set<int> vus;
        for (int j = 0; j < n / 2; ++j) {
            const int a = t[r][j][0], b = t[r][j][1];
            EXPECT_LT(a, b);
            if (j > 0) {
                EXPECT_LT(t[r][j - 1][0], a);
            }
            vus.insert(a);
            vus.insert(b);
            ligne.push_back(a);
            ligne.push_back(b);
        }
        EXPECT_EQ(static_cast<int>(vus.size()), n);
        EXPECT_EQ(*vus.begin(), 1);
        EXPECT_EQ(*vus.rbegin(), n);
        if (r > 0) {
            EXPECT_LT(lignes.back(), ligne) << "row " << r;
        }
        lignes.push_back(ligne);
    }
}

TEST(Pairtition, SmallEvenCountsGiveDoubleFactorialMatchings)
{
    const int doublefact[5] = {1, 1, 3, 15, 105}; // (n-1)!! for n = 0, 2, 4, 6, 8
    for (int n = 2; n <= 10; n += 2) {
        int npairings = -1, npairs = -1;
        Capture c;
        int ***t = pairtition(n, npairings, npairs);
        Sorties s = c.fin();
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(s.err, "");
        EXPECT_EQ(npairs, n / 2);
        EXPECT_EQ(npairings, n <= 8 ? doublefact[n / 2] : 945);
        verifieTable(t, npairings, n);
        liberetable(t, npairings, npairs);
    }
}

TEST(Pairtition, SixAgainstLiteralTable)
{
    const int attendu[15][6] = {{1, 2, 3, 4, 5, 6}, {1, 2, 3, 5, 4, 6}, {1, 2, 3, 6, 4, 5},
                                {1, 3, 2, 4, 5, 6}, {1, 3, 2, 5, 4, 6}, {1, 3, 2, 6, 4, 5},
                                {1, 4, 2, 3, 5, 6}, {1, 4, 2, 5, 3, 6}, {1, 4, 2, 6, 3, 5},
                                {1, 5, 2, 3, 4, 6}, {1, 5, 2, 4, 3, 6}, {1, 5, 2, 6, 3, 4},
                                {1, 6, 2, 3, 4, 5}, {1, 6, 2, 4, 3, 5}, {1, 6, 2, 5, 3, 4}};
    int npairings = 0, npairs = 0;
    int ***t = pairtition(6, npairings, npairs);
    ASSERT_EQ(npairings, 15);
    ASSERT_EQ(npairs, 3);
    for (int r = 0; r < 15; ++r)
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(t[r][j][0], attendu[r][2 * j]) << "row " << r;
            EXPECT_EQ(t[r][j][1], attendu[r][2 * j + 1]) << "row " << r;
        }
    liberetable(t, npairings, npairs);
}

TEST(Pairtition, TwoAndFourAgainstLiteralTables)
{
    int npairings = 0, npairs = 0;
    int ***t = pairtition(2, npairings, npairs);
    ASSERT_EQ(npairings, 1);
    ASSERT_EQ(npairs, 1);
    EXPECT_EQ(t[0][0][0], 1);
    EXPECT_EQ(t[0][0][1], 2);
    liberetable(t, npairings, npairs);

    t = pairtition(4, npairings, npairs);
    ASSERT_EQ(npairings, 3);
    const int attendu[3][4] = {{1, 2, 3, 4}, {1, 3, 2, 4}, {1, 4, 2, 3}};
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ((Tuple{t[r][0][0], t[r][0][1], t[r][1][0], t[r][1][1]}),
                  Tuple(attendu[r], attendu[r] + 4));
    liberetable(t, npairings, npairs);
}

TEST(Pairtition, ZeroElementsReportsButReturnsOneEmptyRow)
{
    int npairings = -1, npairs = -1;
    Capture c;
    int ***t = pairtition(0, npairings, npairs);
    Sorties s = c.fin();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(npairings, 1);
    EXPECT_EQ(npairs, 0);
    EXPECT_EQ(s.err, "[<../src/zolcomb.cpp.pairtition>] invalid number of partitions!\n");
    liberetable(t, npairings, npairs);
}

TEST(Pairtition, RejectedCountsReportAndGiveNull)
{
    struct Cas {
        int n;
        const char *message;
    };
    const Cas cas[] = {
        {5, "number of elements is odd!\n"},
        {-3, "number of elements is odd!\n"},
        {INT_MIN + 1, "number of elements is odd!\n"},
        {-4, "invalid number of elements n<0!\n"},
        {INT_MIN, "invalid number of elements n<0!\n"},
        {22, "too many elements n>=22!\n"},
        {INT_MAX - 1, "too many elements n>=22!\n"},
    };
    for (const Cas &k : cas) {
        int npairings = -1, npairs = -1;
        Capture c;
        int ***t = pairtition(k.n, npairings, npairs);
        Sorties s = c.fin();
        EXPECT_EQ(t, nullptr) << k.n;
        EXPECT_EQ(npairings, 0);
        EXPECT_EQ(npairs, 0);
        EXPECT_EQ(s.err, std::string("[<../src/zolcomb.cpp.pairtition>] ") + k.message);
        EXPECT_EQ(s.out, "");
    }
}

} // namespace
