// SPDX-License-Identifier: GPL-3.0-or-later
//
// The pictures of a load under way (kaluebauche): each is the library's own
// drawing of the curves made so far, the last one becomes the complete
// picture, and a header whose box lies still ends fitted to the points.
#include <gtest/gtest.h>

#include <QSignalBlocker>

#include <algorithm>
#include <cstring>

#include "carte.h"
#include "kalucarte.h"
#include "kalusonde.h"

namespace
{

using namespace fenetre;

// Overlapping translucent rings, each over those before it, in a file whose
// header may declare another box than its points'.
std::string recouvrants(const std::string &nom, int n, bool menteur = false)
{
    std::vector<shp::Record> r;
    double boite[4] = {0, 0, 0, 0}; // x0, y0, x1, y1
    for (int k = 0; k < n; ++k) {
        const double x = (k * 37 % 101) * 0.1, y = (k * 53 % 97) * 0.1;
        r.push_back({5, {{{x, y}, {x, y + 1.5}, {x + 1.2, y + 1.4}, {x + 1.3, y}, {x, y}}}});
        boite[2] = std::max(boite[2], x + 1.3);
        boite[3] = std::max(boite[3], y + 1.5);
    }
    shp::Bytes b = shp::file(5, r);
    // The header's box: the points' own, so that the load's view is the
    // end's from the first curve; or, lying, [0, 1] x [0, 1].
    if (menteur)
        boite[2] = boite[3] = 1;
    std::memcpy(b.data() + 36, boite, sizeof boite);
    const std::string chemin = shp::scratchPath(nom);
    EXPECT_TRUE(shp::write(chemin, b));
    return chemin;
}

// The curves shown while a load goes are those made so far, pixel for pixel
// as the library draws them: each picture is checked against the library's
// replot of the curves it holds (those made since hidden; a picture ahead
// of its curves, once they are made), and the last is
// the complete picture, with no drawing started from scratch at the end.
TEST(ImagesDuChargement, EachPictureOfALoadIsTheLibrarysOwn)
{
    auto v = nouvelle();
    v->show();
    QCustomPlot *p = plot(*v);
    ::Carte *carte = ::Carte::de(p);
    const std::string chemin = recouvrants("recouvrants.shp", 120000);
    int vues = 0, verifiees = 0, ecarts = 0, replots = 0;
    // The pictures of the load, checked once it is over against the
    // library's replot of as many first curves in the same view: the map's
    // rectangle alone (the title is set meanwhile), and a picture may hold
    // parts whose curves were not made yet.
    struct Vu {
        size_t n;
        QCPRange x, y;
        QRect rect;
        QImage image;
        bool verifiee = false;
    };
    std::vector<Vu> vus;
    auto compare = [&](Vu &d) {
        QList<QCPLayerable *> courbes = p->layer("courbes")->children();
        if (d.verifiee || d.rect != p->axisRect()->rect())
            return;
        for (int k = int(d.n); k < courbes.size(); ++k)
            courbes[k]->setVisible(false);
        // The view of the picture, which the window must not take for the
        // user's.
        const QSignalBlocker bx(p->xAxis), by(p->yAxis);
        const QCPRange x = p->xAxis->range(), y = p->yAxis->range();
        p->xAxis->setRange(d.x);
        p->yAxis->setRange(d.y);
        Sonde(carte).setRapide(false);
        p->replot();
        ecarts += d.image != p->grab().toImage().copy(d.rect);
        Sonde(carte).setRapide(true);
        for (int k = int(d.n); k < courbes.size(); ++k)
            courbes[k]->setVisible(true);
        p->xAxis->setRange(x);
        p->yAxis->setRange(y);
        d.verifiee = true;
        ++verifiees;
    };
    QObject::connect(p, &QCustomPlot::afterReplot, [&] {
        ++replots;
        if (!v->chargeEnCours() || Sonde(carte).compteurs().ebauches == vues || vus.size() >= 3)
            return;
        vues = Sonde(carte).compteurs().ebauches;
        const size_t n = Sonde(carte).courbesEbauchees();
        const int ce = replots;
        const QCPRange x = p->xAxis->range(), y = p->yAxis->range();
        // The library doesn't grab within a replot: the picture just made,
        // unless another replot came first (the buffer is not laid out
        // again until one does).
        QTimer::singleShot(0, [&, n, ce, x, y] {
            if (replots != ce || p->xAxis->range() != x || p->yAxis->range() != y)
                return;
            const QRect r = p->axisRect()->rect();
            vus.push_back({n, x, y, r, p->grab().toImage().copy(r), false});
            // Now, in the layout it was made in.
            if (n <= size_t(p->layer("courbes")->children().size()))
                compare(vus.back());
        });
    });
    fenetre::chargeEtAttends(*v, {QString::fromStdString(chemin)});
    const ::Carte::Compteurs avant = Sonde(carte).compteurs();
    EXPECT_TRUE(commeLaBibliotheque(*v, p));
    EXPECT_EQ(Sonde(carte).compteurs().complets, avant.complets) << "drawn again from scratch";
    for (Vu &d : vus)
        compare(d); // those ahead of their curves
    EXPECT_GT(verifiees, 0);
    EXPECT_EQ(ecarts, 0);
}

// A header whose box lies: the load still ends fitted to the points, as a
// file with a true header does, its picture exact.
TEST(ImagesDuChargement, AHeaderThatLiesEndsFittedToItsData)
{
    auto vrai = nouvelle(), faux = nouvelle();
    vrai->show();
    faux->show();
    fenetre::chargeEtAttends(*vrai, {QString::fromStdString(recouvrants("vrai.shp", 300))});
    fenetre::chargeEtAttends(*faux, {QString::fromStdString(recouvrants("faux.shp", 300, true))});
    EXPECT_EQ(plot(*faux)->xAxis->range(), plot(*vrai)->xAxis->range());
    EXPECT_EQ(plot(*faux)->yAxis->range(), plot(*vrai)->yAxis->range());
    EXPECT_TRUE(commeLaBibliotheque(*faux, plot(*faux)));
}

} // namespace
