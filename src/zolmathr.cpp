// SPDX-License-Identifier: GPL-3.0-or-later
#include "zolmathr.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <new>

#include "zolconf.h"

static const char ZOLSRC[] = "../src/zolmathr.cpp";

// ===========================================================================
// Special functions
// ===========================================================================

double loggamma(double x)
{
    const double t = x + ZOL_LANCZOS_DECALAGE;
    double ser = ZOL_LANCZOS_C[0];
    // The divisors are x + 1, x + 2, ... formed by successive additions, and
    // the terms summed in this order: the last bits of the result depend on
    // both, and callers compare cached values bit for bit.
    double y = x;
    for (int j = 1; j <= 6; ++j) {
        y += 1.0;
        ser += ZOL_LANCZOS_C[j] / y;
    }
    return std::log((ser * ZOL_LANCZOS_RAC2PI) / x) - (t - (x + 0.5) * std::log(t));
}

// Log-factorials of 2..100 kept in single precision, 0.0 meaning "not yet".
static float cachelogfact[101];

// logfactorial over 64-bit arguments, so that binomial can pass n - k
// without overflow; the reports name logfactorial, the public operation.
static double logfact64(long long n)
{
    if (n < 0) {
        zolerreur(ZOLSRC, "logfactorial", nullptr, "invalide n<0!\n");
        return ZOLNAN;
    }
    if (n <= 1)
        return 0.0;
    if (n > 100)
        return loggamma(static_cast<double>(n) + 1.0);
    if (cachelogfact[n] == 0.0f)
        cachelogfact[n] = static_cast<float>(loggamma(static_cast<double>(n) + 1.0));
    return cachelogfact[n];
}

double logfactorial(int n)
{
    return logfact64(n);
}

static double tablefact[33] = {1.0, 1.0, 2.0, 6.0, 24.0};
static int sommetfact = 4;

double factorielle(int n)
{
    if (n < 0) {
        zolerreur(ZOLSRC, "factorielle", nullptr, "invalid n<0");
        return ZOLNAN;
    }
    if (n > 32)
        return std::exp(loggamma(n + 1.0));
    for (int j = sommetfact + 1; j <= n; ++j)
        tablefact[j] = tablefact[j - 1] * j;
    if (n > sommetfact)
        sommetfact = n;
    return tablefact[n];
}

int factoriellesommet()
{
    return sommetfact;
}

static double binomial64(long long n, long long k)
{
    const double l = logfact64(n) - logfact64(k) - logfact64(n - k);
    if (std::isnan(l))
        return ZOLNAN;
    return std::floor(std::exp(l) + 0.5);
}

double binomial(int n, int k)
{
    return binomial64(n, k);
}

double betafunction(double a, double b)
{
    return std::exp(loggamma(a) + loggamma(b) - loggamma(a + b));
}

// Rotation-factor cache: slot n-1 of each directory holds the table for n
// points once computed, in both directories or in neither; both directories
// always have `capacite` slots.
static double **repcos = nullptr;
static double **repsin = nullptr;
static int capacite = 0;

// Grows both directories to n slots. The old ones stay in place until both
// new ones exist, so a failed allocation leaves the cache as it was.
static int agranditrep(int n)
{
    double **ncos = new (std::nothrow) double *[n];
    double **nsin = ncos ? new (std::nothrow) double *[n] : nullptr;
    if (nsin == nullptr) {
        delete[] ncos;
        zolerreur(ZOLSRC, "factrotation", nullptr, "memory allocation error 'double*[%d]'", n);
        return -1;
    }
    for (int i = 0; i < n; ++i) {
        ncos[i] = i < capacite ? repcos[i] : nullptr;
        nsin[i] = i < capacite ? repsin[i] : nullptr;
    }
    delete[] repcos;
    delete[] repsin;
    repcos = ncos;
    repsin = nsin;
    capacite = n;
    return 0;
}

// Computes the two tables of n points into slot n-1, both or neither.
static int remplitrotation(int n)
{
    double *c = new (std::nothrow) double[n];
    double *s = c ? new (std::nothrow) double[n] : nullptr;
    if (s == nullptr) {
        delete[] c;
        zolerreur(ZOLSRC, "factrotation", nullptr, "memory allocation error 'double[%d]'!\n", n);
        return -1;
    }
    const double dn = n;
    for (int i = 0; i < n; ++i) {
        const double theta = (i * ZOL_DEUXPI) / dn;
        c[i] = std::cos(theta);
        s[i] = std::sin(theta);
    }
    repcos[n - 1] = c;
    repsin[n - 1] = s;
    return 0;
}

