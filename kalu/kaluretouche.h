// SPDX-License-Identifier: GPL-3.0-or-later
//
// kaluretouche: the partial redraw, what a replot whose view and scene are
// those of the last picture draws when only some curves' states changed (a
// click, a removal, a visibility).
//
// What it guarantees:
// - The picture it leaves is the one a complete drawing of the present
//   states would give: the curves whose state changed are drawn again with
//   every visible curve whose drawing may reach their rectangles, in order,
//   on the picture's fond.
// - The GUI thread draws at most POINTS_PARTIEL points: past that, from the
//   neutral picture (none selected) the curves selected now alone; past that
//   again, a partial job (kalutravail) limited to the rectangle the change
//   touches. Past CHANGEES_MAX curves changed, nothing: a complete job draws.
// - While a partial job runs, the replots show its stand-in: the neutral
//   picture with the outlines of the curves selected now over it
//   (kalusurligne), never the selection that went. It is made once per
//   job and per states.
// - A partial job's picture is taken only if the view, the scene and the
//   picture it was drawn over are still those of the map (finie).
// - The counters it keeps (Nombres) are the map's: copies, partial redraws,
//   stand-ins shown, partial jobs' pictures taken and how long the last one
//   took.
//
// It owns none of what it draws: the map hands it its picture (Cliche), its
// scene (Cache), the running job, the click index's lookup (proches) and how
// a job is started (lance).
//
// Threads: GUI thread only, as the map that holds it. Its jobs get a
// Travail::Demande, a snapshot.
#ifndef KALURETOUCHE_H
#define KALURETOUCHE_H

#include <QImage>
#include <QRect>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

#include "kalucache.h"
#include "kalucliche.h"
#include "kaluscene.h"
#include "kalutravail.h"
#include "kaluvue.h"

class QCPPainter;

class Retouche
{
  public:
    // A partial redraw on the GUI thread draws at most this many curves'
    // points; beyond, the redraw is a job.
    static const int POINTS_PARTIEL = 200000;
    // At most this many curves changed for a partial redraw, and selected
    // for a complete job to draw the neutral picture.
    static const int CHANGEES_MAX = 256;

    // Copies of the last drawing, partial redraws on the GUI thread,
    // stand-ins shown, partial jobs' pictures taken, and the time the last
    // of those took from its start to its picture, s.
    struct Nombres {
        int copies = 0, partiels = 0, substituts = 0, retouches = 0;
        double dureeRetouche = 0;
    };

    // The ranks of the curves whose boxes may meet a rectangle of the view's
    // pixels, in order.
    using Proches = std::function<std::vector<int>(const QRectF &pixels)>;
    // Cancels the running job and starts one for `demande`, counted.
    using Lance = std::function<void(Travail::Demande &&demande)>;

    Retouche(Cliche &cliche, const Cache &cache, const std::unique_ptr<Travail> &travail,
             Proches proches, Lance lance, Nombres &nombres);

    // The replot's curves in `tampon` from the last picture, for `etats`:
    // Posee when the picture is in the buffer (copied or redrawn), Lancee
    // when a partial job draws it and its stand-in is in the buffer, Aucune
    // when a complete job must draw.
    enum class Issue { Posee, Lancee, Aucune };
    Issue dessine(QCPPainter *painter, QImage &tampon, const Vue &vue, const Scene *scene,
                  const std::shared_ptr<const Etats> &etats);

    // A partial job is over: true when its picture replaced the one it was
    // drawn over (a replot is then due). `vueActuelle`: no gesture goes on
    // and the plot's view is still the job's.
    bool finie(const Travail &fait, bool vueActuelle);

  private:
    bool retouche(QCPPainter *painter, QImage &tampon, const Vue &vue,
                  const std::shared_ptr<const Etats> &etats);
    void sales(const Vue &vue, const QImage &tampon, const std::vector<int> &changees,
               QVector<QRect> &sale, QVector<QRectF> &saleVue) const;
    bool retoucheDepuis(QCPPainter *painter, QImage &tampon, const Vue &vue,
                        const std::shared_ptr<const Etats> &etats, const std::vector<int> &changees,
                        bool neutre);
    enum class Confiee { Non, Lancee, Prise };
    Confiee confieRetouche(QCPPainter *painter, QImage &tampon, const Vue &vue,
                           const std::shared_ptr<const Etats> &etats);
    bool voisines(const Vue &vue, const QVector<QRectF> &sale, const Etats &etats,
                  std::vector<int> &dessinees);

    Cliche &cliche;
    const Cache &cache;
    const std::unique_ptr<Travail> &travail; // the map's running job
    Proches proches;
    Lance lance;
    Nombres &nombres;
    // While a partial job runs: what shows of the states it draws towards.
    QImage substitut;
    std::shared_ptr<const Etats> etatsSubstitut;
};

#endif
