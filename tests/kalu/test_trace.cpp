// SPDX-License-Identifier: GPL-3.0-or-later
//
// A curve's one drawing (kalutrace) in the bands of a job: what a band
// leaves out of a curve (resserre: the runs of points beyond it, the "keep
// six points" rule) and the cuts of a huge ring's fill (coupe: as Qt's
// raster engine cuts polygons of more than 0xffff points) change no pixel
// of the library's own picture.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "carte.h"
#include "kalucarte.h"
#include "kalusonde.h"

namespace
{

using namespace fenetre;

// A picture of the plot's size in device pixels, filled with `fond`, on
// which `dessin` draws clipped to `clip`, as a job's picture is drawn.
QImage dessinee(QCustomPlot *p, const Vue &vue, const QRect &clip, const QColor &fond,
                const std::function<void(QCPPainter *)> &dessin)
{
    QImage im(p->size() * p->devicePixelRatioF(), QImage::Format_ARGB32_Premultiplied);
    im.fill(fond);
    im.setDevicePixelRatio(vue.ratio);
    QCPPainter painter(&im);
    painter.setClipRect(clip);
    dessin(&painter);
    painter.end();
    return im;
}

// Bands leave out the points of a curve that can't reach them: huge rings,
// which the raster engine fills in pieces, rectangles with points along
// their sides, dashed and wide lines still give the pixels of one pass.
TEST(Bandes, WhatABandLeavesOutChangesNoPixel)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    std::vector<shp::Record> anneaux{
        {5, {frontiere(3, 5, 2.5, 300000)}},
        {5, {frontiere(7, 4, 2, 70000)}},
        {5, {{{6, 6}, {6, 8}, {6.5, 8}, {7, 8}, {8, 8}, {8, 6}, {7, 6}, {6.5, 6}, {6, 6}}}}};
    for (int k = 0; k < 40; ++k)
        anneaux.push_back({5, {frontiere(0.5 + k * 0.23, 1 + (k % 4) * 2.2, 0.4, 40)}});
    charge(*v, 5, anneaux, "anneaux.shp");
    ::Carte *carte = ::Carte::de(p);
    for (const QPen &trait :
         {QPen(Qt::blue, 1, Qt::DashLine), QPen(Qt::darkRed, 3), QPen(Qt::black, 1)}) {
        const shp::Part f = frontiere(5, 5, 2 + trait.widthF(), 20000);
        Courbe *c = carte->ajoute(QCPRange(0.2, 9.8), QCPRange(0.2, 9.8), true);
        for (size_t i = 0; i < f.size(); ++i)
            c->addData(double(i), f[i].first, f[i].second);
        c->setPen(trait);
    }
    cadre(*v, QCPRange(0, 10), QCPRange(0, 10));
    Sonde(carte).setFils(5);
    p->replot();
    EXPECT_TRUE(commeLaBibliotheque(*v, p)) << "the whole map";
    p->xAxis->setRange(1.3, 6.1);
    p->yAxis->setRange(2.2, 5.9);
    p->replot();
    EXPECT_TRUE(commeLaBibliotheque(*v, p)) << "zoomed in";
}

// A huge ring's fill, which the engine cuts along rows into pieces of
// 0xffff points at most, is the same in every band of rows, wherever the
// band lies beside the cuts: the band leaves out the halves beyond it.
TEST(Bandes, AHugeRingIsTheSameInEveryBandOfRows)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    charge(*v, 5, {{5, {frontiere(5, 5, 4, 140000)}}}, "enorme.shp");
    cadre(*v, QCPRange(0.3, 9.7), QCPRange(0.4, 9.9));
    bool ok = true;
    const Vue vue = Vue::de(p, &ok);
    ASSERT_TRUE(ok);
    std::shared_ptr<Scene> s = Scene::nouvelle();
    s->inscrit(*static_cast<Courbe *>(p->plottable(0)));
    const Scene::Element &el = s->elements[0];
    const QRect zone = vue.zone();
    auto image = [&](int a, int z, const Tranche *t) {
        const QRect rangees = zone.intersected(QRect(zone.left(), a, zone.width(), z - a));
        return dessinee(p, vue, rangees, Qt::white, [&](QCPPainter *painter) {
            QVector<QPointF> lignes;
            dessineCourbe(painter, vue, *el.donnees, s->habits[0], false, lignes, &el.cles,
                          &el.valeurs, t);
        });
    };
    const QImage entier = image(zone.top(), zone.bottom() + 1, nullptr);
    for (int a = zone.top(); a < zone.bottom(); a += 7) {
        const int z = a + 9;
        Tranche t;
        t.debut = a - 4;
        t.fin = z + 4;
        // The device rows wholly inside the band's clip.
        const int haut = int(std::ceil(a * vue.ratio)), bas = int(std::floor(z * vue.ratio));
        const QRect rangees(0, haut, entier.width(), bas - haut);
        EXPECT_TRUE(image(a, z, &t).copy(rangees) == entier.copy(rangees))
            << "rows " << a << " to " << z;
    }
}

