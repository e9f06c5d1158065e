// SPDX-License-Identifier: GPL-3.0-or-later
//
// What the viewer does below the plotting library's public interface,
// checked against what the library itself does (the register in
// kalu/kaluacces.h): the lists kaluacces reaches are those the library
// reads; the legend's rows appended in place (Legende, kalulegende) are laid
// out, taken and simplified as the library's own addItem's; a selection
// decorator shared between curves (Courbe::partageChoix, kalucourbe) is
// freed once, by its last curve, whichever way the curves go.
#include <gtest/gtest.h>

#include "carte.h"
#include "kaluacces.h"
#include "kalucarte.h"

namespace
{

using namespace fenetre;

TEST(Listes, TheListsReachedAreTheOnesTheLibraryReads)
{
    QCustomPlot plot;
    QCPCurve *a = new QCPCurve(plot.xAxis, plot.yAxis);
    EXPECT_EQ(acces::plottables(&plot), QList<QCPAbstractPlottable *>{a});
    plot.addLayer("autre");
    QCPLayer *main = plot.layer("main"), *autre = plot.layer("autre");
    ASSERT_EQ(a->layer(), main);
    ASSERT_EQ(main->children().last(), a);
    EXPECT_EQ(acces::enfants(main), main->children());
    const int avant = main->children().size();
    acces::demenage(a, autre);
    EXPECT_EQ(a->layer(), autre);
    EXPECT_EQ(main->children().size(), avant - 1);
    EXPECT_FALSE(main->children().contains(a));
    EXPECT_EQ(autre->children(), QList<QCPLayerable *>{a});
    // The library's own moves and removals go on from there.
    a->setLayer(main);
    EXPECT_EQ(main->children().last(), a);
    EXPECT_TRUE(autre->children().isEmpty());
    EXPECT_TRUE(plot.removePlottable(a));
    EXPECT_TRUE(acces::plottables(&plot).isEmpty());
    EXPECT_EQ(main->children().size(), avant - 1);
    // Room made in a QObject's children is the list its children join.
    QObject parent;
    acces::enfantsQt(&parent).reserve(8);
    QObject *enfant = new QObject(&parent);
    EXPECT_EQ(&acces::enfantsQt(&parent), &parent.children());
    EXPECT_EQ(parent.children(), QObjectList{enfant});
}

// The same items, through Legende::ajoute and through QCPLegend::addItem.
struct DeuxLegendes {
    QCustomPlot nous, eux;
    Legende *legende = new Legende;

