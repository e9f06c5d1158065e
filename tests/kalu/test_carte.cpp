// SPDX-License-Identifier: GPL-3.0-or-later
//
// The map (kalucarte): after every gesture, click and removal the window
// shows exactly what the plotting library's plain full replot draws,
// gestures are shown from the picture of the last drawing and drawn once at
// their end, an export through a job is the library's own picture, and the
// axes' fit from the curves' boxes is the library's.
#include <gtest/gtest.h>

#include "carte.h"
#include "kalucarte.h"
#include "kalugeste.h"
#include "kalusonde.h"

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
        Sonde(carte).setFils(4);            // bands cross the squares on any machine
        Sonde(carte).setLectureComplete(0); // states read as on a big map
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
    // Until the wheel has rested and the drawing it asked for is shown.
    bool attendsFinMolette()
    {
        const Geste *geste = p->findChild<Geste *>();
        return geste &&
               QTest::qWaitFor([&] { return !geste->enCours() && !carte->attendImage(); }, 20000);
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
    ASSERT_TRUE(attendsFinMolette());
    EXPECT_TRUE(commeLaBibliotheque()) << "after a burst of wheel turns";

    // A click on a square that others cover in part, then on an empty spot:
    // each redraws only near the curves it changed.
    const int partiels = Sonde(carte).compteurs().partiels;
    clic(p, pixel(p, 5.2, 6.0)); // inside squares 10, 11, 13 and 14, away from the lines
    ASSERT_EQ(p->selectedPlottables().size(), 1);
    EXPECT_EQ(p->selectedPlottables().first(), p->plottable(14)); // the one on top
    EXPECT_TRUE(commeLaBibliotheque()) << "after a selecting click";
    clic(p, pixel(p, 9.6, 0.3));
    EXPECT_TRUE(p->selectedPlottables().isEmpty());
    EXPECT_TRUE(commeLaBibliotheque()) << "after a click that clears the selection";
    EXPECT_EQ(Sonde(carte).compteurs().partiels, partiels + 2);
    capture(*v, "carte-apres-gestes");
}

// kalu-export's way: the library's export on an opaque pixmap, the map
// lending its curves to a job, gives the library's own pixels.
TEST_F(Images, AnExportThroughAJobIsTheLibrarysOwnPicture)
{
    clic(p, pixel(p, 2.5, 2));
    ASSERT_EQ(p->selectedPlottables().size(), 1);
    Sonde(carte).setRapide(false);
    const QImage seule = p->toPixmap(500, 400).toImage();
    Sonde(carte).setRapide(true);
    const int travaux = Sonde(carte).compteurs().travaux;
    QImage parJob;
    {
        ::Carte::Pret pret(carte);
        parJob = p->toPixmap(500, 400).toImage();
    }
    EXPECT_EQ(Sonde(carte).compteurs().travaux, travaux + 1);
    EXPECT_EQ(parJob, seule);
}

