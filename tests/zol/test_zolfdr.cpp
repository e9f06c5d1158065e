// SPDX-License-Identifier: GPL-3.0-or-later
// Distribution functions: values, supports and counts, parameter checks,
// and the normalisation of every density and mass function.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "capture.h"
#include "numerique.h"
#include "zolmathr.h"

namespace
{

const double SENTINELLE = -123.5; // what "untouched" leaves in out
const std::string ERR_LOGFACT = "[<../src/zolmathr.cpp.logfactorial>] invalide n<0!\n";

std::string prefixe(const char *fonction)
{
    return std::string("[<../src/zolmathr.cpp.") + fonction + ">] ";
}

// ---- Values from the closed forms -----------------------------------------

TEST(Fdr, GaussAtItsMeanIsOneOverTheRoundedRootBitForBit)
{
    const double x = 0.0;
    double out = SENTINELLE;
    EXPECT_EQ(gaussfdr(1, &x, 0.0, 1.0, &out), 0);
    EXPECT_EQ(bitsde(out), bitsde(0.3989422804014327));
    EXPECT_EQ(out, 1.0 / 2.5066282746310002);
}

TEST(Fdr, ContinuousValuesAgainstClosedForms)
{
    struct Cas {
        const char *appel;
        std::function<int(const double *, double *)> f;
        double x;
        double attendu;
        double tol;
    };
    const double e1 = std::exp(-1.0);
    const Cas cas[] = {
        {"beta(2,2) at .5", [](const double *x, double *o) { return betafdr(1, x, 2, 2, o); }, 0.5,
         1.5, TOL_LANCZOS},
        {"beta(1,1) at .3", [](const double *x, double *o) { return betafdr(1, x, 1, 1, o); }, 0.3,
         1.0, TOL_LANCZOS},
        {"gamma(1,2) at 2", [](const double *x, double *o) { return gammafdr(1, x, 1, 2, o); }, 2.0,
         e1 / 2, TOL_LANCZOS},
        {"gauss(1,2) at 3", [](const double *x, double *o) { return gaussfdr(1, x, 1, 2, o); }, 3.0,
         std::exp(-0.5) / (2 * std::sqrt(2 * M_PI)), TOL_DOUBLE},
        {"exp(2) at 0", [](const double *x, double *o) { return expfdr(1, x, 2, o); }, 0.0, 0.5,
         TOL_EXACT},
        {"exp(2) at 2", [](const double *x, double *o) { return expfdr(1, x, 2, o); }, 2.0, e1 / 2,
         TOL_DOUBLE},
        {"weibull(2,1) at 2", [](const double *x, double *o) { return weibullfdr(1, x, 2, 1, o); },
         2.0, e1 / 2, TOL_DOUBLE},
        {"weibull(1,2) at 1", [](const double *x, double *o) { return weibullfdr(1, x, 1, 2, o); },
         1.0, 2 * e1, TOL_DOUBLE},
        {"chi2(2) at 2", [](const double *x, double *o) { return chi2fdr(1, x, 2, o); }, 2.0,
         e1 / 2, TOL_LANCZOS},
        {"lognorm(0,1) at 1", [](const double *x, double *o) { return lognormfdr(1, x, 0, 1, o); },
         1.0, 1 / std::sqrt(2 * M_PI), TOL_DOUBLE},
        {"rayleigh(1) at 1", [](const double *x, double *o) { return rayleighfdr(1, x, 1, o); },
         1.0, std::exp(-0.5), TOL_DOUBLE},
        {"rayleigh(1) at 0", [](const double *x, double *o) { return rayleighfdr(1, x, 1, o); },
         0.0, 0.0, TOL_EXACT},
    };
    for (const Cas &c : cas) {
        double out = SENTINELLE;
        EXPECT_EQ(c.f(&c.x, &out), 0) << c.appel;
        EXPECT_TRUE(proche(out, c.attendu, c.tol)) << c.appel << " = " << out;
    }
}

// ---- Supports, counts and untouched elements ------------------------------

TEST(Fdr, BetaZeroesAndCountsOutsideItsSupport)
{
    const double x[3] = {-0.5, 0.5, 1.5};
    double out[3] = {SENTINELLE, SENTINELLE, SENTINELLE};
    EXPECT_EQ(betafdr(3, x, 2, 2, out), 2);
    EXPECT_EQ(out[0], 0.0);
    EXPECT_NEAR(out[1], 1.5, 1e-9);
    EXPECT_EQ(out[2], 0.0);
}

TEST(Fdr, GammaWeibullLognormRayleighLeaveOutsideUntouched)
{
    double out[3] = {SENTINELLE, SENTINELLE, SENTINELLE};
    const double g[2] = {0.0, 2.0};
    EXPECT_EQ(gammafdr(2, g, 1, 2, out), 1);
    EXPECT_EQ(out[0], SENTINELLE);
    EXPECT_NEAR(out[1], 0.1839397, 1e-7);

    const double w[2] = {-1.0, 0.0};
    out[0] = out[1] = SENTINELLE;
    EXPECT_EQ(weibullfdr(2, w, 1, 2, out), 1);
    EXPECT_EQ(out[0], SENTINELLE);
    EXPECT_EQ(out[1], 0.0);
    out[0] = SENTINELLE;
    EXPECT_EQ(weibullfdr(2, w, 2, 1, out), 1); // the exponential branch too
    EXPECT_EQ(out[0], SENTINELLE);
    EXPECT_EQ(out[1], 0.5);

    const double l[3] = {0.0, -2.0, 1.0};
    out[0] = out[1] = out[2] = SENTINELLE;
    EXPECT_EQ(lognormfdr(3, l, 0, 1, out), 2);
    EXPECT_EQ(out[0], SENTINELLE);
    EXPECT_EQ(out[1], SENTINELLE);

    const double r[3] = {-1.0, 0.0, 1.0};
    out[0] = out[1] = out[2] = SENTINELLE;
    EXPECT_EQ(rayleighfdr(3, r, 1, out), 1);
    EXPECT_EQ(out[0], SENTINELLE);
    EXPECT_EQ(out[1], 0.0);
    EXPECT_EQ(out[2], std::exp(-0.5));
}

TEST(Fdr, ExponentialMarksNegativeInputsNaNWithoutCounting)
{
    const double x[2] = {-1.0, 0.0};
    double out[2] = {SENTINELLE, SENTINELLE};
    EXPECT_EQ(expfdr(2, x, 2, out), 0);
    EXPECT_EQ(bitsde(out[0]), BITS_NAN);
    EXPECT_EQ(out[1], 0.5);
}

TEST(Fdr, NaNInputGivesNaNAndIsNotCounted)
{
    const double x[1] = {ZOLNAN};
    double out[1] = {SENTINELLE};
    EXPECT_EQ(gammafdr(1, x, 2, 1, out), 0);
    EXPECT_TRUE(std::isnan(out[0]));
    out[0] = SENTINELLE;
    EXPECT_EQ(betafdr(1, x, 2, 2, out), 0);
    EXPECT_TRUE(std::isnan(out[0]));
}

TEST(Fdr, OutputMayBeTheInputArray)
{
    double x[3] = {-1.0, 0.0, 1.0};
    EXPECT_EQ(rayleighfdr(3, x, 1, x), 1);
    EXPECT_EQ(x[0], -1.0); // untouched: keeps its input value
    EXPECT_EQ(x[1], 0.0);
    EXPECT_EQ(x[2], std::exp(-0.5));
}

// ---- Parameter checks ------------------------------------------------------

TEST(Fdr, RejectedParametersReportAndLeaveOutUntouched)
{
    struct Cas {
        const char *fonction;
        std::function<int(int, const double *, double *)> f;
        int code;
        const char *message;
    };
    const Cas cas[] = {
        {"betafdr", [](int n, const double *x, double *o) { return betafdr(n, x, 0, 1, o); }, -1,
         "invalid a<=0!\n"},
        {"betafdr", [](int n, const double *x, double *o) { return betafdr(n, x, 1, -1, o); }, -2,
         "invalid b<=0!\n"},
        {"gammafdr", [](int n, const double *x, double *o) { return gammafdr(n, x, -2, 1, o); }, -1,
         "invalid a<=0!\n"},
        {"gammafdr", [](int n, const double *x, double *o) { return gammafdr(n, x, 1, 0, o); }, -2,
         "invalid b<=0!\n"},
        {"gaussfdr", [](int n, const double *x, double *o) { return gaussfdr(n, x, 0, 0, o); }, -1,
         "invalid sigma<=0!\n"},
        {"expfdr", [](int n, const double *x, double *o) { return expfdr(n, x, -1, o); }, -1,
         "invalid mean mu<=0!\n"},
        {"weibullfdr", [](int n, const double *x, double *o) { return weibullfdr(n, x, 0, 1, o); },
         -1, "invalid a<=0!\n"},
        {"weibullfdr", [](int n, const double *x, double *o) { return weibullfdr(n, x, 1, 0, o); },
         -2, "invalid b<=0!\n"},
    };
    const double x[2] = {0.5, 1.0};
    for (const Cas &c : cas)
        for (int n : {2, 0, -3}) { // checked before anything, also for n <= 0
            double out[2] = {SENTINELLE, SENTINELLE};
            Capture cap;
            const int r = c.f(n, x, out);
            Sorties s = cap.fin();
            EXPECT_EQ(r, c.code) << c.fonction << " n=" << n;
            EXPECT_EQ(s.err, prefixe(c.fonction) + c.message);
            EXPECT_EQ(s.out, "");
            EXPECT_EQ(out[0], SENTINELLE);
            EXPECT_EQ(out[1], SENTINELLE);
        }
}

TEST(Fdr, NaNParameterPassesTheChecks)
{
    const double x = 0.5;
    double out = SENTINELLE;
    Capture c;
    EXPECT_EQ(gaussfdr(1, &x, 0, ZOLNAN, &out), 0);
    EXPECT_EQ(c.fin().err, "");
    EXPECT_TRUE(std::isnan(out));
}

TEST(Fdr, EmptyCountProcessesNothing)
{
    double out = SENTINELLE;
    const double x = 1.0;
    const int k = 1;
    EXPECT_EQ(gaussfdr(0, &x, 0, 1, &out), 0);
    EXPECT_EQ(chi2fdr(-1, &x, 2, &out), 0);
    EXPECT_EQ(lognormfdr(0, &x, 0, 1, &out), 0);
    EXPECT_EQ(poissonfdr(0, &k, 2, &out), 0);
    EXPECT_EQ(binomialfdr(0, &k, 0.5, 4, &out), 0);
    EXPECT_EQ(hypergeofdr(0, &k, 5, 5, 4, &out), 0);
    EXPECT_EQ(out, SENTINELLE);
}

// ---- Discrete members ------------------------------------------------------

TEST(Fdr, PoissonNegativeCountGivesNaNAndOneReport)
{
    const int k[3] = {0, 1, -1};
    double out[3];
    Capture c;
    EXPECT_EQ(poissonfdr(3, k, 2.0, out), 0);
    Sorties s = c.fin();
    EXPECT_EQ(out[0], std::exp(-2.0));
    EXPECT_EQ(out[1], 2 * std::exp(-2.0));
    EXPECT_EQ(bitsde(out[2]), BITS_NAN);
    EXPECT_EQ(s.err, "[<../src/zolmathr.cpp.factorielle>] invalid n<0");
}

TEST(Fdr, BinomialCountsOutsideAndReportsEachNegativeArgument)
{
    const int k[4] = {2, 5, -1, INT_MIN};
    double out[4];
    Capture c;
    EXPECT_EQ(binomialfdr(4, k, 0.5, 4, out), 3);
    Sorties s = c.fin();
    EXPECT_EQ(out[0], 0.375);
    EXPECT_EQ(bitsde(out[1]), BITS_NAN);
    EXPECT_EQ(bitsde(out[2]), BITS_NAN);
    EXPECT_EQ(bitsde(out[3]), BITS_NAN);
    EXPECT_EQ(s.err, ERR_LOGFACT + ERR_LOGFACT + ERR_LOGFACT);
}

TEST(Fdr, BinomialWithNegativeTrialsStaysDefined)
{
    const int k[2] = {0, INT_MAX};
    double out[2];
    Capture c;
    binomialfdr(2, k, 0.5, INT_MIN, out);
    c.fin();
    EXPECT_TRUE(std::isnan(out[0]));
    EXPECT_TRUE(std::isnan(out[1]));
}

TEST(Fdr, HypergeometricCountsOutsideItsBounds)
{
    const int k[4] = {2, 5, -1, 0};
    double out[4] = {SENTINELLE, SENTINELLE, SENTINELLE, SENTINELLE};
    EXPECT_EQ(hypergeofdr(4, k, 5, 5, 4, out), 2);
    EXPECT_EQ(out[0], 100.0 / 210.0);
    EXPECT_EQ(out[1], SENTINELLE);
    EXPECT_EQ(out[2], SENTINELLE);
    EXPECT_EQ(out[3], 5.0 / 210.0);

    // Lower bound m - M: drawing 6 from 5 failures needs one success.
    const int k2[2] = {0, 1};
    out[0] = out[1] = SENTINELLE;
    EXPECT_EQ(hypergeofdr(2, k2, 5, 5, 6, out), 1);
    EXPECT_EQ(out[0], SENTINELLE);
    EXPECT_EQ(out[1], 5.0 / 210.0);
}

TEST(Fdr, HypergeometricExtremePopulationsDoNotOverflow)
{
    const int k[1] = {0};
    double out[1] = {SENTINELLE};
    Capture c;
    hypergeofdr(1, k, INT_MAX, INT_MAX, INT_MIN, out);
    hypergeofdr(1, k, INT_MIN, INT_MIN, INT_MAX, out);
    Sorties s = c.fin();
    EXPECT_NE(s.err, ""); // the negative arguments are reported
}

// ---- Normalisation ---------------------------------------------------------

// Composite Simpson's rule over [a, b] in 2m steps, the density evaluated in
// one call over the whole grid; elements left untouched count as 0.
double simpson(const std::function<int(int, const double *, double *)> &f, double a, double b,
               int m)
{
    const int n = 2 * m + 1;
    std::vector<double> x(n), y(n, 0.0);
    const double h = (b - a) / (n - 1);
    for (int i = 0; i < n; ++i)
        x[i] = a + i * h;
    f(n, x.data(), y.data());
    double s = y[0] + y[n - 1];
    for (int i = 1; i < n - 1; ++i)
        s += (i % 2 ? 4 : 2) * y[i];
    return s * h / 3;
}

TEST(Fdr, EveryDensityIntegratesToOne)
{
    struct Cas {
        const char *loi;
        std::function<int(int, const double *, double *)> f;
        double a, b;
    };
    // Parameters chosen for densities smooth over their support, so that
    // Simpson's rule converges fast; the tails beyond b are below 1e-12.
    const Cas cas[] = {
        {"beta(2,3)", [](int n, const double *x, double *o) { return betafdr(n, x, 2, 3, o); }, 0,
         1},
        {"beta(3,4.5)", [](int n, const double *x, double *o) { return betafdr(n, x, 3, 4.5, o); },
         0, 1},
        {"gamma(2.5,1.5)",
         [](int n, const double *x, double *o) { return gammafdr(n, x, 2.5, 1.5, o); }, 0, 80},
        {"gauss(1,2)", [](int n, const double *x, double *o) { return gaussfdr(n, x, 1, 2, o); },
         -30, 32},
        {"exp(2)", [](int n, const double *x, double *o) { return expfdr(n, x, 2, o); }, 0, 80},
        {"weibull(2,1)",
         [](int n, const double *x, double *o) { return weibullfdr(n, x, 2, 1, o); }, 0, 80},
        {"weibull(2,2.5)",
         [](int n, const double *x, double *o) { return weibullfdr(n, x, 2, 2.5, o); }, 0, 20},
        {"chi2(5)", [](int n, const double *x, double *o) { return chi2fdr(n, x, 5, o); }, 0, 150},
        {"lognorm(0.3,0.6)",
         [](int n, const double *x, double *o) { return lognormfdr(n, x, 0.3, 0.6, o); }, 0, 200},
        {"rayleigh(1.5)",
         [](int n, const double *x, double *o) { return rayleighfdr(n, x, 1.5, o); }, 0, 30},
    };
    for (const Cas &c : cas) {
        const double i = simpson(c.f, c.a, c.b, 200000);
        EXPECT_TRUE(proche(i, 1.0, TOL_QUADRATURE)) << c.loi << " integrates to " << i;
    }
}

double somme(const std::function<void(int, const int *, double *)> &f, int de, int a)
{
    std::vector<int> k;
    for (int i = de; i <= a; ++i)
        k.push_back(i);
    std::vector<double> p(k.size());
    f(static_cast<int>(k.size()), k.data(), p.data());
    double s = 0;
    for (double v : p)
        s += v;
    return s;
}

TEST(Fdr, EveryMassFunctionSumsToOne)
{
    struct Cas {
        const char *loi;
        std::function<void(int, const int *, double *)> f;
        int de, a;
        double tol;
    };
    // Coefficients are exact up to a population of 21; beyond, the float
    // log-factorials show: measured 2.4e-6 for both larger cases.
    const Cas cas[] = {
        {"poisson(3.5)", [](int n, const int *k, double *o) { poissonfdr(n, k, 3.5, o); }, 0, 100,
         1e-15},
        {"poisson(40)", [](int n, const int *k, double *o) { poissonfdr(n, k, 40, o); }, 0, 170,
         TOL_FACT33},
        {"binomial(12,0.3)", [](int n, const int *k, double *o) { binomialfdr(n, k, 0.3, 12, o); },
         0, 12, 1e-15},
        {"binomial(80,0.45)",
         [](int n, const int *k, double *o) { binomialfdr(n, k, 0.45, 80, o); }, 0, 80,
         TOL_BINOMIAL_CACHE},
        {"hypergeo(7,8,6)", [](int n, const int *k, double *o) { hypergeofdr(n, k, 7, 8, 6, o); },
         0, 6, 1e-15},
        {"hypergeo(30,40,25)",
         [](int n, const int *k, double *o) { hypergeofdr(n, k, 30, 40, 25, o); }, 0, 25,
         TOL_BINOMIAL_CACHE},
    };
    for (const Cas &c : cas) {
        const double s = somme(c.f, c.de, c.a);
        EXPECT_TRUE(proche(s, 1.0, c.tol)) << c.loi << " sums to " << s;
    }
}

} // namespace
