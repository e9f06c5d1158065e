// SPDX-License-Identifier: GPL-3.0-or-later
//
// A view as a value (kaluvue): its copy of the axes' transform puts every
// point on the very pixel the live axes compute, both ways and bit for bit,
// on reversed axes and odd rectangles; the rectangle it says the curves
// draw in is the clip the library's layer gives them in a replot; and it
// reads the plot's device pixel ratio. Run at ratios 1, 1.5 and 2.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>

#include "carte.h"
#include "kaluvue.h"

namespace
{

using namespace fenetre;

bool memeBits(double a, double b)
{
    std::uint64_t u, v;
    std::memcpy(&u, &a, sizeof u);
    std::memcpy(&v, &b, sizeof v);
    return u == v;
}

// A curve that notes the clip the library's layer draws it with.
class Temoin : public QCPCurve
{
  public:
    using QCPCurve::QCPCurve;
    QRectF clip;
    int dessins = 0;

  protected:
    void draw(QCPPainter *painter) override
    {
        // In the layer's coordinates: the curve's antialiasing moved the
        // painter half a pixel since the clip was set.
        clip = painter->transform().mapRect(painter->clipBoundingRect());
        ++dessins;
    }
};

// The axes' coordToPixel and pixelToCoord against the Vue's, on an axis
// rectangle of odd size and offset, ranges that are not round, each axis
// reversed or not.
TEST(Transformation, TheViewsPixelsAreTheAxesOwnBitForBit)
{
    QCustomPlot plot;
    plot.setViewport(QRect(0, 0, 811, 597));
    plot.axisRect()->setAutoMargins(QCP::msNone);
    plot.axisRect()->setMargins(QMargins(53, 17, 29, 41));
    plot.replot();
    std::mt19937 alea(7);
    std::uniform_real_distribution<double> u(-1e3, 1e3);
    int ecarts = 0, essais = 0;
    for (bool xInverse : {false, true})
        for (bool yInverse : {false, true}) {
            plot.xAxis->setRange(-3.7, 12.1);
            plot.yAxis->setRange(41.3, 51.17);
            plot.xAxis->setRangeReversed(xInverse);
            plot.yAxis->setRangeReversed(yInverse);
            bool ok = false;
            const Vue v = Vue::de(&plot, &ok);
            ASSERT_TRUE(ok);
            for (int k = 0; k < 2000; ++k, ++essais) {
                const double cle = u(alea) * 0.02 + 4, valeur = u(alea) * 0.01 + 46;
                const double px = u(alea) + 400, py = u(alea) + 300;
                ecarts += !memeBits(v.pixelX(cle), plot.xAxis->coordToPixel(cle));
                ecarts += !memeBits(v.pixelY(valeur), plot.yAxis->coordToPixel(valeur));
                ecarts += !memeBits(v.cleX(px), plot.xAxis->pixelToCoord(px));
                ecarts += !memeBits(v.valeurY(py), plot.yAxis->pixelToCoord(py));
            }
        }
    EXPECT_EQ(ecarts, 0) << "of " << 4 * essais << " transforms";
}

// The curves' clip in a replot of the window: Vue::zone (the axis
// rectangle one row up), which the jobs, the picture's copies and the
// footprints take as the pixels curves may touch.
TEST(Transformation, TheCurvesClipIsTheViewsZone)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    charge(*v, 3, {{3, {{{1, 1}, {2, 2}}}}}, "zone.shp");
    cadre(*v, QCPRange(0, 10), QCPRange(0, 10), 401, 299);
    Temoin *t = new Temoin(p->xAxis, p->yAxis);
    p->replot();
    ASSERT_GT(t->dessins, 0);
    bool ok = false;
    const Vue vue = Vue::de(p, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(t->clip, QRectF(vue.zone()));
    EXPECT_EQ(vue.ratio, p->devicePixelRatioF());
    EXPECT_EQ(vue.taille, p->viewport().size());
    p->removePlottable(t);
}

} // namespace
