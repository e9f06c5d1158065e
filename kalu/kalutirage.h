// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalutirage: kalu-export's raster pictures without a curve object.
//
// The window's load makes one QCPCurve per part on the GUI thread, with its
// QObject and its place in the plot's and the map's lists: on a million
// parts, a third of an export's time and half a kilobyte a part, for a
// picture that needs only the parts' data and boxes. A Tirage reads the
// files itself, one after another as that load does (kalucharge's
// Lecture), and tells the window each step the load would take
// (KaluView::lectureCommence and the others), so that the plot's view,
// title and legend, the trace lines and the window's fichierCharge() are
// that load's. It keeps the pieces as a Scene: their data shared, their
// boxes, and the two looks the window gives polygons and lines, each made
// once from a curve dressed as the load dresses its curves.
//
// While a Pose lives, the library's drawings of the plot on a raster
// picture (savePng, saveJpg, saveBmp) draw the scene where the map draws
// its curves: a layerable of its own, beside the map on the map's layer,
// has a Travail draw it on every core over what the layers below drew, and
// the layers above follow. The picture is the very bytes the same export
// with curves gives.
//
// What needs curves gets them: a legend shown (its items are the curves'),
// that is when the last file accepted has fewer than 30 parts. The curves
// are then made from the pieces as the window's load makes them, before
// the view is fitted, and avecCourbes() tells the caller to save the plot
// the usual way (Carte::Pret).
//
// Threads: GUI thread only. The reading is Lecture's, the drawing the
// pool's.
#ifndef KALUTIRAGE_H
#define KALUTIRAGE_H

#include <QString>
#include <QStringList>

#include <deque>
#include <memory>
#include <vector>

#include "kalucharge.h"
#include "kaluchargement.h"
#include "kaluregistre.h"
#include "kaluscene.h"

class Carte;
class KaluView;
class QCPPainter;
class QCustomPlot;

class Tirage
{
  public:
    // For `vue`'s plot, which must outlive it; its layerable is made now.
    explicit Tirage(KaluView *vue);
    ~Tirage();
    Tirage(const Tirage &) = delete;
    Tirage &operator=(const Tirage &) = delete;

    // Loads `fichiers` (paths as UTF-8, handed to the reader unchanged) as
    // KaluView::chargeShapefiles would without replot, and returns when
    // that load would be over: every file read or skipped, reported as the
    // window reports it, the view fitted and equalised. Runs the event loop
    // meanwhile. Once only.
    void lis(const QStringList &fichiers);

    // The parts read from the files accepted: the curves the window's load
    // would have made.
    size_t parties() const { return scene->elements.size(); }
    // The curves were made (something needed them): the plot is saved as
    // the window's, and a Pose draws nothing.
    bool avecCourbes() const { return courbes; }

    // While it lives, the plot's drawings on a raster picture draw the
    // scene (on every core, waited for); on any other painter, part by
    // part.
    class Pose
    {
      public:
        explicit Pose(Tirage &tirage);
        ~Pose();
        Pose(const Pose &) = delete;
        Pose &operator=(const Pose &) = delete;

      private:
        Tirage &tirage;
    };

  private:
    class Planche;
    struct Fiche {
        QString nom;
        bool place = false;
    };

    void faitHabits();
    void litFichier(const QString &chemin);
    void prends(Lecture &lecture, Registre::Etendue &boite);
    void oublieDepuis(size_t premiere);
    void faitCourbes();
    void dessine(QCPPainter *painter);
    bool dessineParTravail(QCPPainter *painter);
    void dessineUneAUne(QCPPainter *painter);

    KaluView *vue;
    QCustomPlot *plot;
    Carte *carte;
    Planche *planche; // the plot's
    std::shared_ptr<Scene> scene;
    std::vector<Fiche> fiches; // fiche i is the part of element i
    Registre::Etendue etendue; // of the files accepted so far
    std::deque<Piece> lot;
    bool courbes = false, actif = false;
};

#endif