ZolRotation *factrotation(int n)
{
    if (n < 1) {
        zolerreur(ZOLSRC, "factrotation", nullptr, "invalid n<1!\n");
        return nullptr;
    }
    if (n > capacite && agranditrep(n) < 0)
        return nullptr;
    // The record first: its failure must not leave half a result behind.
    ZolRotation *r = new (std::nothrow) ZolRotation;
    if (r == nullptr) {
        zolerreur(ZOLSRC, "factrotation", nullptr, "memory allocation error!\n");
        return nullptr;
    }
    if (repcos[n - 1] == nullptr && remplitrotation(n) < 0) {
        delete r;
        return nullptr;
    }
    r->cosinus = repcos[n - 1];
    r->sinus = repsin[n - 1];
    return r;
}

int factrotationcapacite()
{
    return capacite;
}

// ===========================================================================
// Distribution functions
// ===========================================================================

// Reports a rejected parameter and returns its code.
static int rejette(const char *fonction, const char *message, int code)
{
    zolerreur(ZOLSRC, fonction, nullptr, "%s", message);
    return code;
}

int betafdr(int n, const double *x, double a, double b, double *out)
{
    if (a <= 0)
        return rejette("betafdr", "invalid a<=0!\n", -1);
    if (b <= 0)
        return rejette("betafdr", "invalid b<=0!\n", -2);
    const double c = 1.0 / std::exp(loggamma(a) + loggamma(b) - loggamma(a + b));
    int hors = 0;
    for (int i = 0; i < n; ++i) {
        if (x[i] < 0.0 || x[i] > 1.0) {
            out[i] = 0.0;
            ++hors;
        } else {
            out[i] = (std::pow(x[i], a - 1) * c) * std::pow(1 - x[i], b - 1);
        }
    }
    return hors;
}

int gammafdr(int n, const double *x, double a, double b, double *out)
{
    if (a <= 0)
        return rejette("gammafdr", "invalid a<=0!\n", -1);
    if (b <= 0)
        return rejette("gammafdr", "invalid b<=0!\n", -2);
    const double g = std::exp(loggamma(a));
    const double c = 1.0 / (g * std::pow(b, a));
    int hors = 0;
    for (int i = 0; i < n; ++i) {
        if (x[i] <= 0.0)
            ++hors;
        else
            out[i] = (std::pow(x[i], a - 1) * c) * std::exp(-x[i] / b);
    }
    return hors;
}

int gaussfdr(int n, const double *x, double mu, double sigma, double *out)
{
    if (sigma <= 0)
        return rejette("gaussfdr", "invalid sigma<=0!\n", -1);
    const double w = (sigma + sigma) * sigma;
    const double c = 1.0 / (ZOL_GAUSS_RAC2PI * sigma);
    for (int i = 0; i < n; ++i)
        out[i] = std::exp(-(x[i] - mu) * (x[i] - mu) / w) * c;
    return 0;
}

int expfdr(int n, const double *x, double mu, double *out)
{
    if (mu <= 0)
        return rejette("expfdr", "invalid mean mu<=0!\n", -1);
    const double r = 1.0 / mu;
    for (int i = 0; i < n; ++i)
        out[i] = x[i] < 0.0 ? ZOLNAN : std::exp(x[i] * (-r)) * r;
    return 0;
}

int weibullfdr(int n, const double *x, double a, double b, double *out)
{
    if (a <= 0)
        return rejette("weibullfdr", "invalid a<=0!\n", -1);
    if (b <= 0)
        return rejette("weibullfdr", "invalid b<=0!\n", -2);
    // Shape 1 is the exponential density: spare the pow calls.
    const bool expo = b == 1.0;
    const double r = expo ? 1.0 / a : 0.0;
    const double c = expo ? 0.0 : b / std::pow(a, b);
    int hors = 0;
    for (int i = 0; i < n; ++i) {
        if (x[i] < 0.0)
            ++hors;
        else if (expo)
            out[i] = std::exp(-x[i] / a) * r;
        else
            out[i] = (std::pow(x[i], b - 1) * c) * std::exp(-std::pow(x[i] / a, b));
    }
    return hors;
}

int chi2fdr(int n, const double *x, double nu, double *out)
{
    const double h = nu * 0.5;
    const double g = std::exp(loggamma(h));
    const double c = 1.0 / (g + g);
    for (int i = 0; i < n; ++i) {
        const double e = x[i] * 0.5;
        out[i] = (std::pow(e, h - 1) * c) * std::exp(-e);
    }
    return 0;
}

int lognormfdr(int n, const double *x, double mu, double sigma, double *out)
{
    const double w = (sigma * sigma) + (sigma * sigma);
    const double c = 1.0 / std::sqrt(ZOL_PI * w);
    int hors = 0;
    for (int i = 0; i < n; ++i) {
        if (x[i] <= 0.0) {
            ++hors;
        } else {
            const double d = std::log(x[i]) - mu;
            out[i] = (c / x[i]) * std::exp(-(d * d) / w);
        }
    }
    return hors;
}

