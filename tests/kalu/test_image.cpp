// SPDX-License-Identifier: GPL-3.0-or-later
//
// The map's picture cache (kalucliche): the plot's paint buffer is, in a
// replot, a picture whose bytes the map reads and writes in place; the
// curves alone of a picture keep no grid; and a picture is good for a
// replot whatever changed outside the curves' clip, never when something
// changed inside it. Run at ratios 1, 1.5 and 2.
#include <gtest/gtest.h>

#include "carte.h"
#include "kalucarte.h"
#include "kalucliche.h"
#include "kalusonde.h"

namespace
{

using namespace fenetre;

// A curve that notes what the map finds under the painter of a replot.
class Temoin : public QCPCurve
{
  public:
    using QCPCurve::QCPCurve;
    QImage *tampon = nullptr;
    QImage::Format format = QImage::Format_Invalid;
    QSize taille;
    qreal ratio = 0;
    int dessins = 0;

  protected:
    void draw(QCPPainter *painter) override
    {
        ++dessins;
        tampon = Cliche::tamponDe(painter);
        if (tampon) {
            format = tampon->format();
            taille = tampon->size();
            ratio = tampon->devicePixelRatio();
        }
    }
};

// Without it the map still shows the right picture, but draws every curve
// on the GUI thread at each replot (Carte::draw's fallback): a million
// parts then stall the window seconds.
TEST(Tampon, ThePlotsPaintBufferIsAPictureTheMapWritesInPlace)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    charge(*v, 3, {{3, {{{1, 1}, {2, 2}}}}}, "tampon.shp");
    cadre(*v, QCPRange(0, 10), QCPRange(0, 10));
    Temoin *t = new Temoin(p->xAxis, p->yAxis);
    p->replot();
    ASSERT_GT(t->dessins, 0);
    ASSERT_NE(t->tampon, nullptr) << "the paint buffer is not a QImage";
    EXPECT_EQ(t->format, QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(t->ratio, p->bufferDevicePixelRatio());
    EXPECT_EQ(t->taille, p->viewport().size() * p->bufferDevicePixelRatio());
    p->removePlottable(t);
    // And so the map's replots draw by jobs, not one curve after another.
    ::Carte *carte = ::Carte::de(p);
    const int travaux = Sonde(carte).compteurs().travaux;
    p->xAxis->setRange(1, 9);
    p->replot();
    EXPECT_TRUE(attendsImage(p));
    EXPECT_EQ(Sonde(carte).compteurs().travaux, travaux + 1);
}

// Off a plot's painter (a QPixmap of its own, a vector device) there is no
// buffer to write in place: the map then draws its curves one by one.
TEST(Tampon, APainterOnAnotherDeviceGivesNoBuffer)
{
    QImage rgb(20, 10, QImage::Format_RGB888);
    QPainter sur(&rgb);
    EXPECT_EQ(Cliche::tamponDe(&sur), nullptr);
    sur.end();
    QImage opaque(20, 10, QImage::Format_RGB32);
    QPainter surOpaque(&opaque);
    EXPECT_EQ(Cliche::tamponDe(&surOpaque), nullptr);
    EXPECT_EQ(Cliche::tamponDe(&surOpaque, true), &opaque);
}

Vue vueDe(QSize taille, QRect rect)
{
    Vue v;
    v.x = v.y = QCPRange(0, 1);
    v.rect = rect;
    v.taille = taille;
    return v;
}

// The curves' clip, and the one pixel around it that rounding may reach,
// decide whether a picture is still good: a new sub-title above it does not
// spoil the picture, a grid line under the curves does.
TEST(Champ, OnlyPixelsTheCurvesMayTouchDecide)
{
    const Vue v = vueDe(QSize(100, 80), QRect(20, 10, 60, 50));
    QImage a(100, 80, QImage::Format_ARGB32_Premultiplied);
    a.fill(Qt::white);
    QImage b = a.copy();
    b.setPixelColor(50, 2, Qt::black);  // a title
    b.setPixelColor(95, 70, Qt::black); // outside, past the rounding pixel
    EXPECT_TRUE(Cliche::memeChamp(a, b, v));
    b.setPixelColor(20, 9, Qt::black); // the clip's first row (the zone is one row up)
    EXPECT_FALSE(Cliche::memeChamp(a, b, v));

    QImage vers = a.copy(), de = a.copy();
    de.fill(Qt::red);
    Cliche::copieChamp(vers, de, v);
    EXPECT_EQ(vers.pixelColor(50, 2), QColor(Qt::white)) << "copied beyond the curves' clip";
    EXPECT_EQ(vers.pixelColor(50, 30), QColor(Qt::red));
}

// The curves alone over a grid: a grid pixel takes a neighbour's colour
// without grid, a curve's pixel over no grid keeps its colour.
TEST(Seules, TheCurvesAloneHoldNoGrid)
{
    QImage fond(8, 8, QImage::Format_ARGB32_Premultiplied);
    fond.fill(Qt::transparent);
    for (int x = 0; x < 8; ++x)
        fond.setPixel(x, 4, qRgba(200, 200, 200, 255)); // a grid line
    QImage image = fond.copy();
    for (int y = 2; y < 7; ++y)
        for (int x = 2; x < 6; ++x)
            image.setPixel(x, y, qRgba(0, 0, 255, 255)); // a curve over it
    QImage seules(8, 8, QImage::Format_ARGB32_Premultiplied);
    seules.fill(Qt::transparent);
    Cliche::separe(fond, image, seules, seules.rect());
    EXPECT_EQ(seules.pixel(3, 3), qRgba(0, 0, 255, 255));
    EXPECT_EQ(seules.pixel(3, 4), qRgba(0, 0, 255, 255)) << "the grid under the curve";
    EXPECT_EQ(qAlpha(seules.pixel(0, 4)), 0) << "the grid alone";
    EXPECT_EQ(qAlpha(seules.pixel(0, 0)), 0);
}

} // namespace
