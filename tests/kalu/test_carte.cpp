// SPDX-License-Identifier: GPL-3.0-or-later
//
// The map's pictures: after every gesture and click the window shows
// exactly what the plotting library's plain full replot draws, gestures are
// shown from the picture of the last drawing, and a load tells its progress
// without taking input.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QSignalSpy>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include <cmath>
#include <cstring>

#include "carte.h"
#include "kalucarte.h"
#include "kalusurligne.h"
#include "modal.h"

namespace
{

using namespace fenetre;

// Overlapping translucent squares, three to a row, and two lines across
// them: 24 curves, so the legend shows too.
std::vector<shp::Record> carreaux()
{
    std::vector<shp::Record> r;
    for (int k = 0; k < 22; ++k) {
        const double x = 1 + (k % 3) * 1.3 + k * 0.11, y = 1 + (k / 3) * 1.1;
        r.push_back({5, {{{x, y}, {x, y + 2}, {x + 2, y + 2}, {x + 2, y}, {x, y}}}});
    }
    return r;
}

class Images : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        charge(*v,
               {shapefile(5, carreaux(), "carreaux.shp"),
                shapefile(3, {{3, {{{0.5, 0.5}, {9, 9.5}}, {{0.5, 8}, {8, 0.7}}}}}, "traits.shp")});
        cadre(*v, QCPRange(0, 10), QCPRange(0, 10));
        ASSERT_EQ(p->plottableCount(), 24);
        ASSERT_TRUE(p->legend->visible());
        carte->setFils(4);            // bands cross the squares on any machine
        carte->setLectureComplete(0); // states read as on a big map
    }
    // A frame: what the window shows once pending replots and paints are
    // done, without waiting for a job.
    QImage image()
    {
        QApplication::processEvents();
        return v->grab().toImage();
    }
    // The window shows what the library alone draws of the same state.
    bool commeLaBibliotheque() { return fenetre::commeLaBibliotheque(*v, p); }
    void attendsFinMolette()
    {
        const int avant = carte->compteurs().complets;
        for (int k = 0; k < 100 && carte->compteurs().complets == avant; ++k)
            QTest::qWait(20);
    }

    std::unique_ptr<KaluView> v = nouvelle();
    QCustomPlot *p = plot(*v);
    ::Carte *carte = ::Carte::de(p);
};

TEST_F(Images, EveryGestureAndClickEndsOnTheLibrarysOwnPicture)
{
    EXPECT_TRUE(commeLaBibliotheque());

    glisse(p, pixel(p, 5, 5), pixel(p, 6.2, 4.1));
    EXPECT_TRUE(commeLaBibliotheque()) << "after a drag";

    molette(p, pixel(p, 4, 4), 1);
    molette(p, pixel(p, 4.5, 4), 1);
    molette(p, pixel(p, 4, 3.5), -1);
    attendsFinMolette();
    EXPECT_TRUE(commeLaBibliotheque()) << "after a burst of wheel turns";

    // A click on a square that others cover in part, then on an empty spot:
    // each redraws only near the curves it changed.
    const int partiels = carte->compteurs().partiels;
    clic(p, pixel(p, 5.2, 6.0)); // inside squares 10, 11, 13 and 14, away from the lines
    ASSERT_EQ(p->selectedPlottables().size(), 1);
    EXPECT_EQ(p->selectedPlottables().first(), p->plottable(14)); // the one on top
    EXPECT_TRUE(commeLaBibliotheque()) << "after a selecting click";
    clic(p, pixel(p, 9.6, 0.3));
    EXPECT_TRUE(p->selectedPlottables().isEmpty());
    EXPECT_TRUE(commeLaBibliotheque()) << "after a click that clears the selection";
    EXPECT_EQ(carte->compteurs().partiels, partiels + 2);
    capture(*v, "carte-apres-gestes");
}

