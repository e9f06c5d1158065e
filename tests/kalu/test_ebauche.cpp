// SPDX-License-Identifier: GPL-3.0-or-later
//
// The pictures of a load under way (kaluebauche): each is the library's own
// drawing of the curves made so far, the last one becomes the complete
// picture, and a header whose box lies still ends fitted to the points.
#include <gtest/gtest.h>

#include <cstring>

#include "carte.h"
#include "kalucarte.h"

namespace
{

using namespace fenetre;

// Overlapping translucent rings, each over those before it, in a file whose
// header may declare another box than its points'.
std::string recouvrants(const std::string &nom, int n, bool menteur = false)
{
    std::vector<shp::Record> r;
    for (int k = 0; k < n; ++k) {
        const double x = (k * 37 % 101) * 0.1, y = (k * 53 % 97) * 0.1;
        r.push_back({5, {{{x, y}, {x, y + 1.5}, {x + 1.2, y + 1.4}, {x + 1.3, y}, {x, y}}}});
    }
    shp::Bytes b = shp::file(5, r);
    if (menteur) // the box of [0, 1] x [0, 1]
        for (int k = 0; k < 4; ++k) {
            const double cote = k < 2 ? 0 : 1;
            std::memcpy(b.data() + 36 + 8 * k, &cote, sizeof cote);
        }
    const std::string chemin = shp::scratchPath(nom);
    EXPECT_TRUE(shp::write(chemin, b));
    return chemin;
}

// The curves shown while a load goes are those made so far, pixel for pixel
// as the library draws them: each picture is checked against the library's
// replot of the curves it holds (those made since hidden), and the last is
// the complete picture, with no drawing started from scratch at the end.
TEST(ImagesDuChargement, EachPictureOfALoadIsTheLibrarysOwn)
{
    auto v = nouvelle();
    v->show();
    QCustomPlot *p = plot(*v);
    ::Carte *carte = ::Carte::de(p);
    const std::string chemin = recouvrants("recouvrants.shp", 40000);
    int vues = 0, verifiees = 0, ecarts = 0, replots = 0;
    QObject::connect(p, &QCustomPlot::afterReplot, [&] {
        ++replots;
        if (!v->chargeEnCours() || carte->compteurs().ebauches == vues || verifiees >= 3)
            return;
        vues = carte->compteurs().ebauches;
        const size_t n = carte->courbesEbauchees();
        const int ce = replots;
        const QCPRange x = p->xAxis->range(), y = p->yAxis->range();
        const QString t = titre(*v)->text();
        // The library doesn't replot within a replot. The file's verdict may
        // come first, with its title and view, to be shown at the next
        // replot: that picture is checked then.
        QTimer::singleShot(0, [&, n, ce, x, y, t] {
            if (replots != ce || !v->chargeEnCours() || p->xAxis->range() != x ||
                p->yAxis->range() != y || titre(*v)->text() != t)
                return;
            QList<QCPLayerable *> courbes = p->layer("courbes")->children();
            if (n > size_t(courbes.size()))
                return; // ahead of its curves: checked once they are made
            const QImage montree = v->grab().toImage();
            for (int k = int(n); k < courbes.size(); ++k)
                courbes[k]->setVisible(false);
            carte->setRapide(false);
            p->replot();
            const QImage reference = v->grab().toImage();
            for (int k = int(n); k < courbes.size(); ++k)
                courbes[k]->setVisible(true);
            carte->setRapide(true);
            ++verifiees;
            ecarts += montree != reference;
        });
    });
    fenetre::chargeEtAttends(*v, {QString::fromStdString(chemin)});
    const ::Carte::Compteurs avant = carte->compteurs();
    EXPECT_TRUE(commeLaBibliotheque(*v, p));
    EXPECT_GT(verifiees, 0);
    EXPECT_EQ(ecarts, 0);
    EXPECT_EQ(carte->compteurs().complets, avant.complets) << "drawn again from scratch";
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
