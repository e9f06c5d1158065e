// SPDX-License-Identifier: GPL-3.0-or-later
//
// A load runs off the GUI thread: meanwhile the window repaints and follows
// a resize, takes no click and no Explorer, and a close ends the load; what
// the load prints and makes is what the loader always made.
#include <gtest/gtest.h>

#include <QStatusBar>
#include <QTimer>

#include <sstream>

#include "carte.h"

namespace
{

using namespace fenetre;

// A few thousand parts: records of one or two lines.
std::vector<shp::Record> traits(int n)
{
    std::vector<shp::Record> r;
    for (int k = 0; k < n; ++k) {
        const double x = k % 70, y = k / 70;
        if (k % 3 == 0)
            r.push_back({3, {{{x, y}, {x + 0.5, y + 0.5}}, {{x, y + 0.5}, {x + 0.5, y}}}});
        else
            r.push_back({3, {{{x, y}, {x + 0.4, y + 0.2}, {x + 0.8, y}}}});
    }
    return r;
}

// The loader's lines for `records`, in file order.
std::string lignesAttendues(const std::vector<shp::Record> &records)
{
    std::ostringstream o;
    for (size_t i = 0; i < records.size(); ++i) {
        o << "rcdi=" << i << ", partn=" << records[i].parts.size() << "\n";
        for (size_t p = 0; p < records[i].parts.size(); ++p)
            o << "parti=" << p << "\n";
    }
    return o.str();
}

// Counts the plot's paints and resizes while a load is under way.
class Temoin : public QObject
{
  public:
    Temoin(KaluView &v, QWidget *plot) : v(v) { plot->installEventFilter(this); }
    int peintures = 0, redimensionnements = 0;

  protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (v.chargeEnCours() && e->type() == QEvent::Paint)
            ++peintures;
        if (v.chargeEnCours() && e->type() == QEvent::Resize)
            ++redimensionnements;
        return false;
    }

  private:
    KaluView &v;
};

TEST(Chargement, TheWindowLivesThroughALoadThatMakesWhatItAlwaysMade)
{
    auto v = nouvelle();
    v->resize(700, 500);
    v->show();
    v->activateWindow(); // its shortcuts live, the Explorer's among them
    ASSERT_TRUE(QTest::qWaitForWindowActive(v.get()));
    QCustomPlot *p = plot(*v);
    const std::vector<shp::Record> r = traits(4000);
    const std::string chemin = shp::scratchPath("vivant.shp");
    ASSERT_TRUE(shp::write(chemin, shp::file(3, r)));
    Temoin temoin(*v, p);

    bool pendant = false, dialogue = false;
    const QString sousTitre = fenetre::sousTitre(*v)->text();
    QTimer::singleShot(0, [&] {
        pendant = v->chargeEnCours();
        v->resize(800, 560);
        v->repaint();
        // A click on a curve's place and the Explorer's key: both refused.
        QTimer::singleShot(0, [&] {
            if (QApplication::activeModalWidget()) {
                dialogue = true;
                QApplication::activeModalWidget()->close();
            }
        });
        clic(p, QPoint(p->width() / 2, p->height() / 2));
        QTest::keySequence(v.get(), QKeySequence::Open);
    });
    Capture c;
    v->chargeShapefiles({QString::fromStdString(chemin)});
    const Sorties s = c.fin();

    ASSERT_TRUE(pendant) << "the actions came after the load";
    EXPECT_FALSE(v->chargeEnCours());
    EXPECT_GT(temoin.peintures, 0);
    EXPECT_GT(temoin.redimensionnements, 0);
    EXPECT_FALSE(dialogue);
    EXPECT_TRUE(p->selectedPlottables().isEmpty());
    EXPECT_EQ(fenetre::sousTitre(*v)->text(), sousTitre);

    // The same lines in the same order, between the count of files and the
    // scale's lines; the same curves, names, colours, legend and title.
    const std::string attendu =
        "Nombre fichiers *.shp : 1\n" + lignesAttendues(r) + "ui->customPlot->width()=";
    EXPECT_EQ(s.out.compare(0, attendu.size(), attendu), 0) << s.out.substr(0, 300);
    ASSERT_EQ(p->plottableCount(), 4000 + 4000 / 3 + 1);
    EXPECT_EQ(p->plottable(1)->name(), "shp[0][1]");
    EXPECT_EQ(p->plottable(p->plottableCount() - 1)->name(), "shp[3999][1]");
    EXPECT_EQ(p->plottable(7)->pen().color(), QColor(0, 102, 255));
    EXPECT_EQ(p->plottable(7)->brush().style(), Qt::NoBrush);
    EXPECT_FALSE(p->legend->visible());
    EXPECT_EQ(titre(*v)->text(), QString("Shapefile: '%1'").arg(QString::fromStdString(chemin)));
    attendsImage(p);
    EXPECT_TRUE(commeLaBibliotheque(*v, p));
}

// The map emptied while a load makes its curves (as "Remove all" would,
// were input not refused): the load ends on the curves made since, none of
// those emptied left in the plot.
TEST(Chargement, TheMapEmptiedDuringALoadEndsOnTheCurvesMadeSince)
{
    auto v = nouvelle();
    v->show();
    QCustomPlot *p = plot(*v);
    const std::string chemin = shp::scratchPath("videe.shp");
    ASSERT_TRUE(shp::write(chemin, shp::file(3, traits(20000))));
    // Emptied once curves were made.
    bool videe = false;
    QTimer tic;
    QObject::connect(&tic, &QTimer::timeout, [&] {
        if (!videe && v->chargeEnCours() && ::Carte::de(p)->rangSuivant() > 0) {
            ::Carte::de(p)->vide();
            videe = true;
        }
    });
    tic.start(1);
    Capture c;
    v->chargeShapefiles({QString::fromStdString(chemin)});
    c.fin();
    ASSERT_TRUE(videe) << "the load ended before the map was emptied";
    EXPECT_LT(p->plottableCount(), 20000 + 20000 / 3 + 1);
    EXPECT_TRUE(commeLaBibliotheque(*v, p));
}

