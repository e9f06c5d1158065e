// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalucarte: the map, what keeps a map of a million parts as fluid as one of
// a thousand while every part stays one QCPCurve with its legend item, and
// the window never waits for a drawing.
//
// What it guarantees:
// - Loading is linear: a curve and its legend item are registered with the
//   plot, its layers and its QObject trees in constant time. A curve's legend
//   item is made when the legend shows or someone asks for it.
// - No complete drawing of the curves runs on the GUI thread. A replot that
//   needs one (after a gesture, a load, a removal, a resize, a layout
//   change) starts a drawing job (kalutravail) on every core, on a snapshot
//   of the curves (kaluscene) and of the view (kaluvue), and shows meanwhile
//   the last picture moved and scaled to the present ranges. The job's
//   picture is shown as soon as it is done, if the view and the curves are
//   still those it was made for; imageComplete() then tells it is on screen.
//   A gesture cancels the running job; a replot for another state replaces
//   it.
// - Every picture shown once the jobs are done is pixel-identical to the
//   library's plain full replot of the same state, at every device pixel
//   ratio: the job draws each curve with the curve's own drawing
//   (kalutrace), in bands clipped on full-size pictures.
// - A replot whose view is unchanged gets the last picture back by a copy,
//   and redraws only the neighbourhood of the curves whose selection or
//   visibility changed (a click, a removal); past a budget of points, that
//   too is a job, limited to the rectangle the change touches, and the
//   picture shows meanwhile the new selection's outline over the picture
//   with none selected (kalusurligne): never the selection that went.
// - A click asks only the curves near it: a grid index of the curves' boxes
//   (kaluindex) answers for the others, and its answer is exact.
// - "Remove all" empties the plot at once; the curves' objects are deleted
//   in slices from the event loop, their data freed off the GUI thread.
// - During a load the replots show the curves made so far: each lot of new
//   curves is drawn by a job over the last picture (kaluapercu), which
//   gives the very pixels one drawing of them all would; the load's end
//   finds the complete picture made if its view is the one drawn for.
// - Exports draw every curve before they return: the library's own
//   (toPixmap, savePng, toPainter...) through the curves' own drawing; those
//   made through Pret (kalu-export) with a job on every core, waited for,
//   when they paint on a raster picture.
//
// What Carte keeps, its curves' registry (kaluregistre), click filter
// (kaluclic), legend (kalulegende), states as last read (kalusuivi),
// scene with its index (kalucache), partial redraw (kaluretouche) and the
// load's and the export's pictures (kaluapercu, to which it gives lots as
// its Source and its replots as its Fenetre) being classes of their own:
// the axes' fit (recadre, cadre), lending itself the curves (prete, rend,
// Pret), the draw's dispatch (dessine), the running job and the picture's
// state (image), and the counters.
//
// Threads: every class here is used on the GUI thread only. The jobs never
// see them: they get a Scene, the curves' states and a Vue.
#ifndef KALUCARTE_H
#define KALUCARTE_H

#include <QImage>

#include <memory>
#include <vector>

#include "kaluapercu.h"
#include "kalucache.h"
#include "kaluclic.h"
#include "kalucliche.h"
#include "kalucourbe.h"
#include "kalugeste.h"
#include "kaluindex.h"
#include "kalulegende.h"
#include "kaluregistre.h"
#include "kaluretouche.h"
#include "kaluscene.h"
#include "kalusuivi.h"
#include "kalutravail.h"
#include "qcustomplot.h"