// The pixels a curve's drawing may reach (portee: its box widened by half a
// pen, the antialiasing and the painter's half-pixel shift) hold every
// pixel it draws, selected or not, for the pens a map gives its curves and
// wider ones: the bands a job cuts give a curve only the bands its reach
// meets, and a pixel beyond would be lost.
TEST(Portee, EveryPixelACurveDrawsIsWithinItsReach)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    charge(*v,
           {shapefile(5,
                      {{5, {frontiere(3, 5, 2.5, 5000)}},
                       {5, {{{6, 6}, {6, 8}, {8, 8}, {8, 6}, {6, 6}}}}},
                      "portee.shp"),
            shapefile(3, {{3, {{{0.5, 8}, {2, 8.7}, {4, 8.1}, {9.5, 1.4}}}}}, "portee-ligne.shp")});
    cadre(*v, QCPRange(0.3, 9.7), QCPRange(0.4, 9.9));
    ASSERT_EQ(p->plottableCount(), 3);
    bool ok = true;
    const Vue vue = Vue::de(p, &ok);
    ASSERT_TRUE(ok);
    for (const QPen &trait :
         {QPen(Qt::black, 0), QPen(Qt::black, 1), QPen(Qt::blue, 1, Qt::DashLine),
          QPen(Qt::darkRed, 2), QPen(Qt::darkRed, 4)}) {
        for (int k = 0; k < p->plottableCount(); ++k) {
            Courbe *c = static_cast<Courbe *>(p->plottable(k));
            c->setPen(trait);
            std::shared_ptr<Scene> s = Scene::nouvelle();
            s->inscrit(*c);
            const Scene::Element &el = s->elements[0];
            const QRect reach = vue.enDevice(portee(vue, el.cles, el.valeurs));
            for (bool choisie : {false, true}) {
                const QImage im =
                    dessinee(p, vue, vue.zone(), Qt::transparent, [&](QCPPainter *painter) {
                        QVector<QPointF> lignes;
                        dessineCourbe(painter, vue, *el.donnees, s->habits[0], choisie, lignes,
                                      &el.cles, &el.valeurs);
                    });
                int dehors = 0, dedans = 0;
                for (int y = 0; y < im.height(); ++y)
                    for (int x = 0; x < im.width(); ++x)
                        if (qAlpha(reinterpret_cast<const QRgb *>(im.constScanLine(y))[x]) != 0)
                            ++(reach.contains(x, y) ? dedans : dehors);
                EXPECT_GT(dedans, 0) << k;
                EXPECT_EQ(dehors, 0)
                    << "curve " << k << ", pen " << trait.widthF() << (choisie ? ", selected" : "");
            }
        }
    }
}

// The library's own drawing of a curve: a plain QCPCurve of the same data
// and look, drawn by QCPCurve::draw as its layer draws it.
class Temoin : public QCPCurve
{
  public:
    explicit Temoin(const Courbe &c) : QCPCurve(c.keyAxis(), c.valueAxis())
    {
        setData(const_cast<Courbe &>(c).data());
        setPen(c.pen());
        setBrush(c.brush());
        selectionDecorator()->setPen(c.selectionDecorator()->pen());
        selectionDecorator()->setBrush(c.selectionDecorator()->brush());
        setAntialiased(c.antialiased());
        setAntialiasedFill(c.antialiasedFill());
    }
    void dessine(QCPPainter *painter)
    {
        applyDefaultAntialiasingHint(painter);
        draw(painter);
    }
};

