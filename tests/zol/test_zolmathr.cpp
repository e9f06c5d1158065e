// SPDX-License-Identifier: GPL-3.0-or-later
// Special functions: constants, loggamma, logfactorial, factorielle,
// binomial, betafunction, factrotation values. The cache states seen from a
// fresh process are in test_zolcaches.cpp.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "capture.h"
#include "numerique.h"
#include "zolconf.h"
#include "zolmathr.h"

namespace
{

const std::string ERR_LOGFACT = "[<../src/zolmathr.cpp.logfactorial>] invalide n<0!\n";
const std::string ERR_FACT = "[<../src/zolmathr.cpp.factorielle>] invalid n<0";

struct Cas {
    const char *appel;
    double valeur;
    double attendu;
    double tol;
};

void verifie(const Cas *cas, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        EXPECT_TRUE(proche(cas[i].valeur, cas[i].attendu, cas[i].tol))
            << cas[i].appel << " = " << cas[i].valeur << ", expected " << cas[i].attendu;
}

TEST(Constants, HaveTheirExactBits)
{
    struct Bits {
        const char *nom;
        double valeur;
        uint64_t bits;
    };
    const Bits table[] = {
        {"offset", ZOL_LANCZOS_DECALAGE, 0x4016000000000000ULL},
        {"c0", ZOL_LANCZOS_C[0], 0x3FF00000000D0EC7ULL},
        {"c1", ZOL_LANCZOS_C[1], 0x40530B869F76170AULL},
        {"c2", ZOL_LANCZOS_C[2], 0xC055A0572B143656ULL},
        {"c3", ZOL_LANCZOS_C[3], 0x4038039BF13B4CC6ULL},
        {"c4", ZOL_LANCZOS_C[4], 0xBFF3B5348DCDCC8CULL},
        {"c5", ZOL_LANCZOS_C[5], 0x3F53CD7319EC12D8ULL},
        {"c6", ZOL_LANCZOS_C[6], 0xBED6A1181C0E9888ULL},
        {"series scale", ZOL_LANCZOS_RAC2PI, 0x40040D931FF62706ULL},
        {"2 pi", ZOL_DEUXPI, 0x401921FB54442D18ULL},
        {"normal sqrt(2 pi)", ZOL_GAUSS_RAC2PI, 0x40040D931FF62705ULL},
        {"pi", ZOL_PI, 0x400921FB54442D18ULL},
        {"NaN", ZOLNAN, BITS_NAN},
    };
    for (const Bits &b : table)
        EXPECT_EQ(bitsde(b.valeur), b.bits) << b.nom;
    // The normal density's sqrt(2 pi) is the rounded root of the double 2 pi;
    // the series scale is one unit in the last place above it.
    EXPECT_EQ(std::sqrt(ZOL_DEUXPI), ZOL_GAUSS_RAC2PI);
    EXPECT_EQ(bitsde(ZOL_LANCZOS_RAC2PI) - bitsde(ZOL_GAUSS_RAC2PI), 1u);
    EXPECT_EQ(ZOL_DEUXPI, zoldeuxpi());
}

TEST(LogGamma, KnownValues)
{
    const Cas cas[] = {
        {"loggamma(1)", loggamma(1.0), 0.0, 1e-15},
        {"loggamma(2)", loggamma(2.0), 0.0, 1e-15},
        {"loggamma(0.5)", loggamma(0.5), 0.5723649429247001, 1e-12},
        {"loggamma(3)", loggamma(3.0), std::log(2.0), TOL_LANCZOS},
        {"loggamma(11)", loggamma(11.0), std::log(3628800.0), TOL_LANCZOS},
        {"loggamma(1.5)", loggamma(1.5), std::log(0.8862269254527580), TOL_LANCZOS},
    };
    verifie(cas, sizeof cas / sizeof cas[0]);
}

TEST(LogGamma, AgreesWithTheStandardLibraryOverItsRange)
{
    // Measured: largest absolute difference 1.8e-10 on [1e-3, 1e3], at the
    // large arguments (relative 4e-13 there), 1.0e-11 on [1e-3, 20].
    double pire = 0.0;
    for (double x = 1e-3; x <= 1e3; x *= 1.003) {
        const double e = std::fabs(loggamma(x) - std::lgamma(x));
        pire = std::max(pire, e / std::max(1.0, std::fabs(std::lgamma(x))));
        EXPECT_TRUE(proche(loggamma(x), std::lgamma(x), TOL_LANCZOS)) << "x = " << x;
    }
    RecordProperty("worst_relative_error", std::to_string(pire));
}

TEST(LogGamma, NonPositiveArgumentGivesWhatTheLogarithmGives)
{
    EXPECT_TRUE(std::isnan(loggamma(-0.5)) || std::isinf(loggamma(-0.5)));
    EXPECT_FALSE(std::isfinite(loggamma(0.0)));
}

TEST(LogFactorial, SmallArgumentsAreZeroAndNegativeIsReported)
{
    EXPECT_EQ(bitsde(logfactorial(0)), 0u);
    EXPECT_EQ(bitsde(logfactorial(1)), 0u);
    Capture c;
    const double r = logfactorial(-1);
    const double r2 = logfactorial(INT_MIN);
    Sorties s = c.fin();
    EXPECT_EQ(bitsde(r), BITS_NAN);
    EXPECT_EQ(bitsde(r2), BITS_NAN);
    EXPECT_EQ(s.err, ERR_LOGFACT + ERR_LOGFACT);
    EXPECT_EQ(s.out, "");
}

TEST(LogFactorial, CacheHoldsSinglePrecisionUpTo100)
{
    // ln 20! = 42.3356164607535; the float nearest is 42.33561706542969.
    EXPECT_EQ(logfactorial(20), 42.33561706542969);
    EXPECT_EQ(bitsde(logfactorial(20)), bitsde(42.33561706542969));
    for (int n = 2; n <= 100; ++n) {
        const double v = logfactorial(n);
        EXPECT_EQ(v, static_cast<double>(static_cast<float>(v))) << n;
        EXPECT_EQ(v, static_cast<double>(static_cast<float>(loggamma(n + 1.0)))) << n;
        EXPECT_TRUE(proche(v, std::lgamma(n + 1.0), TOL_SINGLE)) << n;
        EXPECT_EQ(logfactorial(n), v) << "second call " << n;
    }
}

TEST(LogFactorial, AboveHundredIsFullDoublePrecision)
{
    for (int n : {101, 150, 1000, 1000000, INT_MAX}) {
        EXPECT_EQ(bitsde(logfactorial(n)), bitsde(loggamma(n + 1.0))) << n;
        EXPECT_TRUE(proche(logfactorial(n), std::lgamma(n + 1.0), TOL_LANCZOS)) << n;
    }
    EXPECT_NE(logfactorial(101), static_cast<double>(static_cast<float>(logfactorial(101))));
}

TEST(Factorielle, ExactUpTo22ThenRoundedProducts)
{
    // n! written out up to 22!, all exact in double.
    const double exact[23] = {1.0,
                              1.0,
                              2.0,
                              6.0,
                              24.0,
                              120.0,
                              720.0,
                              5040.0,
                              40320.0,
                              362880.0,
                              3628800.0,
                              39916800.0,
                              479001600.0,
                              6227020800.0,
                              87178291200.0,
                              1307674368000.0,
                              20922789888000.0,
                              355687428096000.0,
                              6402373705728000.0,
                              121645100408832000.0,
                              2432902008176640000.0,
                              51090942171709440000.0,
                              1124000727777607680000.0};
    for (int n = 0; n <= 22; ++n)
        EXPECT_EQ(factorielle(n), exact[n]) << n;
    for (int n = 23; n <= 32; ++n) {
        EXPECT_EQ(bitsde(factorielle(n)), bitsde(factorielle(n - 1) * n)) << n;
        EXPECT_TRUE(proche(factorielle(n), std::exp(std::lgamma(n + 1.0)), 1e-13)) << n;
    }
    EXPECT_EQ(factoriellesommet(), 32);
}

TEST(Factorielle, Above32ComesFromLogGammaNotCached)
{
    const Cas cas[] = {
        {"factorielle(33)", factorielle(33), 8.68331761881189e36, TOL_FACT33},
        {"factorielle(40)", factorielle(40), 8.159152832478977e47, TOL_FACT33},
    };
    verifie(cas, sizeof cas / sizeof cas[0]);
    EXPECT_EQ(bitsde(factorielle(33)), bitsde(std::exp(loggamma(34.0))));
    EXPECT_TRUE(std::isinf(factorielle(171)));
    EXPECT_TRUE(std::isinf(factorielle(INT_MAX)));
    EXPECT_LE(factoriellesommet(), 32);
}

TEST(Factorielle, NegativeIsReportedWithoutLineBreak)
{
    Capture c;
    const double r = factorielle(-3);
    const double r2 = logfactorial(-2); // follows on the same line
    Sorties s = c.fin();
    EXPECT_EQ(bitsde(r), BITS_NAN);
    EXPECT_EQ(bitsde(r2), BITS_NAN);
    EXPECT_EQ(s.err, ERR_FACT + ERR_LOGFACT);
}

TEST(Binomial, ExactUpTo21AgainstPascalsTriangle)
{
    double pascal[22][22] = {};
    for (int n = 0; n <= 21; ++n) {
        pascal[n][0] = 1;
        for (int k = 1; k <= n; ++k)
            pascal[n][k] = pascal[n - 1][k - 1] + pascal[n - 1][k];
    }
    for (int n = 0; n <= 21; ++n)
        for (int k = 0; k <= n; ++k)
            EXPECT_EQ(binomial(n, k), pascal[n][k]) << n << " choose " << k;
    EXPECT_EQ(bitsde(binomial(20, 10)), bitsde(184756.0));
}

TEST(Binomial, SinglePrecisionCacheShowsFrom22)
{
    // By design: the float log-factorials put 22 choose 9 one below 497420.
    EXPECT_EQ(bitsde(binomial(22, 9)), bitsde(497419.0));
    // Beyond, the error grows with the size of the log-factorials: measured
    // 3.0e-5 relative at worst up to n = 100.
    EXPECT_TRUE(proche(binomial(60, 30), 118264581564861424.0, TOL_BINOMIAL_CACHE));
    for (int n = 22; n <= 100; ++n)
        for (int k = 0; k <= n; ++k) {
            const double ref = std::round(
                std::exp(std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0)));
            EXPECT_LE(std::fabs(binomial(n, k) - ref), TOL_BINOMIAL_CACHE * ref) << n << "," << k;
        }
}