// kalu-export's way: the library's export on an opaque pixmap, the map
// lending its curves to a job, gives the library's own pixels.
TEST_F(Images, AnExportThroughAJobIsTheLibrarysOwnPicture)
{
    clic(p, pixel(p, 2.5, 2));
    ASSERT_EQ(p->selectedPlottables().size(), 1);
    carte->setRapide(false);
    const QImage seule = p->toPixmap(500, 400).toImage();
    carte->setRapide(true);
    const int travaux = carte->compteurs().travaux;
    QImage parJob;
    {
        ::Carte::Pret pret(carte);
        parJob = p->toPixmap(500, 400).toImage();
    }
    EXPECT_EQ(carte->compteurs().travaux, travaux + 1);
    EXPECT_EQ(parJob, seule);
}

TEST_F(Images, ADragIsShownFromThePictureAndDrawnOnceAtTheRelease)
{
    attendsImage(p);
    const ::Carte::Compteurs avant = carte->compteurs();
    const QPoint de = pixel(p, 5, 5);
    QTest::mousePress(p, Qt::LeftButton, Qt::NoModifier, de);
    for (int k = 1; k <= 5; ++k) {
        const QPoint pos = de + QPoint(6 * k, 3 * k);
        QMouseEvent move(QEvent::MouseMove, pos, p->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(p, &move);
        image();
    }
    EXPECT_EQ(carte->compteurs().complets, avant.complets);
    EXPECT_GE(carte->compteurs().images, avant.images + 5);
    QTest::mouseRelease(p, Qt::LeftButton, Qt::NoModifier, de + QPoint(30, 15));
    EXPECT_TRUE(attendsImage(p));
    EXPECT_TRUE(attendsImage(p));
    EXPECT_EQ(carte->compteurs().complets, avant.complets + 1);
}

TEST_F(Images, AWheelBurstIsDrawnOnceAfterItsPause)
{
    attendsImage(p);
    const ::Carte::Compteurs avant = carte->compteurs();
    for (int k = 0; k < 4; ++k) {
        molette(p, pixel(p, 5, 5), 1);
        image();
    }
    EXPECT_EQ(carte->compteurs().complets, avant.complets);
    EXPECT_EQ(carte->compteurs().images, avant.images + 4);
    attendsFinMolette();
    QTest::qWait(2 * ::Carte::PAUSE_MOLETTE);
    EXPECT_EQ(carte->compteurs().complets, avant.complets + 1);
}

TEST_F(Images, RemovalsEndOnTheLibrarysOwnPicture)
{
    clic(p, pixel(p, 5.2, 6.0));
    ASSERT_EQ(p->selectedPlottables().size(), 1);
    EXPECT_TRUE(attendsImage(p));
    ASSERT_TRUE(QMetaObject::invokeMethod(v.get(), "removeSelectedGraph"));
    EXPECT_EQ(p->plottableCount(), 23);
    EXPECT_TRUE(commeLaBibliotheque()) << "after Remove selected shape";
    ASSERT_TRUE(QMetaObject::invokeMethod(v.get(), "removeAllGraphs"));
    EXPECT_EQ(p->plottableCount(), 0);
    EXPECT_TRUE(commeLaBibliotheque()) << "after Remove all shapes";
}

// A job whose picture has not been shown when a drag starts is cancelled;
// the picture shown at the end is that of the drag's last state.
TEST_F(Images, AGestureCancelsTheJobItInterrupts)
{
    EXPECT_TRUE(attendsImage(p));
    p->xAxis->setRange(1, 9);
    p->replot();
    ASSERT_TRUE(carte->attendImage());
    const int annules = carte->compteurs().annules;
    glisse(p, pixel(p, 5, 5), pixel(p, 4.3, 5.8));
    EXPECT_EQ(carte->compteurs().annules, annules + 1);
    EXPECT_TRUE(commeLaBibliotheque());
}

// Translucent rings of many points, heavy enough that the GUI thread acts
// while the job draws; the map drops or keeps curves under it.
class Travaux : public ::testing::Test
{
  protected:
    static std::vector<shp::Record> anneaux(int n, double decalage)
    {
        std::vector<shp::Record> r;
        for (int k = 0; k < n; ++k) {
            shp::Part anneau;
            const double cx = decalage + (k % 10) * 0.9, cy = 1 + (k / 10) * 0.4,
                         rayon = 0.3 + (k % 7) * 0.1;
            for (int i = 0; i <= 1500; ++i) {
                const double a = 2 * M_PI * i / 1500, ondule = 1 + 0.1 * std::sin(a * 40);
                anneau.push_back(
                    {cx + rayon * ondule * std::cos(a), cy + rayon * ondule * std::sin(a)});
            }
            r.push_back({5, {anneau}});
        }
        return r;
    }
    void SetUp() override
    {
        charge(*v, 5, anneaux(200, 0.5), "anneaux.shp");
        cadre(*v, QCPRange(0, 10), QCPRange(0, 10));
        attendsImage(p);
    }
    // Starts a job for a new view; the GUI thread then acts at once.
    void zoome(double x0)
    {
        p->xAxis->setRange(x0, x0 + 7);
        p->replot();
        ASSERT_TRUE(carte->attendImage());
    }

    std::unique_ptr<KaluView> v = nouvelle();
    QCustomPlot *p = plot(*v);
    ::Carte *carte = ::Carte::de(p);
};

TEST_F(Travaux, RemovalsAndLoadsWhileAJobRunsAreSafe)
{
    clic(p, pixel(p, 0.5, 1));
    ASSERT_EQ(p->selectedPlottables().size(), 1);
    attendsImage(p);
    zoome(0.5);
    ASSERT_TRUE(QMetaObject::invokeMethod(v.get(), "removeSelectedGraph"));
    EXPECT_TRUE(commeLaBibliotheque(*v, p)) << "Remove selected shape during a job";

    zoome(1);
    const std::string autre = shp::scratchPath("anneaux2.shp");
    ASSERT_TRUE(shp::write(autre, shp::file(5, anneaux(120, 1.5))));
    Capture c;
    fenetre::chargeEtAttends(*v, {QString::fromStdString(autre)});
    c.fin();
    EXPECT_EQ(p->plottableCount(), 120);
    EXPECT_TRUE(commeLaBibliotheque(*v, p)) << "a load during a job";

    zoome(0);
    ASSERT_TRUE(QMetaObject::invokeMethod(v.get(), "removeAllGraphs"));
    EXPECT_EQ(p->plottableCount(), 0);
    EXPECT_TRUE(commeLaBibliotheque(*v, p)) << "Remove all shapes during a job";
}

// A map that is a strip is cut in bands of columns, also drawn as in one pass.
TEST(Bandes, AStripIsDrawnAsInOnePass)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    std::vector<shp::Record> r;
    for (int k = 0; k < 80; ++k) {
        const double x = 0.2 + k * 0.12, y = 4.9 + (k % 3) * 0.05;
        r.push_back({5, {{{x, y}, {x + 0.3, y + 0.2}, {x + 0.5, y}, {x, y}}}});
    }
    charge(*v, 5, r, "bande.shp");
    cadre(*v, QCPRange(0, 10), QCPRange(0, 10));
    ::Carte::de(p)->setFils(3);
    p->xAxis->setRange(0.5, 9.5);
    p->replot();
    EXPECT_TRUE(commeLaBibliotheque(*v, p));
}