// Each curve a map draws off the GUI thread (dessineCourbe) has the pixels
// of the library's QCPCurve::draw, selected or not: rings of many points,
// rectangles, rings left open, a ring that crosses itself, lines with a gap,
// long lines with gaps (points whose key or value is NaN) in view or folded
// at its edges, antialiased or not; and so has every band of a job, which
// draws a curve lying within it as it is, and leaves out of the others the
// points beyond it.
TEST(Bibliotheque, EachCurveIsDrawnWithTheLibrarysPixels)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    shp::Part ouvert = frontiere(6, 3, 1.2, 60);
    ouvert.pop_back();
    const double loin = 1e308; // a coordinate no view places: a gap in a line
    charge(*v,
           {shapefile(5,
                      {{5, {frontiere(3, 5, 2.5, 5000), frontiere(7.5, 7.5, 0.8, 7)}},
                       {5, {{{6, 6}, {6, 8}, {8, 8}, {8, 6}, {6, 6}}, ouvert}},
                       {5, {{{1, 1}, {3, 2.5}, {3, 1}, {1, 2.5}, {1.5, 1.2}, {2, 0.8}, {1, 1}}}}},
                      "temoin.shp"),
            shapefile(3, {{3, {{{0.5, 8}, {2, 8.7}, {loin, 8}, {4, 8.1}, {9.5, 1.4}}}}},
                      "temoin-ligne.shp")});
    ::Carte *carte = ::Carte::de(p);
    for (double r : {3.0, 6.5}) { // in view; beyond its edges
        Courbe *c = carte->ajoute(QCPRange(5 - r, 5 + r), QCPRange(5 - r, 5 + r), true);
        for (int i = 0; i < 60000; ++i) {
            const double t = i * 0.0137;
            const double x = i % 997 == 5 ? qQNaN() : 5 + r * std::sin(t) * std::cos(t * 0.011);
            const double y = i % 1409 == 7 ? qQNaN() : 5 + r * std::cos(t * 1.003);
            c->addData(double(i), x, y);
        }
    }
    cadre(*v, QCPRange(0.3, 9.7), QCPRange(0.4, 9.9));
    const int n = p->plottableCount();
    ASSERT_EQ(n, 8);
    bool ok = true;
    const Vue vue = Vue::de(p, &ok);
    ASSERT_TRUE(ok);
    // The whole view as one band, a band of rows and one of columns across
    // the middle: each drawn clipped to its pixels, as a job's bands are,
    // and compared on the device pixels wholly inside.
    struct Bande {
        QRect clip;
        Tranche tranche;
        QRect pixels;
    };
    const QRect zone = vue.zone();
    auto bande = [&](bool lignes, int a, int z) {
        Bande b;
        b.clip = zone.intersected(lignes ? QRect(zone.left(), a, zone.width(), z - a)
                                         : QRect(a, zone.top(), z - a, zone.height()));
        b.tranche.lignes = lignes;
        b.tranche.debut = a - 4;
        b.tranche.fin = z + 4;
        const int haut = int(std::ceil(a * vue.ratio)), bas = int(std::floor(z * vue.ratio));
        const QSize taille = p->size() * p->devicePixelRatioF();
        b.pixels = lignes ? QRect(0, haut, taille.width(), bas - haut)
                          : QRect(haut, 0, bas - haut, taille.height());
        return b;
    };
    const std::vector<Bande> bandes{
        bande(true, zone.top(), zone.bottom() + 1),
        bande(true, zone.top() + zone.height() / 3, zone.top() + zone.height() / 2),
        bande(false, zone.left() + zone.width() / 2, zone.left() + zone.width() * 3 / 4)};
    for (int k = 0; k < 2 * n; ++k) {
        Courbe *c = static_cast<Courbe *>(p->plottable(k % n));
        c->setAntialiased(k < n); // and then, as the library allows, not
        c->setAntialiasedFill(k < n);
        std::shared_ptr<Scene> s = Scene::nouvelle();
        s->inscrit(*c);
        const Scene::Element &el = s->elements[0];
        Temoin *temoin = new Temoin(*c); // the plot's
        for (bool choisie : {false, true}) {
            temoin->setSelection(choisie ? QCPDataSelection(QCPDataRange(0, temoin->dataCount()))
                                         : QCPDataSelection());
            QVector<QPointF> lignes;
            auto nos = [&](const QRect &clip, const Tranche *t) {
                return dessinee(p, vue, clip, Qt::white, [&](QCPPainter *painter) {
                    dessineCourbe(painter, vue, *el.donnees, s->habits[0], choisie, lignes,
                                  &el.cles, &el.valeurs, t);
                });
            };
            const QImage siens = dessinee(p, vue, zone, Qt::white,
                                          [&](QCPPainter *painter) { temoin->dessine(painter); });
            EXPECT_TRUE(nos(zone, nullptr) == siens)
                << "curve " << k << (choisie ? ", selected" : "");
            for (size_t b = 0; b < bandes.size(); ++b)
                EXPECT_TRUE(nos(bandes[b].clip, &bandes[b].tranche).copy(bandes[b].pixels) ==
                            siens.copy(bandes[b].pixels))
                    << "curve " << k << (choisie ? ", selected" : "") << ", band " << b;
        }
        p->removePlottable(temoin);
    }
}

