// SPDX-License-Identifier: GPL-3.0-or-later
// zolmathr: special functions with their process-wide caches, distribution
// functions over arrays, and integer arithmetic.
//
// Scalar functions return ZOLNAN, the quiet NaN with bits
// 0x7FF8000000000000, for an invalid argument, after reporting it through
// zolerreur under their own name. Nothing here allocates except factrotation.
//
// Threads: logfactorial, factorielle, binomial and factrotation fill caches
// that live for the whole process and are not locked; so do the discrete
// distribution functions (poissonfdr, binomialfdr, hypergeofdr) that call
// them. Serialise every use of those. loggamma, betafunction, the continuous
// distribution functions and the integer routines touch no shared state.
#ifndef ZOLMATHR_H
#define ZOLMATHR_H

#include <limits>

// The quiet NaN every routine of this module returns or writes on failure.
constexpr double ZOLNAN = std::numeric_limits<double>::quiet_NaN();

// ---- Constants ------------------------------------------------------------
// Lanczos series of loggamma (gamma = 5, six terms): the offset, the constant
// term and the six coefficients. Each is the double nearest the decimal.
constexpr double ZOL_LANCZOS_DECALAGE = 5.5;
constexpr double ZOL_LANCZOS_C[7] = {1.000000000190015,  76.18009172947146,  -86.50532032941678,
                                     24.01409824083091,  -1.231739572450155, 0.001208650973866179,
                                     -5.395239384953e-06};
// Scale of the series: the double nearest sqrt(2 pi).
constexpr double ZOL_LANCZOS_RAC2PI = 2.5066282746310005;
// Full turn of the rotation factors.
constexpr double ZOL_DEUXPI = 6.283185307179586;
// sqrt(2 pi) of the normal density: the rounded square root of the double
// 2 pi, one unit in the last place below ZOL_LANCZOS_RAC2PI. The densities
// depend on this exact value, so the two are kept apart.
constexpr double ZOL_GAUSS_RAC2PI = 2.5066282746310002;
// pi of the log-normal density.
constexpr double ZOL_PI = 3.141592653589793;

// ---- Special functions ----------------------------------------------------

// ln Gamma(x) for x > 0 by the Lanczos series above; relative error of
// Gamma below 2e-10. No check: x <= 0 gives whatever the logarithm of a
// non-positive value gives (NaN or an infinity).
double loggamma(double x);

// ln(n!). 0 for n = 0 and 1. For 2 <= n <= 100 the value comes from a
// process-wide cache of single-precision floats, filled on first use: about
// 7 significant digits, the same value on every call. Above 100,
// loggamma(n + 1.0) in double, not cached. n < 0: reports "invalide n<0!\n"
// and returns ZOLNAN.
double logfactorial(int n);

// n!. For 0 <= n <= 32 from a process-wide table extended on demand (exact
// up to 22!, then the rounded product of the previous entry); above 32
// exp(loggamma(n + 1.0)), about ten significant digits, infinity beyond
// 170!. n < 0: reports "invalid n<0" (no line break) and returns ZOLNAN.
double factorielle(int n);

// Highest n whose factorial is in the table of factorielle (4 at start,
// never decreasing, at most 32).
int factoriellesommet();

// The binomial coefficient C(n, k) as an integral double:
// floor(exp(logfactorial(n) - logfactorial(k) - logfactorial(n - k)) + 0.5).
// Exact for n <= 21; beyond, the single-precision log-factorials make it
// approximate (binomial(22, 9) is 497419, not 497420). Each negative one of
// n, k and n - k (n - k formed without overflow) reports "invalide n<0!\n"
// under logfactorial, and the result is ZOLNAN.
double binomial(int n, int k);

// B(a, b) = exp(loggamma(a) + loggamma(b) - loggamma(a + b)); no checks.
double betafunction(double a, double b);

// Rotation factors of n points: cosinus[i] = cos(2 pi i / n),
// sinus[i] = sin(2 pi i / n), i = 0..n-1, with the angle formed as
// (i * 2pi) / n in double.
struct ZolRotation {
    const double *cosinus;
    const double *sinus;
};

// The rotation factors of n >= 1 points. The two tables are computed once
// per n and kept in a process-wide cache for the life of the process: the
// caller must neither change nor release them. The record itself is new
// (release it with delete). Null on failure, after a report under
// factrotation:
//   n < 1: "invalid n<1!\n";
//   directories: "memory allocation error 'double*[%d]'" (no line break);
//   tables: "memory allocation error 'double[%d]'!\n";
//   the record: "memory allocation error!\n".
// A failure leaves the cache as it was, usable by later calls.
ZolRotation *factrotation(int n);