// A border of `n` points around (cx, cy), as wiggly as a coast.
shp::Part frontiere(double cx, double cy, double r, int n)
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
    carte->setFils(5);
    p->replot();
    EXPECT_TRUE(commeLaBibliotheque(*v, p)) << "the whole map";
    p->xAxis->setRange(1.3, 6.1);
    p->yAxis->setRange(2.2, 5.9);
    p->replot();
    EXPECT_TRUE(commeLaBibliotheque(*v, p)) << "zoomed in";
}

// Two translucent rings too big for a redraw on the GUI thread, apart, with
// small rings over and under their edges: a change of selection between
// them is drawn by a partial job, and shows meanwhile its stand-in.
class Surlignage : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        std::vector<shp::Record> r;
        for (int k = 0; k < 12; ++k) // under the big ones
            r.push_back({5, {frontiere(0.9 + k * 0.75, 3.3, 0.5, 60)}});
        r.push_back({5, {frontiere(2.5, 5, 1.5, 220000)}});
        r.push_back({5, {frontiere(7.5, 5, 1.5, 220000)}});
        for (int k = 0; k < 12; ++k) // over them
            r.push_back({5, {frontiere(0.9 + k * 0.75, 6.7, 0.5, 60)}});
        charge(*v, 5, r, "surlignage.shp");
        cadre(*v, QCPRange(0, 10), QCPRange(0, 10));
        p->legend->setVisible(false); // its items show the selection too
        carte->setFils(3);
        p->replot();
        ASSERT_TRUE(attendsImage(p));
        a = p->plottable(12);
        b = p->plottable(13);
    }
    // The window as it is now, its pending replots done, no job waited for.
    QImage image()
    {
        QApplication::processEvents();
        return v->grab().toImage();
    }
    // The box of ring `c` in the plot's pixels now.
    QRect boite(const QCPAbstractPlottable *c)
    {
        const QCPCurve *k = static_cast<const QCPCurve *>(c);
        bool ok = true;
        return QRect(pixel(p, k->getKeyRange(ok).lower, k->getValueRange(ok).upper),
                     pixel(p, k->getKeyRange(ok).upper, k->getValueRange(ok).lower));
    }
    // Pixels tinted as a selected polygon is (its pen, or its fill over
    // white, green or the grid) within `dans` (the plot's pixels).
    int teintes(const QImage &im, const QRect &dans)
    {
        const qreal r = im.devicePixelRatio();
        const QRect d = QRect((dans.topLeft() + p->mapTo(v.get(), QPoint(0, 0))) * r,
                              (dans.bottomRight() + p->mapTo(v.get(), QPoint(0, 0))) * r)
                            .adjusted(-3, -3, 3, 3)
                            .intersected(im.rect());
        int n = 0;
        for (int y = d.top(); y <= d.bottom(); ++y)
            for (int x = d.left(); x <= d.right(); ++x) {
                const QColor q = im.pixelColor(x, y);
                n += q.red() > q.green() + 20 && q.blue() > q.green() + 20;
            }
        return n;
    }
    int teintes(const QImage &im, const QCPAbstractPlottable *c) { return teintes(im, boite(c)); }
    void clicDans(const QCPAbstractPlottable *c)
    {
        const QCPCurve *k = static_cast<const QCPCurve *>(c);
        bool ok = true;
        clic(p, pixel(p, k->getKeyRange(ok).center(), k->getValueRange(ok).center()));
    }

    std::unique_ptr<KaluView> v = nouvelle();
    QCustomPlot *p = plot(*v);
    ::Carte *carte = ::Carte::de(p);
    QCPAbstractPlottable *a = nullptr, *b = nullptr;
};