// A huge ring that several bands meet has its lines and the cuts of its
// fill made once (faitDecoupe) and every band draws its part from them:
// each band's pixels are QCPCurve::draw's, for bands of rows and of columns,
// from one to many, even or not, selected or not; and the map's picture is
// its replot's whatever bands its pool cuts.
TEST(Bandes, AHugeRingSharedByTheBandsIsTheLibrarys)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    // A second huge ring, smaller, across the first: the room a picture
    // kept for one ring's cuts is taken by the other's in the next.
    std::vector<shp::Record> anneaux{{5, {frontiere(5, 5, 4, 250000)}},
                                     {5, {frontiere(4, 6, 2.5, 120000)}}};
    for (int k = 0; k < 30; ++k) // small rings on top, so that the work is uneven
        anneaux.push_back({5, {frontiere(1 + (k % 6) * 1.5, 1.5 + (k / 6) * 0.4, 0.3, 50)}});
    charge(*v, 5, anneaux, "partagee.shp");
    cadre(*v, QCPRange(0.3, 9.7), QCPRange(0.4, 9.9));
    bool ok = true;
    const Vue vue = Vue::de(p, &ok);
    ASSERT_TRUE(ok);
    Courbe *c = static_cast<Courbe *>(p->plottable(0));
    ASSERT_GT(c->dataCount(), 200000);
    std::shared_ptr<Scene> s = Scene::nouvelle();
    s->inscrit(*c);
    const Scene::Element &el = s->elements[0];
    ASSERT_TRUE(aPartager(el.points));
    Temoin *temoin = new Temoin(*c);
    const QRect zone = vue.zone();
    const QSize taille = p->size() * p->devicePixelRatioF();
    for (bool choisie : {false, true}) {
        temoin->setSelection(choisie ? QCPDataSelection(QCPDataRange(0, temoin->dataCount()))
                                     : QCPDataSelection());
        const QImage siens = dessinee(p, vue, zone, Qt::white,
                                      [&](QCPPainter *painter) { temoin->dessine(painter); });
        Decoupe partage;
        faitDecoupe(vue, *el.donnees, s->habits[0], choisie, &partage, &el.cles, &el.valeurs);
        ASSERT_TRUE(partage.racine);
        QVector<QPointF> lignes;
        for (bool enLignes : {true, false}) {
            const int debut = enLignes ? zone.top() : zone.left();
            const int fin = (enLignes ? zone.bottom() : zone.right()) + 1;
            for (int n : {1, 2, 3, 5, 8}) {
                for (int k = 0; k < n; ++k) {
                    // Uneven bands: the first ones thinner.
                    auto bord = [&](int i) {
                        return debut + int((fin - debut) * double(i) * i / (double(n) * n));
                    };
                    const int a = bord(k), z = bord(k + 1);
                    const QRect clip =
                        zone.intersected(enLignes ? QRect(zone.left(), a, zone.width(), z - a)
                                                  : QRect(a, zone.top(), z - a, zone.height()));
                    Tranche t;
                    t.lignes = enLignes;
                    t.debut = a - 4;
                    t.fin = z + 4;
                    const QImage nos = dessinee(p, vue, clip, Qt::white, [&](QCPPainter *painter) {
                        dessineCourbe(painter, vue, *el.donnees, s->habits[0], choisie, lignes,
                                      &el.cles, &el.valeurs, &t, &partage);
                    });
                    const int haut = int(std::ceil(a * vue.ratio)),
                              bas = int(std::floor(z * vue.ratio));
                    const QRect pixels = enLignes ? QRect(0, haut, taille.width(), bas - haut)
                                                  : QRect(haut, 0, bas - haut, taille.height());
                    EXPECT_TRUE(nos.copy(pixels) == siens.copy(pixels))
                        << (enLignes ? "rows " : "columns ") << a << " to " << z << ", " << n
                        << " bands" << (choisie ? ", selected" : "");
                }
            }
        }
    }
    p->removePlottable(temoin);

    // The map's jobs on 1 to 6 threads, the rings a strip across the view,
    // then along it: the pool cuts bands of columns, then of rows (a view a
    // little different each time, so that a job draws it, in the room the
    // job before kept).
    ::Carte *carte = ::Carte::de(p);
    for (int fils : {1, 2, 3, 4, 6}) {
        for (bool colonnes : {true, false}) {
            Sonde(carte).setFils(fils);
            const double d = 0.01 * fils;
            if (colonnes)
                cadre(*v, QCPRange(0.3 + d, 9.7), QCPRange(-8, 18));
            else
                cadre(*v, QCPRange(-8 + d, 18), QCPRange(0.4, 9.9));
            EXPECT_TRUE(commeLaBibliotheque(*v, p))
                << fils << " threads, " << (colonnes ? "columns" : "rows");
        }
    }
}

} // namespace
