// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalumilieu.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace
{

const int BITS_PAR_BOITE = 16;
const uint64_t BOITES = uint64_t(1) << BITS_PAR_BOITE;
// Few enough keys left to select from at once.
const size_t PEU = 4096;

// A height's bits as a number of the same order: the sign bit set for
// positive heights, every bit flipped for negative ones (-0 then comes just
// before +0, which compare equal: either is the sort's middle).
uint64_t cle(double h)
{
    uint64_t u;
    std::memcpy(&u, &h, sizeof u);
    return u >> 63 ? ~u : u | uint64_t(1) << 63;
}

double hauteur(uint64_t c)
{
    const uint64_t u = c >> 63 ? c & ~(uint64_t(1) << 63) : ~c;
    double h;
    std::memcpy(&h, &u, sizeof h);
    return h;
}

// Kept by each thread: the keys and the boxes they are counted in.
struct Comptes {
    std::vector<uint64_t> cles;
    std::vector<uint32_t> boites = std::vector<uint32_t>(BOITES);
};
thread_local Comptes comptes;

// In the boxes counted, the one that holds the key of rank `rang`, and
// `rang` made its rank within that box.
uint64_t boiteDu(size_t &rang)
{
    const std::vector<uint32_t> &b = comptes.boites;
    uint64_t k = 0;
    while (rang >= b[k])
        rang -= b[k++];
    return k;
}

uint64_t boiteDe(uint64_t c, int decalage)
{
    return (c >> decalage) & (BOITES - 1);
}

// Keeps at the front of the `n` keys those of box `k`: their number.
size_t garde(uint64_t *c, size_t n, int decalage, uint64_t k)
{
    size_t m = 0;
    for (size_t i = 0; i < n; ++i)
        if (boiteDe(c[i], decalage) == k)
            c[m++] = c[i];
    return m;
}

double parSelection(const QPointF *points, int n)
{
    std::vector<double> y(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        y[size_t(i)] = points[i].y();
    std::nth_element(y.begin(), y.begin() + n / 2, y.end());
    return y[size_t(n / 2)];
}

} // namespace

double milieu(const QPointF *points, int n)
{
    std::vector<uint64_t> &c = comptes.cles;
    std::vector<uint32_t> &b = comptes.boites;
    c.resize(size_t(n));
    std::fill(b.begin(), b.end(), 0);
    int decalage = 64 - BITS_PAR_BOITE;
    bool nan = false;
    for (int i = 0; i < n; ++i) {
        const double h = points[i].y();
        nan |= std::isnan(h);
        c[size_t(i)] = cle(h);
        ++b[boiteDe(c[size_t(i)], decalage)];
    }
    if (nan)
        return parSelection(points, n);
    size_t rang = size_t(n / 2);
    size_t m = garde(c.data(), size_t(n), decalage, boiteDu(rang));
    while (m > PEU && decalage > 0) {
        decalage -= BITS_PAR_BOITE;
        std::fill(b.begin(), b.end(), 0);
        for (size_t i = 0; i < m; ++i)
            ++b[boiteDe(c[i], decalage)];
        m = garde(c.data(), m, decalage, boiteDu(rang));
    }
    std::nth_element(c.begin(), c.begin() + std::ptrdiff_t(rang), c.begin() + std::ptrdiff_t(m));
    return hauteur(c[rang]);
}