// The selection moves from one ring to the other: the next frame holds no
// trace of the first one's highlight and shows the second one's outline;
// the exact picture that follows is the library's, at any pixel ratio; so
// is the picture once the selected ring is removed.
TEST_F(Surlignage, AMovedSelectionShowsAtOnceThenExactly)
{
    clicDans(a);
    ASSERT_EQ(p->selectedPlottables(), QList<QCPAbstractPlottable *>{a});
    EXPECT_TRUE(commeLaBibliotheque(*v, p)) << "the first ring selected";
    ASSERT_GT(teintes(image(), a), 1000);

    const ::Carte::Compteurs avant = carte->compteurs();
    clicDans(b);
    ASSERT_EQ(p->selectedPlottables(), QList<QCPAbstractPlottable *>{b});
    const QImage suivante = image();
    EXPECT_EQ(carte->compteurs().substituts, avant.substituts + 1) << "no stand-in";
    EXPECT_EQ(teintes(suivante, a), 0) << "the old highlight shows";
    EXPECT_GT(teintes(suivante, b), 100) << "the new selection does not show";
    EXPECT_TRUE(commeLaBibliotheque(*v, p)) << "the exact picture";
    EXPECT_GT(carte->compteurs().retouches, avant.retouches);
    EXPECT_EQ(carte->compteurs().complets, avant.complets) << "drawn from scratch";

    const QRect ouEtaitB = boite(b);
    ASSERT_TRUE(QMetaObject::invokeMethod(v.get(), "removeSelectedGraph"));
    EXPECT_EQ(teintes(image(), ouEtaitB), 0) << "the removed ring's highlight shows";
    EXPECT_TRUE(commeLaBibliotheque(*v, p)) << "after Remove selected shape";
}