    explicit DeuxLegendes(int n)
    {
        for (QCustomPlot *p : {&nous, &eux}) {
            p->setViewport(QRect(0, 0, 500, 400));
            p->setAutoAddPlottableToLegend(false);
            p->legend->setVisible(true);
        }
        delete nous.legend;
        nous.axisRect()->insetLayout()->addElement(legende, Qt::AlignRight | Qt::AlignTop);
        legende->setLayer(QLatin1String("legend"));
        nous.legend = legende;
        for (int k = 0; k < n; ++k)
            for (QCustomPlot *p : {&nous, &eux}) {
                QCPCurve *c = new QCPCurve(p->xAxis, p->yAxis);
                c->setName(QString("courbe %1").arg(k));
                QCPPlottableLegendItem *item = new QCPPlottableLegendItem(p->legend, c);
                if (p == &nous)
                    legende->ajoute(item);
                else
                    p->legend->addItem(item);
            }
    }
    ::testing::AssertionResult pareilles()
    {
        nous.replot();
        eux.replot();
        QCPLegend *a = nous.legend, *b = eux.legend;
        if (a->rowCount() != b->rowCount() || a->columnCount() != b->columnCount() ||
            a->itemCount() != b->itemCount() || a->rowStretchFactors() != b->rowStretchFactors() ||
            a->columnStretchFactors() != b->columnStretchFactors())
            return ::testing::AssertionFailure()
                   << a->rowCount() << " x " << a->columnCount() << " rows and columns, "
                   << a->rowStretchFactors().size() << " x " << a->columnStretchFactors().size()
                   << " stretch factors; " << b->rowCount() << " x " << b->columnCount() << ", "
                   << b->rowStretchFactors().size() << " x " << b->columnStretchFactors().size()
                   << " expected";
        if (a->outerRect() != b->outerRect())
            return ::testing::AssertionFailure() << "the legend's place differs";
        for (int i = 0; i < a->itemCount(); ++i)
            if (a->item(i)->outerRect() != b->item(i)->outerRect() ||
                a->element(i, 0) != a->item(i))
                return ::testing::AssertionFailure() << "item " << i << " is laid out elsewhere";
        return nous.toPixmap().toImage() == eux.toPixmap().toImage()
                   ? ::testing::AssertionSuccess()
                   : ::testing::AssertionFailure() << "the pictures differ";
    }
};

TEST(Legendes, RowsAppendedInPlaceAreTheLibrarysOwn)
{
    DeuxLegendes d(7);
    EXPECT_TRUE(d.pareilles()) << "after the items were added";
    // As KaluView::retireCourbe removes a curve's item.
    for (QCustomPlot *p : {&d.nous, &d.eux}) {
        QCPLayoutElement *item = p->legend->takeAt(2);
        p->legend->simplify();
        delete item;
    }
    EXPECT_TRUE(d.pareilles()) << "after an item was taken";
    for (QCustomPlot *p : {&d.nous, &d.eux})
        p->legend->addItem(
            new QCPPlottableLegendItem(p->legend, static_cast<QCPCurve *>(p->plottable(2))));
    EXPECT_TRUE(d.pareilles()) << "after the library added one";
}

// Curves sharing one decorator go through removePlottable, clear() and
// the plot's end; each stays drawn with the decorator's pen while it lives.
TEST(Decorateurs, ASharedDecoratorIsFreedOnceByItsLastCurve)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    ::Carte *carte = ::Carte::de(p);
    // Curves of the library's own decorator, as the load makes them first.
    for (int k = 0; k < 4; ++k) {
        Courbe *c = carte->ajoute(QCPRange(k, k + 1), QCPRange(1, 2), true);
        c->addData(0, k, 1);
        c->addData(1, k + 1, 2);
    }
    ASSERT_EQ(p->plottableCount(), 4);
    auto d = std::make_shared<QCPSelectionDecorator>();
    d->setPen(QPen(Qt::magenta, 2));
    std::weak_ptr<QCPSelectionDecorator> garde = d;
    for (int k = 0; k < 4; ++k)
        static_cast<Courbe *>(p->plottable(k))->partageChoix(d);
    d.reset();
    QCPAbstractPlottable *reste = p->plottable(3);
    EXPECT_TRUE(p->removePlottable(0));
    EXPECT_TRUE(p->removePlottable(0));
    ASSERT_FALSE(garde.expired());
    EXPECT_EQ(reste->selectionDecorator(), garde.lock().get());
    EXPECT_EQ(reste->selectionDecorator()->pen(), QPen(Qt::magenta, 2));
    ASSERT_TRUE(QMetaObject::invokeMethod(v.get(), "removeAllGraphs"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return garde.expired(); }, 20000))
        << "the last curve kept it";
}

// A load compares each curve's look through the members, not the getters.
TEST(Habits, TheLooksReachedAreWhatTheGettersReturn)
{
    auto v = nouvelle();
    QCPCurve *c = new QCPCurve(plot(*v)->xAxis, plot(*v)->yAxis);
    c->setPen(QPen(Qt::red, 3, Qt::DashLine));
    c->setBrush(QBrush(Qt::green, Qt::Dense4Pattern));
    c->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, Qt::blue, 5));
    QCPSelectionDecorator *d = c->selectionDecorator();
    d->setPen(QPen(Qt::yellow, 2));
    d->setBrush(QBrush(Qt::cyan));
    d->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, 7));
    EXPECT_EQ(acces::trait(*c), c->pen());
    EXPECT_EQ(acces::fond(*c), c->brush());
    EXPECT_EQ(acces::points(*c).shape(), c->scatterStyle().shape());
    EXPECT_EQ(acces::points(*c).size(), c->scatterStyle().size());
    EXPECT_EQ(acces::trait(*d), d->pen());
    EXPECT_EQ(acces::fond(*d), d->brush());
    EXPECT_EQ(acces::points(*d).shape(), d->scatterStyle().shape());
    EXPECT_EQ(acces::points(*d).size(), d->scatterStyle().size());
}

} // namespace
