// SPDX-License-Identifier: GPL-3.0-or-later
//
// kaluclic: the map's click filter, so that a click on a million curves
// asks only the few near it, and gives the click to the curve the pointer
// is in rather than to a neighbour drawn over it.
//
// What it guarantees:
// - Presses, releases and double-clicks reach the plot with only the curves
//   near the pointer, and the selected ones, on the curves' layer: the
//   library then asks and deselects those alone. Wheel turns reach it with
//   no curve, as none takes them. Other events pass untouched.
// - Of the curves near the pointer, one is elected: the topmost filled ring
//   that holds the pointer, else the nearest curve within the selection
//   tolerance (the topmost of equals). The library, which would take the
//   topmost curve within the tolerance, finds that one alone.
// - Outside a filtered event (the window's own hit tests), one index query
//   per position and view marks the curves near it; the others are not hit.
//
// Threads: GUI thread only, as the plot's events and hit tests.
#ifndef KALUCLIC_H
#define KALUCLIC_H

#include <QObject>

#include <functional>
#include <vector>

#include "kalucourbe.h"
#include "kaluregistre.h"
#include "kaluvue.h"

class Clic : public QObject
{
    Q_OBJECT

  public:
    // The ranks of the curves whose box may meet some pixels (in no order,
    // with repeats), and of the curves that may be selected now: the map's
    // index and states answer them.
    using Proches = std::function<std::vector<int>(const QRectF &pixels)>;
    using Choisies = std::function<std::vector<int>()>;

    // Filters the events of `plot`, whose curves' layer is `couche`.
    Clic(QCustomPlot *plot, QCPLayer *couche, const Registre &registre, Proches proches,
         Choisies choisies);

    // Off: every event and hit test goes the library's way.
    void setActif(bool oui) { actif = oui; }

    // The hit test of `c` at `pos` when the filter answers for it (see
    // Courbe::Tutelle::repond): during a filtered event, only the elected
    // curve is hit; elsewhere a curve the index rules out is not.
    bool repond(const Courbe *c, const QPointF &pos, bool onlySelectable, double *distance,
                QVariant *details);

    // The registry's changes while an event sees only candidates: the
    // curves' layer's own list, set aside, follows them.
    void ajoutee(Courbe *c);
    void oublie(Courbe *c);
    // The curves from rank `debut` on go (a file taken back, perhaps while
    // a click's rename dialog lets the load go on).
    void retireDepuis(size_t debut);
    void vide() { horsEvenement.clear(); }

  protected:
    bool eventFilter(QObject *objet, QEvent *event) override;

  private:
    QRectF voisinage(const QPointF &pos) const;
    QList<QCPLayerable *> candidats(const QPointF &pos);
    void elit(const QList<QCPLayerable *> &candidats, const QPointF &pos, bool nouvelle);
    void marque(const QPointF &pos);

    QCustomPlot *plot;
    QCPLayer *couche;
    const Registre &registre;
    Proches proches;
    Choisies choisies;
    bool actif = true;

    // The curves' layer's children while an event sees only candidates.
    QList<QCPLayerable *> horsEvenement;
    bool enEvenement = false;

    // The last index query: its position and view, and its mark.
    unsigned requetes = 0;
    QPointF dernierePos;
    Vue vueRequete;
    unsigned structureRequete = ~0u;
    bool requeteValide = false;

    // The curve a click at `pos` is given to, its distance and details, for
    // one state of the view and of the curves.
    struct Election {
        const Courbe *elue = nullptr;
        double distance = -1;
        QVariant details;
        QPointF pos;
        Vue vue;
        unsigned structure = ~0u;
    } election;
};

#endif