// Number of slots of the rotation-factor directories: the largest n asked
// for so far (0 at start).
int factrotationcapacite();

// ---- Distribution functions -----------------------------------------------
// Each evaluates a density or mass function over n inputs: out[i] depends on
// in[i] alone and out may not be shorter than n; n <= 0 processes nothing.
// Parameters are checked first, also for n <= 0: a rejected parameter is
// reported under the routine's name and returns -1 (first parameter tested)
// or -2 (second) with out untouched. A NaN parameter passes the checks.
// Otherwise the result is the number of inputs outside the support for the
// routines that count them, 0 for the others. A NaN input is never outside
// the support: it flows into the formula and gives NaN. out may be the input
// array itself for the continuous members; elements left untouched then keep
// their input value.

// Beta(a, b) on 0 <= x <= 1; outside: out = 0.0, counted.
// "invalid a<=0!\n" -1, "invalid b<=0!\n" -2.
int betafdr(int n, const double *x, double a, double b, double *out);

// Gamma of shape a and scale b on x > 0; outside: untouched, counted.
// "invalid a<=0!\n" -1, "invalid b<=0!\n" -2.
int gammafdr(int n, const double *x, double a, double b, double *out);

// Normal of mean mu and standard deviation sigma; result 0.
// "invalid sigma<=0!\n" -1.
int gaussfdr(int n, const double *x, double mu, double sigma, double *out);

// Exponential of mean mu on x >= 0; outside: out = ZOLNAN, not counted;
// result 0. "invalid mean mu<=0!\n" -1.
int expfdr(int n, const double *x, double mu, double *out);

// Weibull of scale a and shape b on x >= 0 (b == 1 is the exponential of
// mean a); outside: untouched, counted.
// "invalid a<=0!\n" -1, "invalid b<=0!\n" -2.
int weibullfdr(int n, const double *x, double a, double b, double *out);

// Chi-square of nu degrees of freedom; no support test, no check; result 0.
int chi2fdr(int n, const double *x, double nu, double *out);

// Log-normal whose logarithm has mean mu and deviation sigma, on x > 0;
// outside: untouched, counted. No check.
int lognormfdr(int n, const double *x, double mu, double sigma, double *out);

// Rayleigh of parameter sigma on x >= 0; outside: untouched, counted.
// No check.
int rayleighfdr(int n, const double *x, double sigma, double *out);

// Poisson of mean lambda at the ints k. A negative k[i] makes factorielle
// report "invalid n<0" (no line break) and out[i] ZOLNAN; result 0.
int poissonfdr(int n, const int *k, double lambda, double *out);

// Binomial of m trials with success probability p at the ints k. Each
// negative one of m, k[i] and m - k[i] makes logfactorial report
// "invalide n<0!\n" and out[i] ZOLNAN. Counted: the k[i] above m as unsigned
// 32-bit values, that is k[i] < 0 or k[i] > m when m >= 0 (for m < 0 the
// count means nothing). p and m are not checked.
int binomialfdr(int n, const int *k, double p, int m, double *out);

// Hypergeometric: m draws from a population of K successes and M failures,
// at the ints k. Elements outside max(0, m - M) <= k <= min(K, m) are left
// untouched and counted. The total binomial(K + M, m) is computed once, with
// the reports of logfactorial for each negative argument; sums and
// differences are formed without overflow.
int hypergeofdr(int n, const int *k, int K, int M, int m, double *out);

// ---- Integer arithmetic ---------------------------------------------------

// Greatest common divisor of |a| and |b| (Euclid), >= 0; 0 when both are 0.
// The one result that does not fit an int, 2^31 (both arguments in
// {0, -2147483648}, not both 0), reports "gcd 2^31 out of int range!\n" and
// returns -1.
int gcd(int a, int b);

// Signed least common multiple of v[0..n-1]: the elements enter with their
// signs, so lcm(-2, 3) = -6. 0 when n <= 0 or an element is 0. A running
// value that leaves the int range reports "lcm out of int range!\n" and
// returns 0 (lcm(-2147483648) itself fits and is returned).
int lcm(int n, const int *v);

// Smallest prime factor of |n| (|n| itself when prime, 1 for n = +-1), by
// trial division over a built-in table of the 6543 primes up to 65537.
// -2147483648 gives 2. n = 0: the notice "no prime factor for '0'\n" on
// standard output (zolavis) and -1.
int ppfpremier(int n);

// k when v = 2^k, otherwise -1 (negative v included). 0 is no power of two:
// -1, without a report.
int log2exact(int v);

#endif
