// SPDX-License-Identifier: GPL-3.0-or-later
//
// The map's click filter (kaluclic): a click elects the polygon that holds
// the pointer, else the nearest line, and that curve alone is hit; the
// distance it elects by is the library's own (Courbe::distance, a copy of
// QCPCurve::selectTest and pointDistance).
#include <gtest/gtest.h>

#include <cmath>

#include "carte.h"
#include "kalucarte.h"

namespace
{

using namespace fenetre;

// A click goes to the polygon that holds the pointer, though a neighbour
// drawn over it has its edge within the tolerance; away from every ring,
// to the nearest line, though another lies within the tolerance above it.
TEST(Election, AClickSelectsThePolygonItIsIn)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    charge(*v, {shapefile(5,
                          {{5, {{{1, 1}, {1, 2}, {2, 2}, {2, 1}, {1, 1}}}},
                           {5, {{{2, 1}, {2, 2}, {3, 2}, {3, 1}, {2, 1}}}}},
                          "voisins.shp"),
                shapefile(3, {{3, {{{1, 4}, {3, 4}}, {{1, 4.1}, {3, 4.1}}}}}, "paralleles.shp")});
    cadre(*v, QCPRange(0, 10), QCPRange(0, 10)); // 40 px a degree
    const struct {
        double x, y;
        int attendue;
    } clics[] = {{1.95, 1.5, 0}, {2.05, 1.5, 1}, {2, 4.03, 2}, {2, 4.07, 3}};
    for (const auto &c : clics) {
        clic(p, pixel(p, c.x, c.y));
        ASSERT_EQ(p->selectedPlottables().size(), 1) << c.x << ", " << c.y;
        EXPECT_EQ(p->selectedPlottables().first(), p->plottable(c.attendue)) << c.x << ", " << c.y;
        EXPECT_TRUE(sousTitre(*v)->text().startsWith(p->plottable(c.attendue)->name() + "[..]"));
    }
    EXPECT_TRUE(commeLaBibliotheque(*v, p));
}

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

} // namespace
