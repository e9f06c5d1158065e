// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalutirage: kalu-export's raster pictures without a curve object.
//
// The window's load makes one QCPCurve per part on the GUI thread, with its
// QObject and its place in the plot's and the map's lists: on a million
// parts, a third of an export's time and half a kilobyte a part, for a
// picture that needs only the parts' data and boxes. A Tirage reads the
// files itself, one after another as that load does (kalulecture's
// Lecture), and tells the window each step the load would take
// (Seance::lectureCommence and the others), so that the plot's view,
// title and legend, the trace lines and the window's fichierCharge() are
// that load's. It keeps the pieces as a Scene: their data shared, their
// boxes, and the two looks the window gives polygons and lines, each made
// once from a curve dressed as the load dresses its curves.
//
// The parts are drawn as they come, by the pictures the map's load has
// for an export (kaluapercu): once the view is set from a file's header, the
// plot is drawn as the export will draw it, its picture under the curves
// taken where the map's layer is, and each lot of new parts is drawn over
// the last picture by a job on every core while the reading goes on. A
// part that lies beyond the box the view was set for (a header that lied)
// stops the pictures until the file's points' box sets the view again, and
// they begin only with the file after which no header declares points
// beyond that box: no picture is drawn for a view known to be stale or to
// move.
//
// While a Pose lives, the library's drawings of the plot on a raster
// picture (savePng, saveJpg, saveBmp) draw the scene where the map draws
// its curves: a layerable of its own, beside the map on the map's layer,
// puts there the picture drawn as the load went, if it is for this view
// and what lies under it, with the parts left; else a Travail draws them
// all on every core over what the layers below drew. The layers above
// follow. The picture is the very bytes the same export with curves
// gives.
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

#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <memory>
#include <vector>

#include "kaluapercu.h"
#include "kaluchargement.h"
#include "kalulecture.h"
#include "kaluregistre.h"
#include "kaluscene.h"

class Carte;
class QCPPainter;
class QCustomPlot;

class Tirage : public QObject, private Apercu::Source
{
    Q_OBJECT

  public:
    // Who is told each step the window's own load of the files would take,
    // at the same point (the window: KaluView). `etendue` is the box of
    // the placed points of the files accepted before (at the end, of all
    // of them).
    class Temoin
    {
      public:
        virtual void lectureCommence(const QStringList &fichiers) = 0;
        virtual void lectureFichier(const QString &chemin, const Registre::Etendue &etendue) = 0;
        virtual void lectureAcceptee(const QString &chemin, const Lecture &lue,
                                     const Registre::Etendue &etendue) = 0;
        virtual void lectureFinie(const QString &chemin, Chargement::Refus refus, int courbes) = 0;
        virtual void lectureTerminee(const Registre::Etendue &etendue) = 0;

      protected:
        ~Temoin() = default;
    };

    // For `plot` and its map, which must outlive it, the curves dressed
    // with `habits` should any be made; `temoin` is told each step. Its
    // layerable is made now.
    Tirage(QCustomPlot *plot, Carte *carte, Temoin *temoin, Chargement::Habits habits);
    ~Tirage() override;
    Tirage(const Tirage &) = delete;
    Tirage &operator=(const Tirage &) = delete;

    // Loads `fichiers` (paths as UTF-8, handed to the reader unchanged) as
    // KaluView::chargeShapefiles would without replot, and returns at once;
    // termine() tells when that load would be over: every file read or
    // skipped, reported as the window reports it, the view fitted and
    // equalised. Once only.
    void lis(const QStringList &fichiers);

    // The parts read from the files accepted: the curves the window's load
    // would have made.
    size_t parties() const override { return scene->elements.size(); }
    // Some part read has a point the plot can place: a shape is drawn.
    bool placees() const { return etendue.trouvee; }
    // While the window's fichierCharge() is sent for a file, why it was
    // skipped, as the window's load tells it (Aucun: it was read).
    Chargement::Refus refus() const { return refus_; }
    // The curves were made (something needed them): the plot is saved as
    // the window's, and a Pose draws nothing.
    bool avecCourbes() const { return courbes; }
    // Tests: the parts handed to the drawing jobs so far, and the jobs.
    size_t partiesDessinees() const { return dessinees; }
    int travaux() const { return jobs; }

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

  signals:
    void termine();

  private:
    class Planche;
    struct Fiche {
        int rcdi = 0, parti = 0;
        bool place = false;
    };

    void faitHabits();
    void litSuivant();
    void surArrivees();
    void surLu();
    void finFichier();
    void finLecture();
    static Registre::Etendue entete(const QString &chemin);
    void cadreEntete(size_t rang);
    void reprend(size_t rang, bool connu);
    static Chargement::Refus verdict(const Lecture &lecture, bool plein, const QString &chemin);
    void prends(Lecture &lecture, Registre::Etendue &boite);
    void oublieDepuis(size_t premiere);
    void faitCourbes();
    void esquisse();
    unsigned rangs() const override { return 0; }
    std::shared_ptr<const Scene> lot(size_t debut, bool lecture,
                                     std::shared_ptr<const Etats> &etats) override;
    bool dessinable() const override { return scene->dessinable; }
    void dessine(QCPPainter *painter);
    bool dessineParTravail(const QCPPainter *painter, QImage &tampon, const Vue &v);
    void dessineUneAUne(QCPPainter *painter);

    QCustomPlot *plot;
    Temoin *temoin;
    const Chargement::Habits habits;
    Carte *carte;
    Planche *planche; // the plot's
    std::shared_ptr<Scene> scene;
    std::vector<Fiche> fiches; // fiche i is the part of element i
    Registre::Etendue etendue; // of the files accepted so far
    std::deque<Piece> pieces;  // taken from the reading, not yet elements
    size_t premiere = 0;       // the first part of the file being read
    size_t courant = 0;        // its rank among the files
    // The files, the one being read, its points' box, whether its verdict
    // came, whether memory ran out for its pieces, whether it is over.
    QStringList fichiers;
    std::unique_ptr<Lecture> lecture;
    Registre::Etendue boite;
    bool juge = false, plein = false, fini = false;
    bool courbes = false, actif = false;
    Chargement::Refus refus_ = Chargement::Refus::Aucun; // of the file last read

    // The pictures as the load goes, and the box their view was set for:
    // they wait (Apercu::Mode::Attente) while a part lay beyond it or no
    // box set it.
    Apercu apercu{plot, *this, nullptr, 0};
    std::vector<Registre::Etendue> entetes; // the boxes the files' headers declare
    Registre::Etendue cadre;
    size_t dessinees = 0;
    int jobs = 0;
};

#endif