TEST(Binomial, NegativeArgumentsReportOncePerArgument)
{
    struct Neg {
        int n, k, reports;
    };
    const Neg table[] = {
        {5, 7, 1},       // n - k
        {-1, 2, 2},      // n and n - k
        {-1, -1, 2},     // n and k; n - k = 0
        {3, -1, 1},      // k
        {0, INT_MIN, 1}, // k; n - k = 2^31 does not overflow
        {INT_MIN, INT_MAX, 2},
        {INT_MAX, INT_MIN, 1},
    };
    for (const Neg &t : table) {
        Capture c;
        const double r = binomial(t.n, t.k);
        Sorties s = c.fin();
        EXPECT_EQ(bitsde(r), BITS_NAN) << t.n << "," << t.k;
        std::string attendu;
        for (int i = 0; i < t.reports; ++i)
            attendu += ERR_LOGFACT;
        EXPECT_EQ(s.err, attendu) << t.n << "," << t.k;
    }
}

TEST(BetaFunction, KnownValues)
{
    const Cas cas[] = {
        {"B(2,3)", betafunction(2.0, 3.0), 1.0 / 12.0, TOL_LANCZOS},
        {"B(0.5,0.5)", betafunction(0.5, 0.5), 3.141592653589793, TOL_LANCZOS},
        {"B(1,1)", betafunction(1.0, 1.0), 1.0, TOL_LANCZOS},
        {"B(2.5,1.5)", betafunction(2.5, 1.5), 3.141592653589793 / 16.0, TOL_LANCZOS},
    };
    verifie(cas, sizeof cas / sizeof cas[0]);
}

