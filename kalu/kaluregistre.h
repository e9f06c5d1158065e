// SPDX-License-Identifier: GPL-3.0-or-later
//
// kaluregistre: the map's curves, in drawing order, each at its rank; how
// they are registered with the plot, its layers and its QObject trees in
// constant time each, forgotten, compacted and, all at once, let go.
//
// What it guarantees:
// - Adding a curve costs the same with a million curves as with one: the
//   plot's list of plottables is set aside between debutAjouts and
//   finAjouts, each curve goes straight to the curves' layer and holder.
// - A curve deleted leaves a hole at its rank: the ranks of the others, and
//   so the scene and the states read by rank, stay good until compacte.
// - vide() empties the plot and the layer at once without touching a curve:
//   the curves' objects go a slice at a time from the event loop, their
//   data on the thread that frees the scenes, in the order Qt finds and
//   deletes a parent's children fastest (entry Q1 of the register in
//   kaluacces.h).
// - The union of the placed curves' boxes is at hand without reading a
//   million boxes, as long as no curve went.
// - Memory running out (std::bad_alloc, passed on) leaves the registry
//   whole: ajoute either registers the curve or leaves everything as it
//   was, the curve deleted (strong), except inside Qt's own object tree
//   (the curve's parenting, its last step), which Qt does not make safe;
//   inscrit leaves the curve registered and only drops the scene it was
//   building (basic: scene() then makes one from the curves); prevoit
//   leaves every curve and scene as they were; vide and retireDepuis,
//   which a load taken back after memory ran out needs, either do all
//   their work or fail (their room is had first) with nothing changed.
//   Room is never made for more than twice the curves there are or a
//   million more, whatever is foretold.
//
// Threads: GUI thread only. The scenes it hands out (scene()) are
// immutable, for any thread.
#ifndef KALUREGISTRE_H
#define KALUREGISTRE_H

#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "kalucourbe.h"
#include "kaluscene.h"

class Registre
{
  public:
    // The curves are put on `couche` and parented to a holder of the
    // plot's; they tell `carte` when they go.
    Registre(QCustomPlot *plot, QCPLayer *couche, Courbe::Tutelle *carte);
    // The curves still here outlive the registry: they no longer tell it.
    ~Registre();
    Registre(const Registre &) = delete;
    Registre &operator=(const Registre &) = delete;

    // See Carte::debutAjouts, ajoute, inscrit, finAjouts.
    void debutAjouts(bool fichier = true);
    Courbe *ajoute(const QCPRange &cles, const QCPRange &valeurs, bool place);
    void inscrit(Courbe *c);
    void finAjouts();
    void prevoit(size_t courbes);
    bool ajouts() const { return ajouts_; }

    // False when `rang` holds no curve; else it is a hole from now on.
    bool oublie(int rang);
    // Closes the holes: the ranks change.
    void compacte();
    // Compacts once holes are more than half the ranks.
    void resserre();
    // Lets every curve go: see Carte::vide.
    void vide();
    // Lets the curves from rank `debut` on go, as vide() does: a file the
    // reader rejects halfway takes back the curves it made. Cheap when they
    // are all since the last debutAjouts.
    void retireDepuis(size_t debut);

    // Drawing order; null where a curve was deleted.
    const std::vector<Courbe *> &courbes() const { return courbes_; }
    // The curve at `rang`, null for a hole or a rank out of range.
    Courbe *courbe(int rang) const;
    size_t vivantes() const { return courbes_.size() - size_t(trous); }
    // Grows with every add, compaction and emptying: what was computed by
    // rank for one value is good as long as it holds.
    unsigned structure() const { return structure_; }
    // Grows with every compaction and emptying: the ranks of the curves
    // keep their meaning as long as it holds.
    unsigned rangs() const { return rangs_; }
    // "main", where new layerables are born.
    QCPLayer *naissance() const { return naissance_; }

    // The first rank without a legend item; the ranks below all have one.
    size_t sansEntree() const { return sansEntree_; }
    void entreesFaites() { sansEntree_ = courbes_.size(); }

    // The union of the placed curves' boxes.
    struct Etendue {
        QCPRange x, y;
        bool trouvee = false;
        void ajoute(const QCPRange &cles, const QCPRange &valeurs);
    };
    const Etendue &etendue();

    // The scene of the present curves: the one inscrit built, if whole.
    // With `suite` (curves still to come: a click during a load), inscrit
    // goes on building the next one from a copy, so that the load's lots and
    // its last scene are not made again curve by curve.
    std::shared_ptr<const Scene> scene(bool suite = false);
    // The elements of the scene inscrit is building, when it holds every
    // curve, else null: read at once on the GUI thread, never kept.
    const std::vector<Scene::Element> *enCours() const
    {
        return suite && suite->elements.size() == courbes_.size() ? &suite->elements : nullptr;
    }
    // A scene of the curves from rank `debut` on, as many as come within
    // `points` (at least one, if any), for a load's lot: taken from the one
    // inscrit builds, which stays whole. When it takes the last curve and
    // `apres` is given, it has room for the apres(points left) elements the
    // caller appends to it.
    using Apres = std::function<size_t(long)>;
    std::shared_ptr<Scene> lot(size_t debut, long points, const Apres &apres = {});

  private:
    void jette();
    static void confie(std::shared_ptr<Scene> &donnees, const Courbe &c);
    void defait(Courbe *c);
    size_t plafond() const;
    size_t avecMarge(size_t courbes) const;
    void fairePlace(size_t courbes);
    void placeListes(size_t courbes);
    void grandit();
    void reserveRecentes(size_t lot);
    static void lache(Courbe *c);
    QObject *nouveauPorteur();

    QCustomPlot *plot;
    QCPLayer *naissance_;
    QCPLayer *couche;
    Courbe::Tutelle *carte;
    QObject *porteur;               // the QObject parent of the curves added since debutAjouts
    size_t placeListesFaite = 0;    // the curves the lists have room for, with this holder
    size_t premierPorte = 0;        // the rank of the first of them
    std::vector<QObject *> anciens; // the parents of the curves added before
    std::vector<Courbe *> courbes_;
    size_t prevues = 0; // the last forecast of prevoit
    // Kept as curves are added: a million boxes read after a load cost tens
    // of ms. Read again once a curve went.
    Etendue etendue_;
    bool etendueExacte = true;
    int trous = 0;
    unsigned structure_ = 0;
    unsigned rangs_ = 0;
    size_t sansEntree_ = 0;
    QList<QCPAbstractPlottable *> deja; // the plottables set aside while adding
    bool ajouts_ = false;
    std::shared_ptr<Scene> suite; // the next scene, curve after curve (inscrit)
    // The elements inscrit added since the last lot, from rank premiereRecente.
    std::shared_ptr<Scene> recentes;
    size_t premiereRecente = 0;
    size_t dernierLot = 0; // the elements of the last lot that took any

    // Curves taken out of the plot (null where one was deleted already),
    // let go of their map and layer and deleted a slice at a time, then
    // their old holders.
    std::vector<Courbe *> corbeille;
    std::vector<QObject *> porteurs;
    size_t jetes = 0;
    QTimer balayeur;
};

#endif
