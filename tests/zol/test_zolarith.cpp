// SPDX-License-Identifier: GPL-3.0-or-later
// Integer arithmetic: gcd, lcm, smallest prime factor, exact base-2 log.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "capture.h"
#include "zolmathr.h"

namespace
{

TEST(Gcd, ListedValues)
{
    struct Cas {
        int a, b, attendu;
    };
    const Cas cas[] = {
        {12, -18, 6},
        {0, -5, 5},
        {-5, 0, 5},
        {0, 0, 0},
        {7, 1, 1},
        {1, 7, 1},
        {-4, -6, 2},
        {17, 17, 17},
        {INT_MAX, INT_MAX, INT_MAX},
        {INT_MIN, 6, 2},
        {INT_MIN, INT_MAX, 1},
        {INT_MIN, 1 << 20, 1 << 20},
    };
    for (const Cas &c : cas)
        EXPECT_EQ(gcd(c.a, c.b), c.attendu) << c.a << ", " << c.b;
}

TEST(Gcd, AgreesWithTheStandardLibrary)
{
    for (int a = -60; a <= 60; ++a)
        for (int b = -60; b <= 60; ++b)
            ASSERT_EQ(gcd(a, b), std::gcd(a, b)) << a << ", " << b;
    uint32_t s = 12345;
    for (int i = 0; i < 2000; ++i) {
        s = s * 1103515245u + 12345u;
        const int a = static_cast<int>(s >> 1) - (1 << 30);
        s = s * 1103515245u + 12345u;
        const int b = static_cast<int>(s % 100000) * 6;
        ASSERT_EQ(gcd(a, b), std::gcd(a, b)) << a << ", " << b;
    }
}

TEST(Gcd, TwoToThe31DoesNotFitAndIsReported)
{
    for (int b : {0, INT_MIN}) {
        Capture c;
        EXPECT_EQ(gcd(INT_MIN, b), -1);
        EXPECT_EQ(gcd(b, INT_MIN), -1);
        Sorties s = c.fin();
        const std::string m = "[<../src/zolmathr.cpp.gcd>] gcd 2^31 out of int range!\n";
        EXPECT_EQ(s.err, m + m);
    }
}

TEST(Lcm, ListedValues)
{
    struct Cas {
        std::vector<int> v;
        int attendu;
    };
    const Cas cas[] = {
        {{4, 6}, 12},
        {{-2, 3}, -6},
        {{5}, 5},
        {{-5}, -5},
        {{2, 0, 3}, 0},
        {{0, 0}, 0},
        {{0}, 0},
        {{-2, -3}, 6},
        {{2, 3, 4, 5, 6}, 60},
        {{INT_MIN}, INT_MIN},
        {{INT_MAX}, INT_MAX},
        {{65536, 32768}, 65536},
        {{46340, 46341}, 2147441940},
    };
    for (const Cas &c : cas)
        EXPECT_EQ(lcm(static_cast<int>(c.v.size()), c.v.data()), c.attendu);
    const int un = 3;
    EXPECT_EQ(lcm(0, &un), 0);
    EXPECT_EQ(lcm(-2, &un), 0);
}

TEST(Lcm, AgreesWithTheStandardLibraryUpToSign)
{
    for (int a = -30; a <= 30; ++a)
        for (int b = -30; b <= 30; ++b)
            for (int c : {-7, 1, 12}) {
                const int v[3] = {a, b, c};
                const int signe = (a < 0) ^ (b < 0) ^ (c < 0) ? -1 : 1;
                ASSERT_EQ(lcm(3, v), signe * std::lcm(std::lcm(a, b), c))
                    << a << "," << b << "," << c;
            }
}

TEST(Lcm, ResultOutOfIntRangeIsReportedAsZero)
{
    const std::vector<int> cas[] = {
        {-1, INT_MIN},
        {INT_MIN, -1},
        {65536, 65537},
        {INT_MAX, 2},
        {2, 3, 5, 7, 11, 13, 17, 19, 23, 29},
    };
    for (const auto &v : cas) {
        Capture c;
        EXPECT_EQ(lcm(static_cast<int>(v.size()), v.data()), 0);
        Sorties s = c.fin();
        EXPECT_EQ(s.err, "[<../src/zolmathr.cpp.lcm>] lcm out of int range!\n");
    }
}

// The smallest divisor d >= 2 of |n| with d * d <= |n|, else |n|: trial
// division by every integer, independent of the prime table.
int plusPetitFacteur(int n)
{
    const int64_t m = n < 0 ? -static_cast<int64_t>(n) : n;
    if (m == 1)
        return 1;
    for (int64_t d = 2; d * d <= m; ++d)
        if (m % d == 0)
            return static_cast<int>(d);
    return static_cast<int>(m);
}

TEST(PpfPremier, ListedValues)
{
    struct Cas {
        int n, attendu;
    };
    const Cas cas[] = {
        {12, 2},
        {-15, 3},
        {13, 13},
        {2, 2},
        {1, 1},
        {-1, 1},
        {4, 2},
        {49, 7},
        {25, 5},
        {INT_MAX, INT_MAX},
        {INT_MIN, 2},
        {65521 * 32749, 32749}, // two large primes of the table
        {46337 * 46337, 46337}, // the largest prime square in range
        {65537 * 32749, 32749},
        {-2147483629, 2147483629},
    };
    for (const Cas &c : cas)
        EXPECT_EQ(ppfpremier(c.n), c.attendu) << c.n;
}

TEST(PpfPremier, AgreesWithPlainTrialDivision)
{
    for (int n = -3000; n <= 3000; ++n)
        if (n != 0) {
            ASSERT_EQ(ppfpremier(n), plusPetitFacteur(n)) << n;
        }
    // The largest primes below 2^31, their neighbours, and a spread of
    // arguments over the whole int range.
    const int grands[] = {2147483647, 2147483629, 2147483587, 2147483579, 2147483563,
                          2147483549, 2147483543, 2147483497, 2147483489, 2147483477};
    for (int p : grands) {
        ASSERT_EQ(ppfpremier(p), p);
        ASSERT_EQ(ppfpremier(p), plusPetitFacteur(p));
        ASSERT_EQ(ppfpremier(p - 1), plusPetitFacteur(p - 1));
        ASSERT_EQ(ppfpremier(-p), p);
    }
    uint32_t s = 987654321u;
    for (int i = 0; i < 3000; ++i) {
        s = s * 1664525u + 1013904223u;
        const int n = static_cast<int>(s);
        if (n != 0) {
            ASSERT_EQ(ppfpremier(n), plusPetitFacteur(n)) << n;
        }
    }
}

TEST(PpfPremier, ZeroIsANoticeOnStandardOutput)
{
    Capture c;
    EXPECT_EQ(ppfpremier(0), -1);
    Sorties s = c.fin();
    EXPECT_EQ(s.out, "[<../src/zolmathr.cpp.ppfpremier>] no prime factor for '0'\n");
    EXPECT_EQ(s.err, "");
}

TEST(Log2Exact, PowersOfTwoAndTheRest)
{
    for (int k = 0; k <= 30; ++k) {
        EXPECT_EQ(log2exact(1 << k), k);
        if (k >= 2) {
            EXPECT_EQ(log2exact((1 << k) + 1), -1);
            EXPECT_EQ(log2exact((1 << k) - 1), -1);
        }
        EXPECT_EQ(log2exact(-(1 << k)), -1);
    }
    EXPECT_EQ(log2exact(1), 0);
    EXPECT_EQ(log2exact(1024), 10);
    EXPECT_EQ(log2exact(12), -1);
    EXPECT_EQ(log2exact(-8), -1);
    EXPECT_EQ(log2exact(INT_MIN), -1);
    EXPECT_EQ(log2exact(INT_MAX), -1);
    Capture c;
    EXPECT_EQ(log2exact(0), -1); // no power of two, and no endless halving
    Sorties s = c.fin();
    EXPECT_EQ(s.err, "");
    EXPECT_EQ(s.out, "");
}

} // namespace
