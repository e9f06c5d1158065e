// SPDX-License-Identifier: GPL-3.0-or-later
// The legend kept for thousands of curves (items appended at known rows,
// cleared in one pass, one item taken out on a removal, made only when
// shown or asked) must look and behave as the library's own legend
// handling would.
#include <gtest/gtest.h>

#include "beaucoup.h"

namespace
{

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

} // namespace