// The same from the legend: a click on the second ring's item.
TEST_F(Surlignage, ALegendClickMovesTheSelectionTheSameWay)
{
    p->legend->setVisible(true);
    p->replot();
    clicDans(a);
    ASSERT_TRUE(commeLaBibliotheque(*v, p));
    const int substituts = carte->compteurs().substituts;
    clic(p, pixelLegende(p, 13));
    ASSERT_EQ(p->selectedPlottables(), QList<QCPAbstractPlottable *>{b});
    EXPECT_EQ(teintes(image(), a), 0) << "the old highlight shows";
    EXPECT_EQ(carte->compteurs().substituts, substituts + 1);
    EXPECT_TRUE(commeLaBibliotheque(*v, p));
}

// A drag that starts while the exact picture of a new selection is drawn
// cancels that job; no frame of the drag, nor any picture after it, holds
// the selection that went.
TEST_F(Surlignage, ADragDuringTheExactPictureNeverShowsTheOldSelection)
{
    clicDans(a);
    ASSERT_TRUE(attendsImage(p));
    const QRect ouEstA = boite(a);
    const int annules = carte->compteurs().annules;
    clicDans(b);
    p->replot(); // the click's queued replot, which starts the job, now
    ASSERT_TRUE(carte->attendImage());
    std::vector<QImage> vues;
    const QPoint de = pixel(p, 5, 1.5);
    QTest::mousePress(p, Qt::LeftButton, Qt::NoModifier, de);
    for (int k = 1; k <= 5; ++k) {
        const QPoint pos = de + QPoint(7 * k, 2 * k);
        QMouseEvent move(QEvent::MouseMove, pos, p->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(p, &move);
        vues.push_back(image());
    }
    EXPECT_EQ(carte->compteurs().annules, annules + 1);
    QTest::mouseRelease(p, Qt::LeftButton, Qt::NoModifier, de + QPoint(35, 10));
    for (int n = 0; n < 200 && carte->attendImage(); ++n) {
        vues.push_back(image());
        QTest::qWait(5);
    }
    EXPECT_TRUE(attendsImage(p));
    vues.push_back(image());
    for (size_t i = 0; i < vues.size(); ++i)
        EXPECT_EQ(teintes(vues[i], ouEstA.united(boite(a))), 0)
            << "picture " << i << " of " << vues.size();
    EXPECT_TRUE(commeLaBibliotheque(*v, p));
}

// A partial job draws only the footprint's tiles: every pixel a curve's
// drawing touches, selected or not, lies in them, for wiggly rings, a ring
// whose box is mostly empty, a line, a ring that leaves the view, and a
// wide pen, at the window's pixel ratio.
TEST(Empreintes, EveryPixelACurveDrawsIsInItsFootprint)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    std::vector<shp::Record> r{
        {5, {frontiere(3, 5, 2.5, 90000)}},
        {5, {{{1, 1}, {1, 9}, {1.3, 9}, {1.3, 1.3}, {9, 1.3}, {9, 1}, {1, 1}}}},
        {3, {{{0.5, 8}, {2, 8.7}, {4, 8.1}, {6.3, 9.2}, {9.5, 8.4}}}},
        {5, {frontiere(9, 3, 2.2, 4000)}}};
    charge(*v, {shapefile(5, {r[0], r[1], r[3]}, "empreintes.shp"),
                shapefile(3, {r[2]}, "empreintes-ligne.shp")});
    cadre(*v, QCPRange(0.3, 9.7), QCPRange(0.4, 9.9));
    ASSERT_EQ(p->plottableCount(), 4);
    qobject_cast<QCPCurve *>(p->plottable(3))->setPen(QPen(Qt::darkRed, 4));
    bool ok = true;
    const Vue vue = Vue::de(p, &ok);
    ASSERT_TRUE(ok);
    const QSize taille = p->size() * p->devicePixelRatioF();
    for (int k = 0; k < p->plottableCount(); ++k) {
        const Courbe *c = static_cast<const Courbe *>(p->plottable(k));
        std::shared_ptr<Scene> s = Scene::nouvelle();
        s->inscrit(*c);
        const Empreinte e(vue, *s, {0}, taille, QRect(QPoint(0, 0), taille));
        for (bool choisie : {false, true}) {
            QImage im(taille, QImage::Format_ARGB32_Premultiplied);
            im.fill(Qt::transparent);
            im.setDevicePixelRatio(vue.ratio);
            {
                QCPPainter painter(&im);
                painter.setClipRect(vue.zone());
                QVector<QPointF> lignes;
                const Scene::Element &el = s->elements[0];
                dessineCourbe(&painter, vue, *el.donnees, s->habits[0], choisie, lignes, &el.cles,
                              &el.valeurs);
            }
            int dehors = 0, dedans = 0;
            for (int y = 0; y < im.height(); ++y)
                for (int x = 0; x < im.width(); ++x)
                    if (qAlpha(reinterpret_cast<const QRgb *>(im.constScanLine(y))[x]) != 0)
                        ++(e.tuile(x, y) ? dedans : dehors);
            EXPECT_GT(dedans, 0) << k;
            EXPECT_EQ(dehors, 0) << "curve " << k << (choisie ? ", selected" : "");
        }
    }
    // The box of the second ring is mostly empty: so are its tiles.
    std::shared_ptr<Scene> s = Scene::nouvelle();
    s->inscrit(*static_cast<const Courbe *>(p->plottable(1)));
    const Empreinte e(vue, *s, {0}, taille, QRect(QPoint(0, 0), taille));
    EXPECT_FALSE(e.touche(QRect((pixel(p, 5, 5) * vue.ratio), QSize(8, 8))));
}

