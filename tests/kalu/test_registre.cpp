// SPDX-License-Identifier: GPL-3.0-or-later
//
// The map's registry of curves on its own, on a plot without a window: a
// forecast never makes unbounded room, and a load's lots keep to their
// points budget and begin where the pictures stopped.
#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "kaluregistre.h"
#include "tutelle.h"

namespace
{

// The forecast a damaged count or a wrong size could make is never room
// made: a registry told of billions of curves makes room for a bounded
// number more, and holds its curves as before.
TEST(Prevision, NoForecastMakesRoomForMoreThanABoundedNumberOfCurves)
{
    Toile t;
    Registre registre(&t.plot, t.couche(), &t.tutelle);
    registre.debutAjouts();
    for (int k = 0; k < 10; ++k)
        registre.inscrit(registre.ajoute(QCPRange(k, k + 1), QCPRange(0, 1), true));
    EXPECT_NO_THROW(registre.prevoit(size_t(1) << 31));
    EXPECT_NO_THROW(registre.prevoit(size_t(1) << 40));
    EXPECT_LE(registre.courbes().capacity(), (size_t(1) << 20) + 10);
    for (int k = 10; k < 20; ++k)
        registre.inscrit(registre.ajoute(QCPRange(k, k + 1), QCPRange(0, 1), true));
    registre.finAjouts();
    EXPECT_EQ(registre.vivantes(), 20u);
    EXPECT_EQ(t.plot.plottableCount(), 20);
    EXPECT_EQ(registre.scene()->elements.size(), 20u);
}

// Adds `n` curves of 100 points each, the kth at keys k to k + 1.
void ajouteCentPoints(Registre &registre, int n)
{
    for (int k = 0; k < n; ++k) {
        Courbe *c = registre.ajoute(QCPRange(k, k + 1), QCPRange(0, 1), true);
        QVector<QCPCurveData> points(100);
        for (int t = 0; t < 100; ++t)
            points[t] = QCPCurveData(t, k + t / 100.0, t / 100.0);
        c->data()->set(points, true);
        registre.inscrit(c);
    }
}

// A load's lot keeps to its points budget whichever way it is made: the
// curves beyond it come in the next lots, each once, in order.
TEST(Prevision, ALotKeepsToItsPointsBudget)
{
    Toile t;
    Registre registre(&t.plot, t.couche(), &t.tutelle);
    auto ajoute = [&](int n) { ajouteCentPoints(registre, n); };
    registre.debutAjouts();
    ajoute(2);
    EXPECT_EQ(registre.lot(0, std::numeric_limits<long>::max())->elements.size(), 2u);
    ajoute(10);
    // 116 points a curve with its own cost: the third crosses 250.
    const std::shared_ptr<const Scene> premier = registre.lot(2, 250);
    ASSERT_EQ(premier->elements.size(), 3u);
    EXPECT_EQ(premier->elements[0].donnees.data(), registre.courbe(2)->data().data());
    const std::shared_ptr<const Scene> second = registre.lot(5, 1);
    ASSERT_EQ(second->elements.size(), 1u);
    EXPECT_EQ(second->elements[0].donnees.data(), registre.courbe(5)->data().data());
    const std::shared_ptr<const Scene> reste = registre.lot(6, std::numeric_limits<long>::max());
    ASSERT_EQ(reste->elements.size(), 6u);
    for (size_t k = 0; k < 6; ++k)
        EXPECT_EQ(reste->elements[k].donnees.data(), registre.courbe(int(6 + k))->data().data());
    ajoute(1);
    EXPECT_EQ(registre.lot(12, 1)->elements.size(), 1u);
    registre.finAjouts();
}

// A lot that takes the last curve has room for the parts the caller
// appends after it, asked for with what is left of the budget; one that
// stops short asks for none.
TEST(Prevision, ALotThatTakesTheLastCurveHasRoomForThePartsAfterIt)
{
    Toile t;
    Registre registre(&t.plot, t.couche(), &t.tutelle);
    registre.debutAjouts();
    ajouteCentPoints(registre, 4);
    std::vector<long> demandes;
    const Registre::Apres apres = [&](long reste) {
        demandes.push_back(reste);
        return size_t(7);
    };
    EXPECT_EQ(registre.lot(0, 300, apres)->elements.size(), 3u);
    EXPECT_TRUE(demandes.empty());
    const std::shared_ptr<const Scene> dernier = registre.lot(3, 300, apres);
    ASSERT_EQ(dernier->elements.size(), 1u);
    EXPECT_EQ(demandes, std::vector<long>{300 - 116});
    EXPECT_GE(dernier->elements.capacity(), 8u);
    registre.finAjouts();
}

// The pictures draw the parts announced after a lot's curves, whose curves
// come later: the next lot begins past them, with the curves that follow,
// each once and in order, within its budget; and a lot asked for at the
// last curve, all drawn already, holds none and leaves the next whole.
TEST(Prevision, ALotBeginsPastThePartsDrawnAheadOfTheirCurves)
{
    Toile t;
    Registre registre(&t.plot, t.couche(), &t.tutelle);
    auto ajoute = [&](int n) { ajouteCentPoints(registre, n); };
    auto suit = [&](const Scene &lot, int premier, size_t n) {
        ASSERT_EQ(lot.elements.size(), n);
        for (size_t k = 0; k < n; ++k)
            EXPECT_EQ(lot.elements[k].donnees.data(),
                      registre.courbe(premier + int(k))->data().data())
                << premier + int(k);
    };
    const long tout = std::numeric_limits<long>::max();
    registre.debutAjouts();
    ajoute(2);
    suit(*registre.lot(0, tout), 0, 2);
    ajoute(10);
    // Curves 2 to 4 were drawn as announced parts; 116 points a curve with
    // its own cost: the third crosses 250.
    suit(*registre.lot(5, 250), 5, 3);
    suit(*registre.lot(8, tout), 8, 4);
    ajoute(1);
    EXPECT_TRUE(registre.lot(13, 0)->elements.empty());
    ajoute(3);
    suit(*registre.lot(14, tout), 14, 2);
    ajoute(2);
    suit(*registre.lot(16, tout), 16, 2);
    registre.finAjouts();
}

} // namespace
