// SPDX-License-Identifier: GPL-3.0-or-later
//
// A selection's stand-in and the footprints of partial jobs
// (kalusurligne): a change of selection too big for the GUI thread shows at
// once as the new selection's outline over the picture with none selected,
// never the selection that went, then exactly; a partial job's tiles hold
// every pixel the changed curves draw.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include <cmath>

#include "carte.h"
#include "kalucarte.h"
#include "kalusonde.h"
#include "kalusurligne.h"

namespace
{

using namespace fenetre;

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
        Sonde(carte).setFils(3);
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

    const ::Carte::Compteurs avant = Sonde(carte).compteurs();
    clicDans(b);
    ASSERT_EQ(p->selectedPlottables(), QList<QCPAbstractPlottable *>{b});
    const QImage suivante = image();
    EXPECT_EQ(Sonde(carte).compteurs().substituts, avant.substituts + 1) << "no stand-in";
    EXPECT_EQ(teintes(suivante, a), 0) << "the old highlight shows";
    EXPECT_GT(teintes(suivante, b), 100) << "the new selection does not show";
    EXPECT_TRUE(commeLaBibliotheque(*v, p)) << "the exact picture";
    EXPECT_GT(Sonde(carte).compteurs().retouches, avant.retouches);
    EXPECT_EQ(Sonde(carte).compteurs().complets, avant.complets) << "drawn from scratch";

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
    const int substituts = Sonde(carte).compteurs().substituts;
    clic(p, pixelLegende(p, 13));
    ASSERT_EQ(p->selectedPlottables(), QList<QCPAbstractPlottable *>{b});
    EXPECT_EQ(teintes(image(), a), 0) << "the old highlight shows";
    EXPECT_EQ(Sonde(carte).compteurs().substituts, substituts + 1);
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
    const int annules = Sonde(carte).compteurs().annules;
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
    EXPECT_EQ(Sonde(carte).compteurs().annules, annules + 1);
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
TEST(Tuiles, EveryPixelACurveDrawsIsInItsFootprint)
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

} // namespace
