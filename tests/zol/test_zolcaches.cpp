// SPDX-License-Identifier: GPL-3.0-or-later
// The process-wide caches of the special functions, watched from a fresh
// process: each test touches one cache only, so the order of the tests does
// not matter, but no other test may share this executable.
//
// The rotation-factor cache takes its blocks from the nothrow forms of new;
// this executable replaces them (echecalloc.h) so that a chosen allocation
// fails.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "capture.h"
#include "echecalloc.h"
#include "numerique.h"
#include "zolmathr.h"

namespace
{

const std::string PREFIXE = "[<../src/zolmathr.cpp.factrotation>] ";

TEST(FactorialTable, GrowsOnDemandAndKeepsItsTop)
{
    EXPECT_EQ(factoriellesommet(), 4);
    EXPECT_EQ(factorielle(4), 24.0);
    EXPECT_EQ(factorielle(0), 1.0);
    EXPECT_EQ(factoriellesommet(), 4);
    EXPECT_EQ(factorielle(10), 3628800.0);
    EXPECT_EQ(factoriellesommet(), 10);
    EXPECT_EQ(factorielle(5), 120.0);
    EXPECT_EQ(factoriellesommet(), 10);
    Capture c;
    factorielle(-1);
    c.fin();
    EXPECT_EQ(factoriellesommet(), 10);
    factorielle(33);
    EXPECT_EQ(factoriellesommet(), 10);
    const double f32 = factorielle(32);
    EXPECT_EQ(factoriellesommet(), 32);
    EXPECT_EQ(bitsde(f32), bitsde(factorielle(31) * 32));
    EXPECT_EQ(factorielle(32), f32);
    EXPECT_EQ(factoriellesommet(), 32);
}

TEST(LogFactorialCache, FirstAndLaterCallsGiveTheSameFloat)
{
    const double premier = logfactorial(20);
    EXPECT_EQ(bitsde(premier), bitsde(42.33561706542969));
    EXPECT_EQ(bitsde(logfactorial(20)), bitsde(premier));
    EXPECT_EQ(bitsde(logfactorial(100)),
              bitsde(static_cast<double>(static_cast<float>(loggamma(101.0)))));
    EXPECT_EQ(bitsde(logfactorial(100)),
              bitsde(static_cast<double>(static_cast<float>(loggamma(101.0)))));
}

TEST(RotationCache, GrowsToTheLargestCountAndSharesItsTables)
{
    EXPECT_EQ(factrotationcapacite(), 0);
    ZolRotation *a = factrotation(8);
    ZolRotation *b = factrotation(8);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(a->cosinus, b->cosinus);
    EXPECT_EQ(a->sinus, b->sinus);
    EXPECT_EQ(factrotationcapacite(), 8);

    ZolRotation *c = factrotation(16);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(factrotationcapacite(), 16);
    ZolRotation *d = factrotation(8);
    EXPECT_EQ(factrotationcapacite(), 16);
    EXPECT_EQ(d->cosinus, a->cosinus);
    EXPECT_EQ(d->sinus, a->sinus);
    ZolRotation *e = factrotation(3);
    EXPECT_EQ(factrotationcapacite(), 16);
    EXPECT_EQ(e->cosinus[0], 1.0);
    for (ZolRotation *r : {a, b, c, d, e})
        delete r;
}

// factrotation(n) for n above the capacity allocates, in order: the cosine
// directory, the sine directory, the record, the cosine table, the sine
// table. Each failure must leave a cache that still serves every count, and
// leak nothing (the sanitizer build checks).
TEST(RotationCache, StaysUsableAfterEveryAllocationFailure)
{
    ZolRotation *avant = factrotation(20);
    ASSERT_NE(avant, nullptr);
    const int capa = factrotationcapacite();
    ASSERT_GE(capa, 20);
    const int n = capa + 5;

    struct Echec {
        int rang;
        const char *message;
        bool agrandi; // the directories have grown
    };
    const Echec echecs[] = {
        {0, "memory allocation error 'double*[%d]'", false},
        {1, "memory allocation error 'double*[%d]'", false},
        {2, "memory allocation error!\n", true},
        // Grown: now the record, then the two tables.
        {1, "memory allocation error 'double[%d]'!\n", true},
        {2, "memory allocation error 'double[%d]'!\n", true},
        {0, "memory allocation error!\n", true},
    };
    for (const Echec &f : echecs) {
        char attendu[128];
        snprintf(attendu, sizeof attendu, f.message, n);
        Capture c;
        echecalloc::arme(f.rang);
        ZolRotation *r = factrotation(n);
        const bool consomme = echecalloc::avantEchec == -1;
        echecalloc::avantEchec = -1;
        Sorties s = c.fin();
        EXPECT_TRUE(consomme) << attendu;
        EXPECT_EQ(r, nullptr) << attendu;
        EXPECT_EQ(s.err, PREFIXE + attendu);
        EXPECT_EQ(factrotationcapacite(), f.agrandi ? n : capa) << attendu;

        ZolRotation *ancien = factrotation(20);
        ASSERT_NE(ancien, nullptr);
        EXPECT_EQ(ancien->cosinus, avant->cosinus);
        EXPECT_EQ(ancien->sinus, avant->sinus);
        delete ancien;
    }

    ZolRotation *r = factrotation(n);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(factrotationcapacite(), n);
    EXPECT_EQ(r->cosinus[0], 1.0);
    EXPECT_EQ(r->sinus[0], 0.0);
    EXPECT_NEAR(r->cosinus[n - 1], std::cos(ZOL_DEUXPI / n), 1e-15);
    delete r;
    delete avant;
}

} // namespace