// Closing the window in the middle of a load (its quit key, which the load
// leaves live) ends it: the loader returns, its thread gone, with the
// file's curves not all made.
TEST(Chargement, ACloseEndsTheLoad)
{
    qApp->setQuitOnLastWindowClosed(false);
    auto v = nouvelle();
    v->show();
    v->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(v.get()));
    const std::string chemin = shp::scratchPath("ferme.shp");
    ASSERT_TRUE(shp::write(chemin, shp::file(3, traits(4000))));
    QTimer::singleShot(0, [&] { QTest::keySequence(v.get(), QKeySequence(Qt::CTRL | Qt::Key_Q)); });
    Capture c;
    v->chargeShapefiles({QString::fromStdString(chemin)});
    const Sorties s = c.fin();
    EXPECT_FALSE(v->chargeEnCours());
    EXPECT_FALSE(v->isVisible());
    EXPECT_LT(plot(*v)->plottableCount(), 4000);
    EXPECT_EQ(s.out.find("ui->customPlot->width()="), std::string::npos)
        << "fitted after the close";

    // Shown again, the window loads as before.
    v->show();
    Capture encore;
    v->chargeShapefiles({QString::fromStdString(chemin)});
    encore.fin();
    EXPECT_EQ(plot(*v)->plottableCount(), 5334);
}

// A file whose reading fails halfway leaves title, curves and legend as
// the files before it left them.
TEST(Chargement, AFileThatFailsHalfwayLeavesThePlotAsItWas)
{
    auto v = nouvelle();
    v->show();
    QCustomPlot *p = plot(*v);
    std::vector<shp::Record> bon = traits(20);
    const std::string chemin = shp::scratchPath("bon.shp");
    ASSERT_TRUE(shp::write(chemin, shp::file(3, bon)));
    std::vector<shp::Record> casse = traits(30000);
    casse[25000].type = 1; // a Point record in a PolyLine file
    const std::string mauvais = shp::scratchPath("casse-milieu.shp");
    ASSERT_TRUE(shp::write(mauvais, shp::file(3, casse)));
    // The curves of the records before the broken one are made, and drawn,
    // while the file is read.
    size_t faites = 0;
    QTimer tic;
    QObject::connect(&tic, &QTimer::timeout,
                     [&] { faites = std::max(faites, ::Carte::de(p)->rangSuivant()); });
    tic.start(1);

    Capture c;
    v->chargeShapefiles({QString::fromStdString(chemin), QString::fromStdString(mauvais)});
    const Sorties s = c.fin();
    EXPECT_GT(faites, 27u) << "the broken file made no curve before its verdict";
    EXPECT_EQ(p->plottableCount(), 27);
    EXPECT_TRUE(commeLaBibliotheque(*v, p));
    EXPECT_TRUE(p->legend->visible());
    EXPECT_EQ(titre(*v)->text(), QString("Shapefile: '%1'").arg(QString::fromStdString(chemin)));
    EXPECT_NE(s.err.find("erreur fscan_shp()!"), std::string::npos);
    EXPECT_EQ(s.out.find("rcdi=1500"), std::string::npos);
    EXPECT_EQ(v->statusBar()->currentMessage(), "'casse-milieu.shp' could not be read");
}

// While the map is drawn as it loads: a new load asked for does nothing,
// the map emptied (as "Remove all shapes" empties it) lets the load go on
// into an empty map, and a close ends it; each comes while pictures of the
// load are being drawn.
TEST(Chargement, WhatComesWhileTheMapIsDrawnAsItLoads)
{
    qApp->setQuitOnLastWindowClosed(false);
    auto v = nouvelle();
    v->show();
    QCustomPlot *p = plot(*v);
    ::Carte *carte = ::Carte::de(p);
    const std::string chemin = shp::scratchPath("dessinee.shp");
    ASSERT_TRUE(shp::write(chemin, shp::file(3, traits(60000))));
    const std::string autre = shp::scratchPath("autre.shp");
    ASSERT_TRUE(shp::write(autre, shp::file(3, traits(10))));
    int etape = 0, vues = 0;
    QObject::connect(p, &QCustomPlot::afterReplot, [&] {
        if (carte->compteurs().ebauches == vues || !v->chargeEnCours())
            return;
        vues = carte->compteurs().ebauches;
        QTimer::singleShot(0, [&] {
            switch (etape++) {
            case 0:
                v->chargeShapefiles({QString::fromStdString(autre)});
                break;
            case 1:
                QMetaObject::invokeMethod(v.get(), "removeAllGraphs");
                // Closed while the curves made since are drawn.
                QTimer::singleShot(20, [&] {
                    ++etape;
                    v->close();
                });
                break;
            }
        });
    });
    Capture c;
    v->chargeShapefiles({QString::fromStdString(chemin)});
    c.fin();
    EXPECT_GE(etape, 3);
    EXPECT_FALSE(v->chargeEnCours());
    EXPECT_FALSE(v->isVisible());
    EXPECT_LT(p->plottableCount(), 60000);
    EXPECT_NE(titre(*v)->text(), QString("Shapefile: '%1'").arg(QString::fromStdString(autre)));
}

} // namespace