// The map: the one layerable that draws every curve, on the layer just above
// the curves' own. During a replot the curves' layer lends it its children,
// so the layer draws none of them and the map shows them all; everywhere
// else (clicks, the library's exports) the curves are the layer's children
// as usual.
class Carte : public QCPLayerable,
              public Courbe::Tutelle,
              private Apercu::Source,
              private Apercu::Fenetre
{
    Q_OBJECT

  public:
    // The curves' layer and the map's own are made above "main"; the legend
    // items' layer above "legend".
    explicit Carte(QCustomPlot *plot);
    ~Carte() override;

    static Carte *de(QCustomPlot *plot);

    // Makes a curve on the plot's bottom and left axes, registered, placed
    // on the curves' layer and parented to the curves' holder, last in the
    // drawing order. The plot's list of plottables is set aside between
    // debutAjouts and finAjouts, so that each registration is short; the
    // replots meanwhile show the curves made so far during a load
    // (debutChargement), none otherwise. A new `lot` (a file) holds its
    // curves apart, to be taken back cheaply (retireDepuis); a slice of the
    // same file goes on with it, and the plot is whole between slices, so
    // the user's selections and removals see every curve made so far.
    void debutAjouts(bool fichier = true) { registre.debutAjouts(fichier); }
    // `place` tells whether the curve has a point to place at all: its box
    // is then that of its placed points. Every point of the curve that is
    // not NaN lies in the box: its drawing relies on that.
    Courbe *ajoute(const QCPRange &cles, const QCPRange &valeurs, bool place);
    // Optional, once a curve made by ajoute has its data and look: its part
    // of the next drawing's scene is made now, while the curve is at hand,
    // rather than in the replot after a load, where a million curves
    // reached one by one cost half a second. A curve changed afterwards
    // (data, pens) before that replot must not have been inscribed.
    void inscrit(Courbe *c) { registre.inscrit(c); }
    void finAjouts() { registre.finAjouts(); }
    // Makes room for `courbes` curves in all: none of the map's lists is
    // then grown by a copy of its entries before that many.
    void prevoit(size_t courbes) { registre.prevoit(courbes); }
    // A load's parts read whose curves are not made yet, in the order their
    // curves will be made, after every curve made: each ajoute takes the
    // first. The load's pictures draw them as soon as they are read rather
    // than once their curves are made; the picture is the same, since a
    // curve draws what its part's element says. `suivants[k].habit` indexes
    // `habits`, the looks their curves will have (Habit::de of a curve made
    // the same way). Taken back with the curves (retireDepuis, vide).
    void annonce(std::vector<Scene::Element> &suivants, const std::vector<Habit> &habits);
    size_t annoncees() const { return apercu.ebauche().annoncees(); }
    // The number of curves, holes included: the rank the next one gets.
    size_t rangSuivant() const { return registre.courbes().size(); }
    // Removes the curves from rank `debut` on, with their legend items, as
    // vide() removes them all: a file the reader rejects halfway takes back
    // the curves it made.
    void retireDepuis(size_t debut);
    // The parts announced are not to become curves (a load stopped): the
    // pictures forget them, and are begun again if they drew any.
    void oublieAnnoncees();

    // Fits the bottom and left axes to every curve, as the plot's
    // rescaleAxes(false) would, from the curves' boxes (Cadrage::cadre);
    // the top and right axes follow their twins.
    void recadre();
    // The union of the placed curves' boxes: a load sets first the view it
    // will end at.
    Registre::Etendue etendue() { return registre.etendue(); }

    // A load, from the emptied map on: until finChargement the replots show
    // the curves made so far, drawn by jobs lot after lot as they come (a
    // new picture at most every INTERVALLE_EBAUCHE ms while curves come).
    // Once it ends, the replots show the pictures still coming until the
    // complete one, if the view is still the one they are drawn for: no
    // drawing starts from scratch.
    void debutChargement();
    void finChargement();
    static const int INTERVALLE_EBAUCHE = 100;
    // kalu-export: the curves of an export of `taille` (the plot's own) are
    // drawn as the load makes them, over the export's picture as it would
    // be now, taken by drawing the plot as the export does; an export of
    // that view then draws only the curves left. Called once the view is
    // set, and again whenever it changes.
    void esquisse(const QSize &taille);

    // A curve and its legend item are selected together, whichever of the
    // two was: both then are, the curve as a whole.
    void accordeSelection();

    // Gives every curve that has none its legend item, in order, each
    // selected as its curve is. None during a load (debutChargement to
    // finChargement): a legend still shown from the last map would make a
    // big load's items at every replot of the load, before the load's end
    // decides whether the legend shows at all.
    void faitEntrees();

    // Removes every curve with its legend item: the plot, its layers and
    // the legend are empty on return; the curves' objects go in slices.
    void vide();

    // Lends the curves to the map for a drawing outside a replot (the
    // library's exports, as kalu-export makes them), so that the map draws
    // them all before the drawing goes on: with a job on every core, waited
    // for, on a raster picture; else one by one.
    class Pret
    {
      public:
        explicit Pret(Carte *carte);
        ~Pret();
        Pret(const Pret &) = delete;
        Pret &operator=(const Pret &) = delete;

      private:
        Carte *carte;
    };

    // What the replots did: complete drawings shown (a job's or, where no
    // job can draw, the replot's own), pictures moved during a gesture or a
    // wait, partial redraws, copies of the last drawing; jobs started and
    // jobs cancelled; pictures of a load under way shown, each with at
    // least one curve drawn (ebauches); stand-ins of a selection shown while
    // a partial job draws (substituts), and partial jobs' pictures taken
    // (retouches); the time the last complete job and the last partial one
    // whose picture was taken took, from their start to their picture, s.
    // The partial redraw's are its own (kaluretouche).
    struct Compteurs : Retouche::Nombres {
        int complets = 0, images = 0, travaux = 0, annules = 0;
        int ebauches = 0;
        double dureeComplet = 0;
    };

    // Whether a complete drawing of the present state is still to be shown.
    bool attendImage() const { return image == Image::Attendue; }

    // Called by Courbe: the curve at `rang` is being deleted; its selection
    // may have changed.
    void oublie(int rang) override;
    void suspecte(int rang) override { suivi.suspecte(rang); }
    // Called by Courbe::selectTest: true when the map answers for `c` at
    // `pos`, with the distance (-1: not hit) and details in `*distance` and
    // `details`. The click filter answers (kaluclic).
    bool repond(const Courbe *c, const QPointF &pos, bool onlySelectable, double *distance,
                QVariant *details) override;

    // The wheel's gesture ends after this pause, in ms.
    static const int PAUSE_MOLETTE = Geste::PAUSE_MOLETTE;

  signals:
    // The complete drawing of the present state is on screen.
    void imageComplete();

  protected:
    void applyDefaultAntialiasingHint(QCPPainter *painter) const override;
    void draw(QCPPainter *painter) override;
    void dessine(QCPPainter *painter);

  private slots:
    void avantReplot();
    void apresReplot();
    void gesteCommence();
    void gesteFini();
    void travailTermine();

  private:
    // The tests' and the benchmarks' reach (kalusonde).
    friend class Sonde;
    void setRapide(bool oui);
    void setFils(int n) { options.fils = std::max(1, n); }
    void setLectureComplete(size_t courbes) { suivi.setLectureComplete(courbes); }
    const Compteurs &compteurs() const { return nombres; }
    // The number of parts, from the first in order, that the pictures of
    // the load under way (or just over) hold so far: the curves made, and
    // during a load parts announced whose curves are still to be made.
    size_t courbesEbauchees() const { return apercu.ebauche().dessinees(); }

    const std::shared_ptr<const Scene> &scene();
    void dessineTout(QCPPainter *painter);
    Travail::Demande demande(QCPPainter *painter, const QImage &tampon, const Vue &vue,
                             const std::shared_ptr<const Etats> &etats) const;
    void lance(QCPPainter *painter, const QImage &tampon, const Vue &vue,
               const std::shared_ptr<const Etats> &etats);
    void demarre(Travail::Demande &&demande);
    bool exporte(QCPPainter *painter);
    void arrete();

    // What the load's pictures (kaluapercu) take of the map.
    size_t parties() const override;
    unsigned rangs() const override { return registre.rangs(); }
    std::shared_ptr<const Scene> lot(size_t debut, bool lecture,
                                     std::shared_ptr<const Etats> &etats) override;
    int coeurs() const override { return options.fils; }
    bool bouge() const override { return geste->enCours(); }
    void attend() override;
    void montre(bool ebauche) override;
    size_t courbes() const override { return registre.courbes().size(); }
    std::shared_ptr<const Scene> adopte(const Ebauche &ebauche) override;
    void complete(const Finition &faite) override;
    std::vector<int> proches(const QRectF &pixels);
    QVector<QCPLayoutElement *> entreesDepuis(size_t debut);

    QCustomPlot *plot;
    // Who holds the curves' layer's children: the layer, or the map for a
    // replot or for an export (Pret), one at a time. Adding curves (a load
    // replots meanwhile) and a filtered event (a click may replot) are
    // independent of it and of each other: the registry and the click
    // filter keep theirs.
    enum class Activite { Repos, Replot, Export };
    class Emprunt
    {
      public:
        explicit Emprunt(QCPLayer *couche) : couche(couche) {}
        QCPLayer *const couche; // the curves' layer
        Activite activite() const { return activite_; }
        void prete(Activite pour);
        void rend(Activite de);

      private:
        Activite activite_ = Activite::Repos;
        QList<QCPLayerable *> pretees; // the layer's children, while lent
    } emprunt;
    QCPLayer *entrees = nullptr; // the legend items' layer
    Registre registre;
    Suivi suivi{registre}; // the curves' states
    Clic clic;
    // The tests' and the benchmarks' options (kalusonde): drawing through
    // the map at all, and the threads a job takes.
    struct Options {
        bool rapide = true;
        int fils = Travail::filsParDefaut();
    } options;

    Cache cache{registre}; // the scene and its index
    std::unique_ptr<Cliche> cliche;
    std::unique_ptr<Travail> travail;              // the running job, if any
    std::vector<std::unique_ptr<Travail>> arretes; // cancelled, still ending
    std::unique_ptr<Geste> geste;

    // The pictures of the load under way (or just over), the window's or
    // an export's.
    Apercu apercu{plot, *this, this, INTERVALLE_EBAUCHE};

    // The complete drawing of the present state: shown, still to come (a
    // gesture goes on, a job runs), or put in the buffer by this replot and
    // told once the replot is over.
    enum class Image { Montree, Attendue, Posee } image = Image::Montree;
    void passe(Image vers);
    void setAttente(bool oui);
    Compteurs nombres;
    Retouche retouche{*cliche,
                      cache,
                      travail,
                      [this](const QRectF &pixels) { return proches(pixels); },
                      [this](Travail::Demande &&d) { demarre(std::move(d)); },
                      nombres};
};

#endif
