// SPDX-License-Identifier: GPL-3.0-or-later
// Scales: regular from two ends, the regular scale nearest to a measured
// series, geometric.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "capture.h"
#include "zoltabx.h"

namespace
{

const double TOL_EXACT = 0.0;
const double TOL_POW = 1e-13; // relative, for products of two powers

std::string erreur(const char *qualif, const std::string &message)
{
    return std::string("[<../src/zoltabx.cpp.newtablin(\"") + qualif + "\")>] " + message;
}

std::vector<double> vecteur(const double *t, int n)
{
    return std::vector<double>(t, t + n);
}

TEST(Regular, ValuesAndExactEnds)
{
    double *t = newtablin(5, 0.0, 1.0);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(vecteur(t, 5), (std::vector<double>{0, 0.25, 0.5, 0.75, 1}));
    deletetab(t);

    double caller[3] = {9, 9, 9};
    EXPECT_EQ(newtablin(3, 2.0, -2.0, caller), 0);
    EXPECT_EQ(vecteur(caller, 3), (std::vector<double>{2, 0, -2}));

    // Ends are exact even where a step-by-step sum would drift.
    double d[11];
    newtablin(11, 0.1, 0.7, d);
    EXPECT_EQ(d[0], 0.1);
    EXPECT_EQ(d[10], 0.7);

    t = newtablin(1, 4.0, 8.0);
    EXPECT_EQ(vecteur(t, 1), std::vector<double>{4.0});
    deletetab(t);
}

TEST(Regular, NoValuesIsRefusedAndLeavesTheBlock)
{
    double caller[2] = {7, 7};
    Capture c;
    int r = newtablin(0, 1.0, 2.0, caller);
    double *t = newtablin(-3, 1.0, 2.0);
    Sorties s = c.fin();
    EXPECT_EQ(r, -1);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(caller[0], 7);
    EXPECT_EQ(s.err, erreur("w/o alloc.", "negative number of value in scale!\n") +
                         erreur("w/o alloc.", "negative number of value in scale!\n"));
}

struct Irregulier {
    std::vector<double> serie;
    double pas;
    double ecart;
    std::vector<double> attendu;
    double tol;
};

TEST(Irregular, NearestRegularScale)
{
    const Irregulier cas[] = {
        // Already regular: copied, step 1, no deviation.
        {{0, 1, 2, 3}, 1.0, 0.0, {0, 1, 2, 3}, TOL_EXACT},
        // Step 13.9/14, 3 / 0.99286 rounds to 3 intervals.
        {{0, 1.1, 1.9, 3}, 13.9 / 14, 0.0, {0, 1, 2, 3}, 1e-15},
        // Decreasing: step -6.1 / 5, 2.6 / 1.22 rounds to 2 intervals.
        {{5, 4.1, 2.4}, -1.22, 0.0, {5, 3.7, 2.4}, 1e-15},
        // Equal neighbours inside a monotonic series are allowed.
        {{0, 0, 2, 3}, 13.0 / 14, 0.0, {0, 1, 2, 3}, 1e-15},
    };
    for (const Irregulier &k : cas) {
        int n = static_cast<int>(k.serie.size());
        double pas = -1;
        double ecart = -1;
        int nval = -1;
        double *t = newtablin(n, k.serie.data(), &pas, &ecart, &nval);
        ASSERT_NE(t, nullptr);
        ASSERT_EQ(nval, static_cast<int>(k.attendu.size()));
        for (int i = 0; i < nval; ++i)
            EXPECT_NEAR(t[i], k.attendu[i], k.tol) << "value " << i << " of " << k.serie[1];
        EXPECT_EQ(t[0], k.serie[0]);
        EXPECT_EQ(t[nval - 1], k.serie[n - 1]);
        if (k.ecart == 0.0 && k.serie == k.attendu) {
            EXPECT_EQ(pas, k.pas);
            EXPECT_EQ(ecart, 0.0);
        }
        deletetab(t);
    }
}

TEST(Irregular, StepAndDeviationOfTheMeasuredCase)
{
    const double x[] = {0, 1.1, 1.9, 3};
    double pas = 0;
    double ecart = 0;
    int nval = 0;
    double *t = newtablin(4, x, &pas, &ecart, &nval);
    EXPECT_DOUBLE_EQ(pas, 13.9 / 14);
    double s = 13.9 / 14;
    double d = (std::pow(1.1 - s, 2) + std::pow(1.9 - 2 * s, 2) + std::pow(3 - 3 * s, 2)) / 4;
    EXPECT_DOUBLE_EQ(ecart, d);
    EXPECT_EQ(nval, 4);
    // Outputs are optional.
    double *u = newtablin(4, x);
    EXPECT_EQ(vecteur(u, 4), vecteur(t, 4));
    deletetab(t);
    deletetab(u);

    const double un[] = {2.5};
    t = newtablin(1, un, &pas, &ecart, &nval);
    EXPECT_EQ(vecteur(t, 1), std::vector<double>{2.5});
    EXPECT_EQ(nval, 1);
    deletetab(t);
}

TEST(Irregular, RefusedSeries)
{
    const double retour[] = {0, 2, 1};
    const double palier[] = {1, 2, 2, 1};
    const double fuite[] = {0, 10, 10, -3};
    const double plat[] = {4, 4, 4};
    const double nan[] = {0, NAN, 2};
    struct {
        int n;
        const double *x;
        std::string message;
    } cas[] = {
        {0, retour, "invalid irregular scale (x0)\n"},
        {-2, retour, "invalid irregular scale (x-2)\n"},
        {3, retour, "invalid irregular scale (not monotonic)\n"},
        // A turn after equal neighbours is still a turn.
        {4, palier, "invalid irregular scale (not monotonic)\n"},
        {4, fuite, "invalid irregular scale (not monotonic)\n"},
        {3, plat, "invalid irregular scale (no step)\n"},
        {3, nan, "invalid irregular scale (no step)\n"},
    };
    for (const auto &k : cas) {
        int nval = 77;
        Capture c;
        double *t = newtablin(k.n, k.x, nullptr, nullptr, &nval);
        Sorties s = c.fin();
        EXPECT_EQ(t, nullptr);
        EXPECT_EQ(s.err, erreur("irregular", k.message));
    }
}

TEST(Irregular, TooManyIntervalsForAnInt)
{
    // All values but the last huddle at the start: the fitted step is tiny
    // against the range, and the interval count passes the int range.
    const int n = 100000;
    std::vector<double> x(n, 0.0);
    x[n - 1] = 1.0;
    Capture c;
    double *t = newtablin(n, x.data());
    Sorties s = c.fin();
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(s.err, erreur("irregular", "invalid irregular scale (too many values)\n"));
}

TEST(Geometric, PowersAndEnds)
{
    double *t = newtablog(3, 1.0, 100.0);
    ASSERT_NE(t, nullptr);
    EXPECT_NEAR(t[0], 1.0, TOL_POW);
    EXPECT_NEAR(t[1], 10.0, 10 * TOL_POW);
    EXPECT_NEAR(t[2], 100.0, 100 * TOL_POW);
    deletetab(t);

    double d[5];
    EXPECT_EQ(newtablog(5, 1e-3, 1e5, d), 0);
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(d[i], std::pow(10.0, -3 + 2 * i), std::pow(10.0, -3 + 2 * i) * TOL_POW);

    double seul[1] = {0};
    newtablog(1, 3.0, 9.0, seul);
    EXPECT_EQ(seul[0], 3.0) << "one value is the start, not 0^0 / 0";

    double intact[1] = {5};
    EXPECT_EQ(newtablog(0, 1.0, 2.0, intact), 0);
    EXPECT_EQ(intact[0], 5);
    double *vide = newtablog(-2, 1.0, 2.0);
    EXPECT_NE(vide, nullptr);
    deletetab(vide);
}

} // namespace