TEST(FactRotation, FourPointsGiveTheCosinesOfTheRoundedAngles)
{
    ZolRotation *r = factrotation(4);
    ASSERT_NE(r, nullptr);
    // cos and sin of the doubles pi/2, pi, 3pi/2: not exactly 0.
    const double cosinus[4] = {1.0, 6.123233995736766e-17, -1.0, -1.8369701987210297e-16};
    const double sinus[4] = {0.0, 1.0, 1.2246467991473532e-16, -1.0};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(r->cosinus[i], cosinus[i]) << i;
        EXPECT_EQ(r->sinus[i], sinus[i]) << i;
    }
    delete r;
}

TEST(FactRotation, TablesAreTheRootsOfUnity)
{
    for (int n : {1, 2, 3, 7, 64, 1000}) {
        ZolRotation *r = factrotation(n);
        ASSERT_NE(r, nullptr);
        for (int i = 0; i < n; ++i) {
            const long double t = 2.0L * 3.14159265358979323846264338327950288L * i / n;
            EXPECT_NEAR(r->cosinus[i], static_cast<double>(cosl(t)), 1e-15) << n << ":" << i;
            EXPECT_NEAR(r->sinus[i], static_cast<double>(sinl(t)), 1e-15) << n << ":" << i;
        }
        delete r;
    }
}

TEST(FactRotation, NonPositiveCountIsReported)
{
    for (int n : {0, -1, INT_MIN}) {
        Capture c;
        ZolRotation *r = factrotation(n);
        Sorties s = c.fin();
        EXPECT_EQ(r, nullptr);
        EXPECT_EQ(s.err, "[<../src/zolmathr.cpp.factrotation>] invalid n<1!\n");
    }
}

} // namespace
