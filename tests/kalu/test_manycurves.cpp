// SPDX-License-Identifier: GPL-3.0-or-later
// Thousands of curves: the legend kept by the window (items appended at
// known rows, cleared in one pass, one item taken out on a removal) must
// look and behave as the library's own legend handling would.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture.h"
#include "fenetre.h"
#include "kalucarte.h"
#include "shpwriter.h"

namespace
{

// `records` records of `parts` parts of 3 points each, all of `type`.
std::string carte(const std::string &nom, int records, int parts, int type = 3)
{
    std::vector<shp::Record> recs;
    for (int r = 0; r < records; ++r) {
        shp::Record rec{type, {}};
        for (int p = 0; p < parts; ++p)
            rec.parts.push_back({{r, p}, {r + 0.5, p + 0.5}, {r, p + 1.0}});
        recs.push_back(rec);
    }
    std::string chemin = shp::scratchPath(nom);
    EXPECT_TRUE(shp::write(chemin, shp::file(type, recs)));
    return chemin;
}

using fenetre::charge;

void appelle(KaluView &v, const char *slot)
{
    Capture c;
    EXPECT_TRUE(QMetaObject::invokeMethod(&v, slot));
}

// Legend items in legend order must be exactly the plot's curves in plot
// order, one item each.
void legendeSuitLesCourbes(QCustomPlot *p)
{
    Carte::de(p)->faitEntrees(); // a hidden legend's items are made on demand
    ASSERT_EQ(p->legend->itemCount(), p->plottableCount());
    ASSERT_EQ(p->legend->rowCount(), p->plottableCount());
    for (int i = 0; i < p->plottableCount(); ++i) {
        auto *item = qobject_cast<QCPPlottableLegendItem *>(p->legend->item(i));
        ASSERT_NE(item, nullptr) << i;
        ASSERT_EQ(item->plottable(), p->plottable(i)) << i;
        // The name the item draws, made with the item.
        ASSERT_FALSE(item->plottable()->name().isEmpty()) << i;
        ASSERT_EQ(item->plottable()->name(), nomDe(p->plottable(i))) << i;
    }
}

class Beaucoup : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        charge(*v, {carte("beaucoup.shp", 1000, 3)}); // 3000 curves
        ASSERT_EQ(p->plottableCount(), 3000);
    }

    QCPCurve *courbe(int i) { return qobject_cast<QCPCurve *>(p->plottable(i)); }
    QCPAbstractLegendItem *item(int i)
    {
        Carte::de(p)->faitEntrees();
        return p->legend->item(i);
    }

    std::unique_ptr<KaluView> v = fenetre::nouvelle();
    QCustomPlot *p = fenetre::plot(*v);
};

TEST_F(Beaucoup, OneItemPerCurveInOrderNamedAsTheCurve)
{
    legendeSuitLesCourbes(p);
    EXPECT_EQ(nomDe(p->plottable(0)), "shp[0][0]");
    EXPECT_EQ(nomDe(p->plottable(1)), "shp[0][1]");
    EXPECT_EQ(nomDe(p->plottable(2999)), "shp[999][2]");
    EXPECT_FALSE(p->legend->visible());

    // A second file adds its curves after the first's; its 5 curves decide
    // the legend's visibility.
    charge(*v, {carte("beaucoup.shp", 1000, 3), carte("cinq.shp", 5, 1, 5)});
    ASSERT_EQ(p->plottableCount(), 3005);
    legendeSuitLesCourbes(p);
    EXPECT_EQ(nomDe(p->plottable(3000)), "shp[0][0]");
    EXPECT_TRUE(p->legend->visible());
}

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

TEST_F(Beaucoup, ShownLegendIsLaidOutItemBelowItem)
{
    charge(*v, {carte("beaucoup.shp", 1000, 3), carte("cinq.shp", 5, 1, 5)});
    fenetre::titreCourt(*v);
    v->show();
    ASSERT_TRUE(fenetre::fixeAxisRect(*v, 400, 300));
    p->replot();
    for (int i = 1; i < p->legend->itemCount(); ++i)
        ASSERT_GT(item(i)->outerRect().top(), item(i - 1)->outerRect().top()) << i;
    EXPECT_GT(item(0)->outerRect().width(), 0);
    fenetre::capture(*v, "legende-longue");
}

TEST_F(Beaucoup, TwentyNineShownThirtyHidden)
{
    for (int parts : {30, 29, 30}) {
        appelle(*v, "removeAllGraphs");
        charge(*v, {carte("n.shp", parts, 1)});
        legendeSuitLesCourbes(p);
        EXPECT_EQ(p->legend->visible(), parts < 30) << parts;
    }
}

TEST_F(Beaucoup, SelectingACurveSelectsItsItem)
{
    courbe(150)->setSelection(QCPDataSelection(QCPDataRange(0, 1)));
    appelle(*v, "selectionChanged");
    for (int i = 0; i < 3000; ++i) {
        ASSERT_EQ(item(i)->selected(), i == 150) << i;
        ASSERT_EQ(courbe(i)->selected(), i == 150) << i;
    }
    // The whole curve, not only the clicked segment.
    EXPECT_EQ(courbe(150)->selection(), QCPDataSelection(QCPDataRange(0, 3)));
}

TEST_F(Beaucoup, SelectingAnItemSelectsItsCurve)
{
    item(201)->setSelected(true);
    appelle(*v, "selectionChanged");
    for (int i = 0; i < 3000; ++i) {
        ASSERT_EQ(courbe(i)->selected(), i == 201) << i;
        ASSERT_EQ(item(i)->selected(), i == 201) << i;
    }
}

TEST_F(Beaucoup, RemovingOneTakesItsItemAndKeepsTheOrder)
{
    QCPCurve *partie = courbe(100);
    const QString apres = nomDe(p->plottable(101));
    partie->setSelection(QCPDataSelection(QCPDataRange(0, 3)));
    appelle(*v, "removeSelectedGraph");
    EXPECT_EQ(p->plottableCount(), 2999);
    legendeSuitLesCourbes(p);
    EXPECT_EQ(nomDe(p->plottable(100)), apres);

    // Removing the first and the last as well.
    for (bool premier : {true, false}) {
        const int i = premier ? 0 : p->plottableCount() - 1;
        courbe(i)->setSelection(QCPDataSelection(QCPDataRange(0, 3)));
        appelle(*v, "removeSelectedGraph");
    }
    EXPECT_EQ(p->plottableCount(), 2997);
    legendeSuitLesCourbes(p);
    EXPECT_EQ(nomDe(p->plottable(0)), "shp[0][1]");
    EXPECT_EQ(nomDe(p->plottable(2996)), "shp[999][1]");
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
