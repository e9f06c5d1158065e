// SPDX-License-Identifier: GPL-3.0-or-later
// Equal scale as the user sees it: in a shown window, after a load and
// through resizes, a degree of longitude and one of latitude are equally
// long on screen, and what a resize adds or takes away is map, not stretch.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "capture.h"
#include "fenetre.h"
#include "shpwriter.h"

namespace
{

// A county map of 8 x 5 polygons over about 7 by 4 degrees at mid
// latitudes: the grid's corners are shifted and every edge has a bend, the
// same for the two counties it divides, so the counties tile.
std::string comtes()
{
    auto coin = [](int i, int j) {
        return shp::Point{-91 + 0.9 * i + 0.12 * std::sin(3.1 * i + 1.7 * j),
                          38 + 0.8 * j + 0.1 * std::cos(2.3 * i - 1.3 * j)};
    };
    auto arete = [](shp::Point a, shp::Point b, shp::Part &ring) {
        ring.push_back(a);
        if (b < a) // the bend is the same whichever way the edge is run
            std::swap(a, b);
        const double dx = b.first - a.first, dy = b.second - a.second;
        const double bosse = 0.08 * std::sin(7 * (a.first + b.first) + 5 * (a.second + b.second));
        ring.push_back({a.first + dx / 2 - dy * bosse, a.second + dy / 2 + dx * bosse});
    };
    std::vector<shp::Record> recs;
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 5; ++j) {
            shp::Part ring;
            const shp::Point c[] = {coin(i, j), coin(i, j + 1), coin(i + 1, j + 1), coin(i + 1, j)};
            for (int k = 0; k < 4; ++k)
                arete(c[k], c[(k + 1) % 4], ring);
            ring.push_back(c[0]);
            recs.push_back({5, {ring}});
        }
    const std::string chemin = shp::scratchPath("comtes.shp");
    EXPECT_TRUE(shp::write(chemin, shp::file(5, recs)));
    return chemin;
}

// Pixels per degree of an axis as the plot draws it.
double parDegre(QCPAxis *a)
{
    const double c = a->range().center();
    return std::fabs(a->coordToPixel(c + 1) - a->coordToPixel(c));
}

class Echelle : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        v->resize(600, 400);
        v->show();
        QApplication::processEvents();
        Capture c;
        fenetre::chargeEtAttends(*v, {QString::fromStdString(comtes())});
        c.fin();
        QApplication::processEvents();
        ASSERT_EQ(p->plottableCount(), 40);
    }

    void redimensionne(int l, int h)
    {
        v->resize(l, h);
        QApplication::processEvents();
        p->replot();
    }

    std::unique_ptr<KaluView> v = fenetre::nouvelle();
    QCustomPlot *p = fenetre::plot(*v);
};

TEST_F(Echelle, EqualAfterLoadAndThroughResizesAboutTheSameCentre)
{
    EXPECT_NEAR(parDegre(p->xAxis) / parDegre(p->yAxis), 1, 0.001);
    for (int i = 0; i < p->plottableCount(); ++i) { // every county in view
        bool trouve = false;
        const QCPRange x = p->plottable(i)->getKeyRange(trouve),
                       y = p->plottable(i)->getValueRange(trouve);
        EXPECT_TRUE(p->xAxis->range().contains(x.lower) && p->xAxis->range().contains(x.upper))
            << i;
        EXPECT_TRUE(p->yAxis->range().contains(y.lower) && p->yAxis->range().contains(y.upper))
            << i;
    }
    const double echelle = parDegre(p->xAxis);
    const QPointF centre(p->xAxis->range().center(), p->yAxis->range().center());

    const QSize tailles[] = {{1200, 600}, {500, 900}, {800, 800}};
    for (const QSize &t : tailles) {
        redimensionne(t.width(), t.height());
        ASSERT_EQ(v->size(), t);
        EXPECT_NEAR(parDegre(p->xAxis) / parDegre(p->yAxis), 1, 0.001)
            << t.width() << "x" << t.height();
        EXPECT_NEAR(parDegre(p->xAxis) / echelle, 1, 0.001) << t.width() << "x" << t.height();
        EXPECT_NEAR(p->xAxis->range().center(), centre.x(), 1e-9);
        EXPECT_NEAR(p->yAxis->range().center(), centre.y(), 1e-9);
    }
    redimensionne(1100, 650);
    fenetre::capture(*v, "comtes-1100x650");
}

// Zooming the bottom axis alone gives the axes a ratio of their own: a
// resize keeps it.
TEST_F(Echelle, ResizeKeepsTheRatioOfAOneAxisZoom)
{
    p->xAxis->scaleRange(0.5, p->xAxis->range().center());
    p->replot();
    const double rapport = parDegre(p->xAxis) / parDegre(p->yAxis);
    ASSERT_NEAR(rapport, 2, 0.01);
    for (const QSize &t : {QSize(1000, 500), QSize(450, 700)}) {
        redimensionne(t.width(), t.height());
        EXPECT_NEAR(parDegre(p->xAxis) / parDegre(p->yAxis) / rapport, 1, 0.001);
    }
}

} // namespace
