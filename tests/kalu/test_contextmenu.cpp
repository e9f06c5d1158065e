// SPDX-License-Identifier: GPL-3.0-or-later
// The right-click menu: what it offers where, the legend's five places and
// the removal of shapes. The menu is requested as the platform does on a
// right-click and its entries are chosen by clicking them.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "carte.h"

namespace
{

const QStringList PLACES = {"Move to top left", "Move to top center", "Move to top right",
                            "Move to bottom right", "Move to bottom left"};

class Menu : public fenetre::PetiteCarte
{
  protected:
    // Right-clicks at `pos` and returns the menu that popped up.
    QMenu *menuEn(QPoint pos)
    {
        fenetre::clicDroit(p, pos);
        QMenu *m = fenetre::menuOuvert();
        EXPECT_NE(m, nullptr);
        return m;
    }

    QStringList noms()
    {
        QStringList n;
        for (int i = 0; i < p->plottableCount(); ++i)
            n << nomDe(p->plottable(i));
        return n;
    }
};

TEST_F(Menu, OnTheLegendOnlyTheFivePlaces)
{
    fenetre::clic(p, fenetre::pixel(p, 2, 1));
    ASSERT_EQ(p->selectedPlottables().size(), 1);

    QMenu *m = menuEn(fenetre::pixelLegende(p, 0));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(fenetre::textes(m), PLACES);
    QList<int> donnees;
    for (QAction *a : m->actions())
        donnees << a->data().toInt();
    EXPECT_EQ(donnees, (QList<int>{33, 36, 34, 66, 65}));
    EXPECT_EQ(m->parentWidget(), v.get());
    EXPECT_TRUE(m->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_TRUE(fenetre::fermeEtDetruit(m));

    // The legend's border is the legend too.
    m = menuEn(p->legend->outerRect().topLeft() + QPoint(2, 2));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(fenetre::textes(m), PLACES);
    EXPECT_TRUE(fenetre::fermeEtDetruit(m));
}

TEST_F(Menu, ElsewhereTheRemovalsThatApply)
{
    QMenu *m = menuEn(vide());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(fenetre::textes(m), QStringList{"Remove all shapes"});
    EXPECT_TRUE(fenetre::fermeEtDetruit(m));

    fenetre::clic(p, fenetre::pixelLegende(p, 2));
    m = menuEn(vide());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(fenetre::textes(m), (QStringList{"Remove selected shape", "Remove all shapes"}));
    EXPECT_TRUE(fenetre::fermeEtDetruit(m));
}

TEST_F(Menu, EachRequestHasItsOwnMenu)
{
    QPointer<QMenu> premier = menuEn(vide());
    premier->close();
    QPointer<QMenu> second = menuEn(vide());
    ASSERT_FALSE(second.isNull());
    EXPECT_NE(premier.data(), second.data());
    EXPECT_TRUE(fenetre::fermeEtDetruit(second));
    EXPECT_TRUE(premier.isNull());
}

TEST(MenuVide, AnEmptyPlotPopsUpAnEmptyMenu)
{
    auto v = fenetre::nouvelle();
    QCustomPlot *p = fenetre::plot(*v);
    fenetre::cadre(*v, QCPRange(0, 10), QCPRange(0, 10));
    ASSERT_FALSE(p->legend->visible());

    fenetre::clicDroit(p, fenetre::pixel(p, 5, 5));
    QMenu *m = fenetre::menuOuvert();
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(m->actions().isEmpty());
    EXPECT_TRUE(fenetre::fermeEtDetruit(m));

    // Where the hidden legend sits, nothing is offered either. A hidden
    // legend is not laid out: show it once so that it has its place.
    p->legend->setVisible(true);
    p->replot();
    p->legend->setVisible(false);
    const QPoint coin = p->axisRect()->rect().topRight() + QPoint(-12, 12);
    ASSERT_GE(p->legend->selectTest(coin, false), 0);
    fenetre::clicDroit(p, coin);
    m = fenetre::menuOuvert();
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(m->actions().isEmpty());
    EXPECT_TRUE(fenetre::fermeEtDetruit(m));
}

// ---- Legend places -------------------------------------------------------

TEST_F(Menu, EachPlaceMovesTheLegendAndRedraws)
{
    const Qt::Alignment attendu[] = {Qt::AlignTop | Qt::AlignLeft, Qt::AlignTop | Qt::AlignHCenter,
                                     Qt::AlignTop | Qt::AlignRight,
                                     Qt::AlignBottom | Qt::AlignRight,
                                     Qt::AlignBottom | Qt::AlignLeft};
    QCPLayoutInset *inset = p->axisRect()->insetLayout();
    for (int i = 0; i < PLACES.size(); ++i) {
        SCOPED_TRACE(PLACES[i].toStdString());
        QSignalSpy redessins(p, &QCustomPlot::afterReplot);
        QPointer<QMenu> m = menuEn(fenetre::pixelLegende(p, 0));
        ASSERT_TRUE(fenetre::choisit(m, PLACES[i]));
        EXPECT_EQ(inset->insetAlignment(0), attendu[i]);
        EXPECT_EQ(redessins.count(), 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(m.isNull());

        // Drawn where it was told to go, inside the axis rectangle.
        const QRect a = p->axisRect()->rect(), l = p->legend->outerRect();
        EXPECT_TRUE(a.contains(l));
        const int gauche = l.left() - a.left(), droite = a.right() - l.right();
        const int haut = l.top() - a.top(), bas = a.bottom() - l.bottom();
        if (attendu[i] & Qt::AlignTop)
            EXPECT_LT(haut, bas);
        else
            EXPECT_GT(haut, bas);
        if (attendu[i] & Qt::AlignLeft)
            EXPECT_LT(gauche, droite);
        else if (attendu[i] & Qt::AlignRight)
            EXPECT_GT(gauche, droite);
        else
            EXPECT_LE(std::abs(gauche - droite), 1);
    }
}

TEST_F(Menu, MoveLegendNeedsAnActionHoldingAnInteger)
{
    // A legend entry of the menu, its data changed under it.
    QMenu *m = menuEn(fenetre::pixelLegende(p, 0));
    ASSERT_NE(m, nullptr);
    QApplication::processEvents();
    QCPLayoutInset *inset = p->axisRect()->insetLayout();
    const Qt::Alignment avant = inset->insetAlignment(0);
    QSignalSpy redessins(p, &QCustomPlot::afterReplot);

    ASSERT_TRUE(QMetaObject::invokeMethod(v.get(), "moveLegend"));
    QAction *entree = m->actions().last();
    entree->setData("haut");
    entree->trigger();
    EXPECT_EQ(inset->insetAlignment(0), avant);
    EXPECT_EQ(redessins.count(), 0);

    entree->setData(int(Qt::AlignBottom | Qt::AlignHCenter));
    entree->trigger();
    EXPECT_EQ(inset->insetAlignment(0), Qt::AlignBottom | Qt::AlignHCenter);
    EXPECT_EQ(redessins.count(), 1);
    EXPECT_TRUE(fenetre::fermeEtDetruit(m));
}

// ---- Removal -----------------------------------------------------------

TEST_F(Menu, RemoveSelectedTakesThatCurveAndItsLegendItemOnly)
{
    fenetre::clic(p, fenetre::pixelLegende(p, 1));
    QApplication::processEvents();
    const QCPRange x = p->xAxis->range(), y = p->yAxis->range();
    QSignalSpy redessins(p, &QCustomPlot::afterReplot);

    ASSERT_TRUE(fenetre::choisit(menuEn(vide()), "Remove selected shape"));
    EXPECT_EQ(noms(), (QStringList{"shp[0][0]", "shp[1][1]"}));
    ASSERT_EQ(p->legend->itemCount(), 2);
    EXPECT_EQ(p->legend->itemWithPlottable(p->plottable(1)), p->legend->item(1));
    EXPECT_EQ(p->xAxis->range(), x);
    EXPECT_EQ(p->yAxis->range(), y);
    EXPECT_EQ(redessins.count(), 1);
}

TEST_F(Menu, RemoveSelectedTakesTheFirstSelectedOnly)
{
    // The plot lets a user select one curve; a program may select several.
    courbe(0)->setSelection(QCPDataSelection(QCPDataRange(0, 3)));
    courbe(2)->setSelection(QCPDataSelection(QCPDataRange(0, 3)));
    ASSERT_TRUE(QMetaObject::invokeMethod(v.get(), "removeSelectedGraph"));
    EXPECT_EQ(noms(), (QStringList{"shp[1][0]", "shp[1][1]"}));
    EXPECT_EQ(p->legend->itemCount(), 2);
    EXPECT_TRUE(courbe(1)->selected());

    // With nothing selected: nothing removed, nothing redrawn.
    courbe(1)->setSelection(QCPDataSelection());
    QSignalSpy redessins(p, &QCustomPlot::afterReplot);
    ASSERT_TRUE(QMetaObject::invokeMethod(v.get(), "removeSelectedGraph"));
    EXPECT_EQ(p->plottableCount(), 2);
    EXPECT_EQ(redessins.count(), 0);
}

TEST_F(Menu, RemoveAllEmptiesPlotAndLegendKeepsRangesAndTitles)
{
    fenetre::clic(p, fenetre::pixel(p, 2, 1)); // a read-out in the sub-title
    const QString titre = fenetre::titre(*v)->text(), sousTitre = fenetre::sousTitre(*v)->text();
    ASSERT_EQ(sousTitre, "shp[0][0][..][1] = (2, 1)");
    p->xAxis->setRange(0, 12);
    p->yAxis->setRange(-1, 11);
    QApplication::processEvents();
    QSignalSpy redessins(p, &QCustomPlot::afterReplot);

    ASSERT_TRUE(fenetre::choisit(menuEn(vide()), "Remove all shapes"));
    EXPECT_EQ(p->plottableCount(), 0);
    EXPECT_EQ(p->legend->itemCount(), 0);
    EXPECT_EQ(p->xAxis->range(), QCPRange(0, 12));
    EXPECT_EQ(p->yAxis->range(), QCPRange(-1, 11));
    EXPECT_EQ(fenetre::titre(*v)->text(), titre);
    EXPECT_EQ(fenetre::sousTitre(*v)->text(), sousTitre);
    EXPECT_EQ(redessins.count(), 1);

    // Nothing left to remove: an empty menu, yet the slot still redraws.
    QMenu *m = menuEn(vide());
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(m->actions().isEmpty());
    EXPECT_TRUE(fenetre::fermeEtDetruit(m));
    ASSERT_TRUE(QMetaObject::invokeMethod(v.get(), "removeAllGraphs"));
    EXPECT_EQ(redessins.count(), 2);
}

// Curves loaded after a removal are usable like the first ones.
TEST_F(Menu, TheMapCanBeLoadedAgainAfterRemoval)
{
    ASSERT_TRUE(QMetaObject::invokeMethod(v.get(), "removeAllGraphs"));
    fenetre::charge(*v, 3, {{3, {{{1, 1}, {2, 1}}}}}, "encore.shp");
    ASSERT_EQ(p->plottableCount(), 1);
    EXPECT_EQ(p->legend->itemCount(), 1);
    p->replot();
    fenetre::clic(p, fenetre::pixelLegende(p, 0));
    EXPECT_TRUE(courbe(0)->selected());
}

} // namespace
