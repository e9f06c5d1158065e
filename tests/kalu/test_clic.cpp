// SPDX-License-Identifier: GPL-3.0-or-later
//
// The map's click filter (kaluclic): a click elects the polygon that holds
// the pointer, else the nearest line, and that curve alone is hit.
#include <gtest/gtest.h>

#include <utility>

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
        EXPECT_TRUE(sousTitre(*v)->text().startsWith(nomDe(p->plottable(c.attendue)) + "[..]"));
    }
    EXPECT_TRUE(commeLaBibliotheque(*v, p));
}

// A file taken back while a click is being handled (its rename dialog lets
// the load go on): the curves' layer, whose own list the event set aside,
// must let those curves go too, or it keeps curves the map deletes.
TEST(Election, CurvesTakenBackDuringAClickLeaveTheLayer)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    charge(*v, 5,
           {{5, {{{1, 1}, {1, 2}, {2, 2}, {2, 1}, {1, 1}}}},
            {5, {{{2, 1}, {2, 2}, {3, 2}, {3, 1}, {2, 1}}}},
            {5, {{{3, 1}, {3, 2}, {4, 2}, {4, 1}, {3, 1}}}}},
           "trois.shp");
    cadre(*v, QCPRange(0, 10), QCPRange(0, 10));
    QCPAbstractPlottable *gardee = p->plottable(0);
    bool retire = true;
    QObject::connect(p, &QCustomPlot::mousePress, [&] {
        if (std::exchange(retire, false))
            Carte::de(p)->retireDepuis(1);
    });
    clic(p, pixel(p, 2.5, 1.5));
    EXPECT_EQ(p->layer("courbes")->children(), QList<QCPLayerable *>{gardee});
    // the replot the load's end makes
    p->replot();
    EXPECT_TRUE(commeLaBibliotheque(*v, p)); // the library draws the layer's curves
}

} // namespace
