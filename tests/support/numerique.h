// SPDX-License-Identifier: GPL-3.0-or-later
// Shared helpers of the numerical tests: bit patterns and named tolerances.
#ifndef KALU_TEST_NUMERIQUE_H
#define KALU_TEST_NUMERIQUE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

inline uint64_t bitsde(double d)
{
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

constexpr uint64_t BITS_NAN = 0x7FF8000000000000ULL;

// Tolerance tiers, relative to max(1, |expected|). Each names where the
// error comes from, so a failing row says which promise was broken.
constexpr double TOL_EXACT = 0.0;           // bit for bit (compared as values)
constexpr double TOL_DOUBLE = 4e-16;        // a few roundings in double
constexpr double TOL_SINGLE = 6e-8;         // the single-precision log-factorial cache (2^-24)
constexpr double TOL_BINOMIAL_CACHE = 5e-5; // binomial(n <= 100, k) from the float cache
constexpr double TOL_LANCZOS = 2e-10;       // the six-term Lanczos series
constexpr double TOL_FACT33 = 2e-10;        // factorials above 32! through exp(loggamma)
// Simpson's rule on 400001 points, tails cut below 1e-12: measured at most
// 4.9e-12 (chi-square, gamma: the Lanczos normalisation shows).
constexpr double TOL_QUADRATURE = 1e-10;

inline bool proche(double valeur, double attendu, double tol)
{
    if (tol == TOL_EXACT)
        return valeur == attendu;
    return std::fabs(valeur - attendu) <= tol * std::max(1.0, std::fabs(attendu));
}

#endif