TEST_F(Images, ADragIsShownFromThePictureAndDrawnOnceAtTheRelease)
{
    attendsImage(p);
    const ::Carte::Compteurs avant = Sonde(carte).compteurs();
    const QPoint de = pixel(p, 5, 5);
    QTest::mousePress(p, Qt::LeftButton, Qt::NoModifier, de);
    for (int k = 1; k <= 5; ++k) {
        const QPoint pos = de + QPoint(6 * k, 3 * k);
        QMouseEvent move(QEvent::MouseMove, pos, p->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(p, &move);
        image();
    }
    EXPECT_EQ(Sonde(carte).compteurs().complets, avant.complets);
    EXPECT_GE(Sonde(carte).compteurs().images, avant.images + 5);
    QTest::mouseRelease(p, Qt::LeftButton, Qt::NoModifier, de + QPoint(30, 15));
    EXPECT_TRUE(attendsImage(p));
    EXPECT_TRUE(attendsImage(p));
    EXPECT_EQ(Sonde(carte).compteurs().complets, avant.complets + 1);
}

TEST_F(Images, AWheelBurstIsDrawnOnceAfterItsPause)
{
    attendsImage(p);
    const ::Carte::Compteurs avant = Sonde(carte).compteurs();
    for (int k = 0; k < 4; ++k) {
        molette(p, pixel(p, 5, 5), 1);
        image();
    }
    EXPECT_EQ(Sonde(carte).compteurs().complets, avant.complets);
    EXPECT_EQ(Sonde(carte).compteurs().images, avant.images + 4);
    ASSERT_TRUE(attendsFinMolette());
    // Whatever the rest queued (a replot, another job) runs before counting.
    QApplication::processEvents();
    EXPECT_TRUE(attendsImage(p));
    EXPECT_EQ(Sonde(carte).compteurs().complets, avant.complets + 1);
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

// Curves taken back from a rank on (a file refused, a stop in a record)
// take their legend items with them, whatever else the legend holds.
TEST_F(Images, CurvesTakenBackTakeTheirLegendItems)
{
    ASSERT_EQ(p->legend->itemCount(), 24);
    carte->retireDepuis(20);
    EXPECT_EQ(p->plottableCount(), 20);
    ASSERT_EQ(p->legend->itemCount(), 20);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(qobject_cast<QCPPlottableLegendItem *>(p->legend->item(i))->plottable(),
                  p->plottable(i));
    p->replot();
    EXPECT_TRUE(commeLaBibliotheque());
}

// A job whose picture has not been shown when a drag starts is cancelled;
// the picture shown at the end is that of the drag's last state.
TEST_F(Images, AGestureCancelsTheJobItInterrupts)
{
    EXPECT_TRUE(attendsImage(p));
    p->xAxis->setRange(1, 9);
    p->replot();
    ASSERT_TRUE(carte->attendImage());
    const int annules = Sonde(carte).compteurs().annules;
    glisse(p, pixel(p, 5, 5), pixel(p, 4.3, 5.8));
    EXPECT_EQ(Sonde(carte).compteurs().annules, annules + 1);
    EXPECT_TRUE(commeLaBibliotheque());
}

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

// `n` small squares in rows of 200 from (x0, y0): a map whose curves take
// several slices to go.
std::vector<shp::Record> damier(int n, double x0, double y0)
{
    std::vector<shp::Record> r;
    for (int k = 0; k < n; ++k) {
        const double x = x0 + (k % 200) * 0.04, y = y0 + (k / 200) * 0.04;
        r.push_back({5, {{{x, y}, {x, y + 0.03}, {x + 0.03, y + 0.03}, {x + 0.03, y}, {x, y}}}});
    }
    return r;
}

// "Remove all shapes" during a drawing job, then during a load begun while
// the first removal's curves were still going, then a load: no deleted
// curve is ever drawn, the last load is whole, and the deleted curves are
// all gone once the event loop ran.
TEST(Vidage, RemovingAllDuringAJobAndALoadDrawsNoDeletedCurve)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    ::Carte *carte = ::Carte::de(p);
    const QString grand = shapefile(5, damier(40000, 0, 0), "damier.shp");
    charge(*v, {grand});
    cadre(*v, QCPRange(-1, 9), QCPRange(-1, 9));
    ASSERT_EQ(p->plottableCount(), 40000);
    ASSERT_TRUE(attendsImage(p));

    p->xAxis->setRange(-0.5, 8.5);
    p->replot();
    ASSERT_TRUE(carte->attendImage()) << "no job runs";
    ASSERT_TRUE(QMetaObject::invokeMethod(v.get(), "removeAllGraphs"));
    EXPECT_EQ(p->plottableCount(), 0);
    EXPECT_EQ(p->legend->itemCount(), 0);

    // At once: the removed curves are still being deleted.
    Capture c;
    v->chargeShapefiles({grand});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return !v->chargeEnCours() ||
                   (p->plottableCount() > 0 && Sonde(carte).courbesEbauchees() > 0);
        },
        60000));
    ASSERT_TRUE(v->chargeEnCours()) << "the load ended before it could be emptied";
    ASSERT_TRUE(QMetaObject::invokeMethod(v.get(), "removeAllGraphs"));
    EXPECT_EQ(p->plottableCount(), 0);
    EXPECT_TRUE(attendsChargement(*v));
    EXPECT_EQ(p->plottableCount(), 0);
    EXPECT_TRUE(commeLaBibliotheque(*v, p)) << "after Remove all shapes during a load";

    const std::vector<shp::Record> petit = damier(300, 2, 3);
    v->chargeShapefiles({shapefile(5, petit, "petit.shp")});
    EXPECT_TRUE(attendsChargement(*v));
    c.fin();
    EXPECT_EQ(p->plottableCount(), 300) << "the load after the removals is not whole";
    EXPECT_TRUE(commeLaBibliotheque(*v, p)) << "after a load that followed the removals";
    EXPECT_TRUE(QTest::qWaitFor([&] { return p->findChildren<QCPCurve *>().size() == 300; }, 20000))
        << p->findChildren<QCPCurve *>().size() << " curves alive";
}

} // namespace