int rayleighfdr(int n, const double *x, double sigma, double *out)
{
    const double q = sigma * sigma;
    const double w = q + q;
    int hors = 0;
    for (int i = 0; i < n; ++i) {
        if (x[i] < 0.0)
            ++hors;
        else
            out[i] = (x[i] / q) * std::exp(-(x[i] * x[i]) / w);
    }
    return hors;
}

int poissonfdr(int n, const int *k, double lambda, double *out)
{
    const double e = std::exp(-lambda);
    for (int i = 0; i < n; ++i)
        out[i] = (std::pow(lambda, k[i]) / factorielle(k[i])) * e;
    return 0;
}

int binomialfdr(int n, const int *k, double p, int m, double *out)
{
    int hors = 0;
    for (int i = 0; i < n; ++i) {
        if (static_cast<uint32_t>(k[i]) > static_cast<uint32_t>(m))
            ++hors;
        const long long reste = static_cast<long long>(m) - k[i];
        out[i] =
            (std::pow(p, k[i]) * binomial64(m, k[i])) * std::pow(1 - p, static_cast<double>(reste));
    }
    return hors;
}

int hypergeofdr(int n, const int *k, int K, int M, int m, double *out)
{
    const double total = binomial64(static_cast<long long>(K) + M, m);
    const long long bas = std::max(0LL, static_cast<long long>(m) - M);
    const long long haut = std::min(K, m);
    int hors = 0;
    for (int i = 0; i < n; ++i) {
        if (k[i] < bas || k[i] > haut)
            ++hors;
        else
            out[i] =
                (binomial64(M, static_cast<long long>(m) - k[i]) * binomial64(K, k[i])) / total;
    }
    return hors;
}

// ===========================================================================
// Integer arithmetic
// ===========================================================================

// Magnitude of an int, defined for the most negative one too.
static uint32_t magnitude(int v)
{
    return v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
}

// Euclid on magnitudes: the larger of the two when the smaller is 0.
static uint32_t euclide(uint32_t a, uint32_t b)
{
    uint32_t s = a < b ? a : b;
    uint32_t l = a < b ? b : a;
    while (s != 0) {
        const uint32_t r = l % s;
        l = s;
        s = r;
    }
    return l;
}

int gcd(int a, int b)
{
    const uint32_t g = euclide(magnitude(a), magnitude(b));
    if (g > static_cast<uint32_t>(INT_MAX)) {
        zolerreur(ZOLSRC, "gcd", nullptr, "gcd 2^31 out of int range!\n");
        return -1;
    }
    return static_cast<int>(g);
}

int lcm(int n, const int *v)
{
    if (n <= 0)
        return 0;
    // The running value is kept in 64 bits: the product of two 32-bit
    // magnitudes cannot overflow it, and the range test is then defined.
    long long r = 1;
    for (int i = 0; i < n; ++i) {
        const uint32_t g = euclide(magnitude(static_cast<int>(r)), magnitude(v[i]));
        if (g == 0)
            return 0;
        r = (r / g) * v[i];
        if (r < INT_MIN || r > INT_MAX) {
            zolerreur(ZOLSRC, "lcm", nullptr, "lcm out of int range!\n");
            return 0;
        }
    }
    return static_cast<int>(r);
}

// The primes up to 65537, computed by the compiler (sieve of Eratosthenes).
static constexpr int NPREMIERS = 6543;

static constexpr std::array<int, NPREMIERS> cribleprimes()
{
    constexpr int borne = 65537;
    std::array<bool, borne + 1> compose{};
    std::array<int, NPREMIERS> p{};
    int k = 0;
    for (int i = 2; i <= borne; ++i) {
        if (compose[i])
            continue;
        p[k++] = i;
        for (long j = static_cast<long>(i) * i; j <= borne; j += i)
            compose[j] = true;
    }
    return p;
}

static constexpr std::array<int, NPREMIERS> PREMIERS = cribleprimes();
static_assert(PREMIERS[0] == 2 && PREMIERS[NPREMIERS - 2] == 65521 &&
                  PREMIERS[NPREMIERS - 1] == 65537,
              "prime table: every prime below 65536, then 65537");

int ppfpremier(int n)
{
    if (n == 0) {
        zolavis(ZOLSRC, "ppfpremier", nullptr, "no prime factor for '%d'\n", n);
        return -1;
    }
    const uint32_t m = magnitude(n);
    if (m == 1)
        return 1;
    const double racine = std::sqrt(static_cast<double>(m));
    for (int p : PREMIERS) {
        if (p > racine)
            return static_cast<int>(m);
        if (m % static_cast<uint32_t>(p) == 0)
            return p;
    }
    return -1;
}

int log2exact(int v)
{
    if (v == 0)
        return -1;
    int k = 0;
    while (v % 2 == 0) {
        v /= 2;
        ++k;
    }
    return v == 1 ? k : -1;
}
