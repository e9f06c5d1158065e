// SPDX-License-Identifier: GPL-3.0-or-later
// A shown window with a small map loaded from a generated shapefile, the
// ground the interaction tests click on.
//
// The map (PolyLine records, coordinates in degrees):
//   record 0: one part   (1,1) (2,1) (3,1)            -> curve shp[0][0]
//   record 1: two parts  (1,3) (2,3.5) (3,3)          -> curve shp[1][0]
//                        (5,1) (5,2) (5,3)            -> curve shp[1][1]
// The axes are fixed to 0..10 by 0..10 on a 400 x 300 pixel axis rectangle,
// so the legend (top right, three items) covers none of the curves, and
// (7, 5) is an empty spot of the plot.
#ifndef KALU_TEST_CARTE_H
#define KALU_TEST_CARTE_H

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "capture.h"
#include "fenetre.h"
#include "shpwriter.h"
#include "souris.h"

namespace fenetre
{

// Writes `records` as a shapefile of the given type under the scratch
// directory; returns its path.
inline QString shapefile(int type, const std::vector<shp::Record> &records, const std::string &nom)
{
    const std::string chemin = shp::scratchPath(nom);
    EXPECT_TRUE(shp::write(chemin, shp::file(type, records))) << chemin;
    return QString::fromStdString(chemin);
}

// One file of `records`, written then loaded.
inline void charge(KaluView &v, int type, const std::vector<shp::Record> &records,
                   const std::string &nom)
{
    charge(v, {shapefile(type, records, nom)});
}

// Shows the window, fixes the axis rectangle's size and the ranges, draws.
inline void cadre(KaluView &v, QCPRange x, QCPRange y, int largeur = 400, int hauteur = 300)
{
    titreCourt(v);
    v.show();
    ASSERT_TRUE(fixeAxisRect(v, largeur, hauteur));
    plot(v)->xAxis->setRange(x);
    plot(v)->yAxis->setRange(y);
    plot(v)->replot();
    QApplication::processEvents();
}

// A border of `n` points around (cx, cy), as wiggly as a coast, closed.
inline shp::Part frontiere(double cx, double cy, double r, int n)
{
    shp::Part p;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * M_PI * i / n;
        const double rr =
            r * (1 + 0.2 * std::sin(7 * t) + 0.05 * std::sin(301 * t) + 0.01 * std::sin(9001 * t));
        p.push_back({cx + rr * std::cos(t), cy + rr * std::sin(t)});
    }
    p.push_back(p.front());
    return p;
}

// The small map above, loaded and framed.
class PetiteCarte : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        charge(*v, 3,
               {{3, {{{1, 1}, {2, 1}, {3, 1}}}},
                {3, {{{1, 3}, {2, 3.5}, {3, 3}}, {{5, 1}, {5, 2}, {5, 3}}}}},
               "carte.shp");
        cadre(*v, QCPRange(0, 10), QCPRange(0, 10));
        ASSERT_EQ(p->plottableCount(), 3);
        ASSERT_TRUE(p->legend->visible());
    }

    // Curve i in plot order (shp[0][0], shp[1][0], shp[1][1]).
    QCPCurve *courbe(int i) { return qobject_cast<QCPCurve *>(p->plottable(i)); }

    QPoint vide() { return pixel(p, 7, 5); }

    std::unique_ptr<KaluView> v = nouvelle();
    QCustomPlot *p = plot(*v);
};

} // namespace fenetre

#endif
