// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the window tests: build a KaluView, reach its plot, texts and
// actions, size its axis rectangle, and save screenshots under the build
// tree.
#ifndef KALU_TEST_FENETRE_H
#define KALU_TEST_FENETRE_H

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QThread>
#include <QtGlobal>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "capture.h"
#include "kalucarte.h"
#include "kalusonde.h"
#include "kaluview.h"

namespace fenetre
{

// A new window, not shown.
inline std::unique_ptr<KaluView> nouvelle()
{
    return std::unique_ptr<KaluView>(new KaluView(nullptr));
}

// Triggers the window's action of that text ("&Explorer", "&À propos de")
// as its tool bar button does; false if the window has none.
inline bool declenche(KaluView &v, const QString &texte)
{
    for (QAction *a : v.findChildren<QAction *>(QString(), Qt::FindDirectChildrenOnly))
        if (a->text() == texte) {
            a->trigger();
            return true;
        }
    return false;
}

inline QCustomPlot *plot(KaluView &v)
{
    return v.findChild<QCustomPlot *>("customPlot");
}

// A window never shown, its plot `taille` and laid out as kalu-export sets
// it up.
inline std::unique_ptr<KaluView> commeExport(const QSize &taille)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    p->resize(taille);
    p->setViewport(p->rect());
    p->replot();
    v->adjustEqualScale();
    return v;
}

// Runs the event loop until the window's load is over (done, stopped or
// replaced), for at most 120 s; false if it still runs.
inline bool attendsChargement(KaluView &v)
{
    for (int k = 0; v.chargeEnCours() && k < 600000; ++k) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (v.chargeEnCours())
            QThread::usleep(200);
    }
    return !v.chargeEnCours();
}

// Starts a load as the Explorer does and waits for its end.
inline void chargeEtAttends(KaluView &v, const QStringList &fichiers, bool replot = true)
{
    v.chargeShapefiles(fichiers, replot);
    EXPECT_TRUE(attendsChargement(v)) << "the load did not end";
}

// The paths as the Explorer's dialog hands them over.
inline QStringList liste(const std::vector<std::string> &chemins)
{
    QStringList l;
    for (const std::string &c : chemins)
        l << QString::fromStdString(c);
    return l;
}

// Loads the files as the Explorer does its choice and waits for its end;
// returns what the load wrote on the terminal.
inline Sorties charge(KaluView &v, const QStringList &fichiers)
{
    Capture c;
    chargeEtAttends(v, fichiers);
    return c.fin();
}

inline Sorties charge(KaluView &v, const std::vector<std::string> &chemins)
{
    return charge(v, liste(chemins));
}

// The plot's curves, wherever they are in its QObject tree (in the middle
// of a load too), each watched: a pointer goes null when its curve is
// deleted.
inline std::vector<QPointer<QCPCurve>> suivies(QCustomPlot *p)
{
    std::vector<QPointer<QCPCurve>> r;
    for (QCPCurve *c : p->findChildren<QCPCurve *>())
        r.emplace_back(c);
    return r;
}

// How many of the curves watched are not deleted.
inline long restantes(const std::vector<QPointer<QCPCurve>> &courbes)
{
    return std::count_if(courbes.begin(), courbes.end(),
                         [](const QPointer<QCPCurve> &c) { return !c.isNull(); });
}

inline QCPTextElement *titre(KaluView &v)
{
    return qobject_cast<QCPTextElement *>(plot(v)->plotLayout()->element(0, 0));
}

inline QCPTextElement *sousTitre(KaluView &v)
{
    return qobject_cast<QCPTextElement *>(plot(v)->plotLayout()->element(1, 0));
}

// The loader's title holds the file's full path, as long as the build
// tree's: cut it to the file name before fixing sizes, so that the title
// cannot widen the plot beyond the wanted rectangle wherever tests run.
inline void titreCourt(KaluView &v)
{
    QCPTextElement *t = titre(v);
    const int barre = t->text().lastIndexOf('/');
    if (barre >= 0)
        t->setText("Shapefile: '" + t->text().mid(barre + 1));
}

// Resizes the shown window until the plot's axis rectangle is w x h pixels.
inline bool fixeAxisRect(KaluView &v, int w, int h)
{
    QCustomPlot *p = plot(v);
    for (int essai = 0; essai < 8; ++essai) {
        QApplication::processEvents();
        p->replot();
        int dw = w - p->axisRect()->width(), dh = h - p->axisRect()->height();
        if (dw == 0 && dh == 0)
            return true;
        v.resize(v.width() + dw, v.height() + dh);
    }
    return false;
}

// Runs the event loop until the map's complete drawing of the present
// state is on screen (its job done and shown), for at most 20 s.
inline bool attendsImage(QCustomPlot *p)
{
    ::Carte *carte = ::Carte::de(p);
    QApplication::processEvents();
    for (int k = 0; carte && carte->attendImage() && k < 20000; ++k) {
        QApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(200);
    }
    QApplication::processEvents();
    return !carte || !carte->attendImage();
}

// Whether the window shows, once its map's job is in, what the plotting
// library's own full replot of the same state draws; if not, both pictures
// are left in the screenshots' directory.
inline bool commeLaBibliotheque(QWidget &w, QCustomPlot *p)
{
    ::Carte *carte = ::Carte::de(p);
    EXPECT_TRUE(attendsImage(p));
    const QImage vue = w.grab().toImage();
    Sonde(carte).setRapide(false);
    p->replot();
    const QImage reference = w.grab().toImage();
    Sonde(carte).setRapide(true);
    p->replot();
    attendsImage(p);
    if (vue == reference)
        return true;
    QDir().mkpath(KALU_SCREENSHOT_DIR);
    vue.save(KALU_SCREENSHOT_DIR "/ecart-vue.png");
    reference.save(KALU_SCREENSHOT_DIR "/ecart-reference.png");
    return false;
}

// Saves the window as it is drawn to <build>/screenshots/<nom>.png, once
// its map's picture is complete.
inline QString capture(QWidget &w, const QString &nom)
{
    for (QCustomPlot *p : w.findChildren<QCustomPlot *>())
        attendsImage(p);
    if (QCustomPlot *p = qobject_cast<QCustomPlot *>(&w))
        attendsImage(p);
    QDir().mkpath(KALU_SCREENSHOT_DIR);
    QString chemin = QString(KALU_SCREENSHOT_DIR) + "/" + nom + ".png";
    EXPECT_TRUE(w.grab().save(chemin)) << chemin.toStdString();
    return chemin;
}

} // namespace fenetre

#endif
