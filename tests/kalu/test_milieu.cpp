// SPDX-License-Identifier: GPL-3.0-or-later
//
// The height a huge polygon is cut at (kalumilieu): the one the raster
// engine's sort puts in the middle, for the heights a map gives and those
// that make counting boxes go wrong: all within one box, negative, both
// zeros, many equal.
#include <gtest/gtest.h>

#include <QPointF>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "kalumilieu.h"

namespace
{

double parLeTri(const std::vector<QPointF> &p)
{
    std::vector<double> y;
    for (const QPointF &q : p)
        y.push_back(q.y());
    std::sort(y.begin(), y.end());
    return y[y.size() / 2];
}

std::vector<QPointF> hauteurs(size_t n, const std::function<double(size_t)> &h)
{
    std::vector<QPointF> p;
    for (size_t i = 0; i < n; ++i)
        p.emplace_back(double(i), h(i));
    return p;
}

TEST(Milieu, IsTheSortsMiddleHeight)
{
    std::mt19937_64 hasard(43);
    std::uniform_real_distribution<double> large(-5000, 5000), etroit(300, 300.5);
    std::uniform_int_distribution<int> rangees(0, 11);
    struct Cas {
        const char *nom;
        size_t n;
        std::function<double(size_t)> h;
    } cas[] = {
        {"a coast in device pixels", 200001,
         [&](size_t i) { return 250 + 40 * std::sin(i * 1e-3); }},
        {"heights spread wide, of both signs", 150000, [&](size_t) { return large(hasard); }},
        // The first boxes hold every height: the count goes down to the
        // last bits.
        {"heights within half a pixel", 180000, [&](size_t) { return etroit(hasard); }},
        {"a dozen rows, many equal", 99999, [&](size_t) { return 0.5 * rangees(hasard); }},
        {"both zeros and a few others", 70001,
         [&](size_t i) {
             return i % 3 == 0 ? -0.0 : i % 3 == 1 ? 0.0 : (i % 2 ? -1e-300 : 1e-300);
         }},
        {"negative heights only", 65537, [&](size_t i) { return -double(i % 977) - 0.25; }},
        {"one height", 1, [](size_t) { return 7.5; }},
        {"two heights", 2, [](size_t i) { return i ? -2.0 : 3.0; }},
        {"the infinities", 5000,
         [](size_t i) {
             return i % 4 == 0   ? std::numeric_limits<double>::infinity()
                    : i % 4 == 1 ? -std::numeric_limits<double>::infinity()
                                 : double(i);
         }},
    };
    for (const Cas &c : cas) {
        const std::vector<QPointF> p = hauteurs(c.n, c.h);
        const double attendu = parLeTri(p), trouve = milieu(p.data(), int(p.size()));
        // -0 and +0 compare equal: either is the sort's middle.
        EXPECT_EQ(attendu, trouve) << c.nom;
    }
}

// A NaN height has no place in an order: the value is that of a selection
// among the heights, one of them, and nothing reads beyond the points.
TEST(Milieu, ANanHeightGivesOneOfTheHeights)
{
    std::vector<QPointF> p = hauteurs(70000, [](size_t i) { return double(i % 1000); });
    p[123].setY(std::nan(""));
    const double m = milieu(p.data(), int(p.size()));
    EXPECT_TRUE(std::any_of(p.begin(), p.end(), [m](const QPointF &q) { return q.y() == m; }));
}

} // namespace
