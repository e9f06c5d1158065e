// SPDX-License-Identifier: GPL-3.0-or-later
// Thousands of curves in the plot's own lists: the plot knows each once,
// removing all empties it and the legend, the layers draw curves and items
// in order, and a window closed takes its curves. The legend's own
// behaviour is test_legende's.
#include <gtest/gtest.h>

#include "beaucoup.h"

namespace
{

// The loader fills the plot's list of curves its own way: afterwards the
// plot must know each curve once, and its own registering must still work.
TEST_F(Beaucoup, TheLoadedCurvesAreKnownToThePlotOnce)
{
    for (int i = 0; i < p->plottableCount(); ++i)
        ASSERT_TRUE(p->hasPlottable(courbe(i))) << i;
    QCPCurve *seule = new QCPCurve(p->xAxis, p->yAxis);
    EXPECT_EQ(p->plottableCount(), 3001);
    EXPECT_EQ(p->plottable(3000), seule);
    EXPECT_TRUE(p->removePlottable(seule));
    EXPECT_TRUE(p->removePlottable(courbe(0)));
    EXPECT_EQ(p->plottableCount(), 2999);
    EXPECT_EQ(nomDe(p->plottable(0)), "shp[0][1]");
}

TEST_F(Beaucoup, RemovingAllEmptiesThePlotAndTheLegend)
{
    appelle(*v, "removeAllGraphs");
    EXPECT_EQ(p->plottableCount(), 0);
    EXPECT_EQ(p->legend->itemCount(), 0);
    EXPECT_EQ(p->legend->rowCount(), 0);
    // And the legend takes new items from its first row again.
    charge(*v, {carte("trois.shp", 1, 3)});
    legendeSuitLesCourbes(p);
    EXPECT_TRUE(p->legend->visible());
}

// Curves and items are spread over several layers; drawn one after the
// other, they must come in the order of the plot and of the legend, curves
// between the grid and the axes, items over the legend's box.
TEST(Couches, DrawingOrderIsThePlotsAndTheLegends)
{
    auto v = fenetre::nouvelle();
    QCustomPlot *p = fenetre::plot(*v);
    charge(*v, {carte("couches.shp", 1100, 3)}); // 3300 curves
    ASSERT_EQ(p->plottableCount(), 3300);
    Carte::de(p)->faitEntrees();
    std::vector<QCPLayerable *> courbes, items;
    for (int l = 0; l < p->layerCount(); ++l)
        for (QCPLayerable *e : p->layer(l)->children()) {
            if (qobject_cast<QCPAbstractPlottable *>(e))
                courbes.push_back(e);
            else if (qobject_cast<QCPAbstractLegendItem *>(e))
                items.push_back(e);
        }
    ASSERT_EQ(courbes.size(), 3300u);
    ASSERT_EQ(items.size(), 3300u);
    for (int i = 0; i < 3300; ++i) {
        ASSERT_EQ(courbes[i], p->plottable(i)) << i;
        ASSERT_EQ(items[i], p->legend->item(i)) << i;
    }
    const int grille = p->layer("grid")->index(), axes = p->layer("axes")->index();
    const int legende = p->legend->layer()->index();
    for (QCPLayerable *c : courbes)
        ASSERT_TRUE(c->layer()->index() > grille && c->layer()->index() < axes);
    for (QCPLayerable *i : items)
        ASSERT_GT(i->layer()->index(), legende);
}

TEST_F(Beaucoup, WindowClosesWithItsCurves)
{
    // The window's destruction removes the curves itself; the sanitizer build
    // checks that nothing is left or freed twice.
    const std::vector<QPointer<QCPCurve>> courbes = fenetre::suivies(fenetre::plot(*v));
    ASSERT_EQ(courbes.size(), 3000u);
    v.reset();
    EXPECT_EQ(fenetre::restantes(courbes), 0);
}

} // namespace