// A click asks the index for the curves near it: among thousands, the one
// under the pointer is still found, with its point shown.
TEST(CarteGrande, TheIndexFindsTheClickedCurveAmongThousands)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    std::vector<shp::Record> r;
    for (int k = 0; k < 3000; ++k) {
        const double x = k % 60, y = k / 60;
        r.push_back({3, {{{x, y}, {x + 0.1, y + 0.1}, {x + 0.2, y}}}});
    }
    charge(*v, 3, r, "grille.shp");
    cadre(*v, QCPRange(-1, 61), QCPRange(-1, 51), 1000, 800);
    const QCPCurve *cible = qobject_cast<QCPCurve *>(p->plottable(1234));
    const QCPCurveData point = *(cible->data()->begin() + 1);
    clic(p, pixel(p, point.key, point.value));
    ASSERT_EQ(p->selectedPlottables().size(), 1);
    EXPECT_EQ(p->selectedPlottables().first(), cible);
    EXPECT_EQ(sousTitre(*v)->text(),
              QString("shp[1234][0][..][1] = (%1, %2)").arg(point.key).arg(point.value));
}

// A click goes to the polygon that holds the pointer, though a neighbour
// drawn over it has its edge within the tolerance; away from every ring,
// to the nearest line, though another lies within the tolerance above it.
TEST(Election, AClickSelectsThePolygonItIsIn)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    charge(*v, {shapefile(5,
                          {{5, {{{1, 1}, {1, 2}, {2, 2}, {2, 1}, {1, 1}}}},
                           {5, {{{2, 1}, {2, 2}, {3, 2}, {3, 1}, {2, 1}}}}},
                          "voisins.shp"),
                shapefile(3, {{3, {{{1, 4}, {3, 4}}, {{1, 4.1}, {3, 4.1}}}}}, "paralleles.shp")});
    cadre(*v, QCPRange(0, 10), QCPRange(0, 10)); // 40 px a degree
    const struct {
        double x, y;
        int attendue;
    } clics[] = {{1.95, 1.5, 0}, {2.05, 1.5, 1}, {2, 4.03, 2}, {2, 4.07, 3}};
    for (const auto &c : clics) {
        clic(p, pixel(p, c.x, c.y));
        ASSERT_EQ(p->selectedPlottables().size(), 1) << c.x << ", " << c.y;
        EXPECT_EQ(p->selectedPlottables().first(), p->plottable(c.attendue)) << c.x << ", " << c.y;
        EXPECT_TRUE(sousTitre(*v)->text().startsWith(p->plottable(c.attendue)->name() + "[..]"));
    }
    EXPECT_TRUE(commeLaBibliotheque(*v, p));
}

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
TEST(Ebauches, EachPictureOfALoadIsTheLibrarysOwn)
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
TEST(Ebauches, AHeaderThatLiesEndsFittedToItsData)
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

