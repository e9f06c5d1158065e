// SPDX-License-Identifier: GPL-3.0-or-later
//
// A curve's hit test (kalucourbe): inside a filled ring by the even-odd
// rule, with the ring's vertex nearest the click as the clicked point;
// elsewhere the library's own distance (Courbe::distance, a copy of
// QCPCurve::selectTest and pointDistance), bit for bit.
#include <gtest/gtest.h>

#include <cmath>

#include "carte.h"
#include "kalucarte.h"

namespace
{

using namespace fenetre;

// Near a line of many points, some beyond the view, the curve's distance
// and clicked point are the library's own, bit for bit, wherever the map
// measures at all (within the selection tolerance of the curve's box).
TEST(Distance, TheCurvesDistanceIsTheLibrarys)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    shp::Part ligne;
    for (int i = 0; i <= 400; ++i)
        ligne.push_back({-2 + i * 0.035, 5 + 3 * std::sin(i * 0.11) + (i % 7) * 0.05});
    charge(*v, 3, {{3, {ligne}}}, "distance.shp");
    cadre(*v, QCPRange(0, 10), QCPRange(0, 10), 401, 299);
    const Courbe *c = static_cast<const Courbe *>(p->plottable(0));
    int mesures = 0, ecarts = 0;
    const QRect r = p->axisRect()->rect();
    for (int y = r.top(); y <= r.bottom(); y += 3)
        for (int x = r.left(); x <= r.right(); x += 3) {
            const QPointF pos(x + 0.25, y + 0.5);
            QVariant nous, eux;
            const double d = c->mesure(pos, false, &nous);
            if (d < 0)
                continue;
            ++mesures;
            const double attendue = c->QCPCurve::selectTest(pos, false, &eux);
            ecarts +=
                d != attendue || nous.value<QCPDataSelection>() != eux.value<QCPDataSelection>();
        }
    EXPECT_GT(mesures, 1000);
    EXPECT_EQ(ecarts, 0) << "of " << mesures;
}

// A ring with a hole (one part around another, as a shapefile keeps a
// lake): a click in the ring hits it at distance 0 with its nearest vertex,
// one in the hole does not, and one just beyond the outer edge measures the
// distance to it.
TEST(Anneau, AClickInsideTheRingHitsItAndTheHoleDoesNot)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    charge(
        *v, 5,
        {{5, {{{1, 1}, {1, 9}, {9, 9}, {9, 1}, {1, 1}, {3, 3}, {7, 3}, {7, 7}, {3, 7}, {3, 3}}}}},
        "anneau.shp");
    cadre(*v, QCPRange(0, 10), QCPRange(0, 10));
    const Courbe *c = static_cast<const Courbe *>(p->plottable(0));
    QVariant details;
    EXPECT_EQ(c->mesure(pixel(p, 2, 8.5), false, &details), 0);
    EXPECT_EQ(details.value<QCPDataSelection>(), QCPDataSelection(QCPDataRange(1, 2)))
        << "the vertex nearest (2, 8.5) is (1, 9)";
    const double trou = c->mesure(pixel(p, 5, 5), false, nullptr);
    EXPECT_NE(trou, 0) << "the hole holds the click";
    const double dehors = c->mesure(QPointF(pixel(p, 9, 5)) + QPointF(3, 0), false, nullptr);
    EXPECT_NEAR(dehors, 3, 0.5);
}

} // namespace