// During a load the status bar tells the file and how far along it is, the
// Explorer opens (its dialog cancelled here, the load going on), and the
// message goes at the end with the busy pointer.
TEST(Progression, ALoadShowsItsProgressAndTheExplorerStillOpens)
{
    auto v = nouvelle();
    v->show();
    QStatusBar *barre = v->findChild<QStatusBar *>();
    barre->showMessage("naf", 0);
    std::vector<shp::Record> r;
    for (int k = 0; k < 3000; ++k)
        r.push_back({3, {{{k * 0.01, 0}, {k * 0.01, 1}}}});
    const std::string chemin = shp::scratchPath("progression.shp");
    ASSERT_TRUE(shp::write(chemin, shp::file(3, r)));

    QStringList messages;
    bool dialogue = false;
    QObject::connect(barre, &QStatusBar::messageChanged, [&](const QString &m) {
        messages << m;
        if (messages.size() == 1) {
            QTimer::singleShot(0, [&] {
                QToolButton *explorer = nullptr;
                for (QToolButton *b : v->findChildren<QToolButton *>())
                    if (b->defaultAction() && b->defaultAction()->text() == "&Explorer")
                        explorer = b;
                ASSERT_NE(explorer, nullptr);
                repondra<QFileDialog>([&](QFileDialog *d) {
                    dialogue = v->chargeEnCours();
                    d->reject();
                    return true;
                });
                QTest::mouseClick(explorer, Qt::LeftButton);
            });
        }
    });
    Capture c;
    fenetre::chargeEtAttends(*v, {QString::fromStdString(chemin)});
    c.fin();
    QApplication::processEvents();
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_EQ(messages.first(), QString("Lecture de « progression.shp » : 0 %"));
    EXPECT_TRUE(dialogue) << "the Explorer did not open during the load";
    EXPECT_EQ(plot(*v)->plottableCount(), 3000);
    EXPECT_TRUE(barre->currentMessage().isEmpty()) << barre->currentMessage().toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace

namespace
{

// The axes fitted from the curves' boxes are the library's own fit, on
// maps with an unplaceable point and with a range of a single value.
TEST(Cadre, TheBoxesFitTheAxesAsTheLibraryDoes)
{
    const std::vector<std::vector<shp::Record>> cartes = {
        {{3, {{{1, 2}, {1e308, 5}, {3, -4}}}}, {5, {{{-2, 0}, {0, 7}, {1, 0}, {-2, 0}}}}},
        {{3, {{{4, 1}, {4, 9}}}}, {3, {{{4, -3}, {4, 2}}}}},
    };
    int k = 0;
    for (const auto &records : cartes) {
        auto v = nouvelle();
        QCustomPlot *p = plot(*v);
        charge(*v, 3, records, "cadre" + std::to_string(k++) + ".shp");
        ::Carte::de(p)->recadre();
        const QCPRange x = p->xAxis->range(), y = p->yAxis->range();
        p->rescaleAxes(false);
        EXPECT_EQ(x, p->xAxis->range()) << k;
        EXPECT_EQ(y, p->yAxis->range()) << k;
        EXPECT_EQ(p->xAxis2->range(), p->xAxis->range()) << k;
    }
}

} // namespace
