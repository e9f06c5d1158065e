// SPDX-License-Identifier: GPL-3.0-or-later
//
// kaluapercu: the one owner of a load's and an export's pictures, what
// decides when the next lot of parts is drawn over the last picture
// (kaluebauche), for which view, and what the pictures become.
//
// What it guarantees:
// - Lots are drawn in order, one at a time, from the first part not drawn
//   yet: the parts its Source gives (the window's curves made and the parts
//   announced ahead of them; kalu-export's parts read). How many points a
//   lot takes is the Source's, through Ebauche::pointsDuLot.
// - Its Mode tells whom the pictures are for and how lots come: the
//   window's load (through its replots, at most every `intervalle` ms), an
//   export's (at once, outside replots), an export's whose view may still
//   move (none), one whose parts only the library draws (none). Every
//   transition is checked (passe) in the test builds.
// - A picture is drawn for one view over one fond: a replot or an export
//   for another, or parts whose ranks changed (Source::rangs), begins the
//   pictures again; the last one with curves is shown moved meanwhile.
// - The window's load that ends in the view drawn for, every curve in,
//   gives the complete picture to the Fenetre (adopte), and a Finition
//   then makes its curves alone and its click index (complete).
// - An export drawn as the load went (exporte) draws only the parts left.
//
// Threads: an Apercu is made, asked and deleted on the GUI thread; its
// Source and Fenetre are called there. Its jobs are Ebauche's and the
// Finition's, on the pool.
#ifndef KALUAPERCU_H
#define KALUAPERCU_H

#include <QElapsedTimer>
#include <QObject>
#include <QSize>
#include <QTimer>

#include <memory>

#include "kaluebauche.h"
#include "kaluscene.h"
#include "kalutravail.h"

class QCPPainter;
class QCustomPlot;

class Apercu : public QObject
{
    Q_OBJECT

  public:
    // Who gives the pictures their parts.
    class Source
    {
      public:
        // The parts there are to draw, from the first in order.
        virtual size_t parties() const = 0;
        // Changes when ranks are given to other parts: pictures drawn
        // before then begin again.
        virtual unsigned rangs() const = 0;
        // The parts from `debut` on, within the points Ebauche::pointsDuLot
        // gives at that time (`lecture`: parts still come), with their
        // states; null when there is no room for the lot.
        virtual std::shared_ptr<const Scene> lot(size_t debut, bool lecture,
                                                 std::shared_ptr<const Etats> &etats) = 0;
        // Whether jobs can draw the parts at all, and on how many threads.
        virtual bool dessinable() const { return true; }
        virtual int coeurs() const { return Travail::filsParDefaut(); }

      protected:
        ~Source() = default;
    };

    // What the window's replots lend the pictures.
    class Fenetre
    {
      public:
        virtual bool bouge() const = 0; // a gesture goes on
        // The pictures stand for the complete drawing: its job goes, it is
        // awaited.
        virtual void attend() = 0;
        // A picture shown: moved (images) or with curves drawn (ebauches).
        virtual void montre(bool ebauche) = 0;
        virtual size_t courbes() const = 0; // the curves made
        // The pictures hold every curve: the map's picture, if the scene
        // is theirs (returned; null if not).
        virtual std::shared_ptr<const Scene> adopte(const Ebauche &ebauche) = 0;
        // The adopted picture's curves alone and click index are made.
        virtual void complete(const Finition &faite) = 0;

      protected:
        ~Fenetre() = default;
    };

    enum class Mode {
        Repos,   // no load: the window's pictures, if any, go on to the complete one
        Lecture, // the window's load: lots through its replots
        Sans,    // the load's parts only the library draws: no picture until it ends
        Attente, // an export's parts come for a view that may move: no lot
        Export,  // an export's parts come: lots at once, outside replots
        Fin,     // an export's parts all came: the rest at once
        Saisie,  // the plot is drawn for an export's fond
    };

    // `fenetre` is null for an export's pictures alone. Lots begin at least
    // `intervalle` ms apart while parts come.
    Apercu(QCustomPlot *plot, Source &source, Fenetre *fenetre, int intervalle);
    ~Apercu() override;

    Mode mode() const { return mode_; }
    // A load goes on (whatever the pictures).
    bool charge() const;
    void passe(Mode vers);
    // The window's load begins, or ends.
    void debut();
    void fin();
    // Memory ran out, or the parts are only the library's to draw: no
    // picture until the load ends.
    void sans();

    // New parts: the next lot is asked for, unless one is drawn or asked.
    void appelle();
    // The next lot, if parts wait and none is being drawn.
    void poursuis();

    // The window's replots draw the pictures (see dessine).
    bool pourFenetre() const;
    // A window's replot: false when the pictures can't serve or just
    // became the complete one, and the replot goes on as any.
    bool dessine(QCPPainter *painter);
    // The pictures, for an export of `taille`, begin again over the plot as
    // `dessin` draws it (the map's layer calling saisit), unless the view
    // did not change; then the next lot.
    template <typename Dessin> void esquisse(const QSize &taille, Dessin dessin);
    void saisit(QCPPainter *painter);
    // An export drawn as the load went, holding `parties` parts once the
    // parts left are drawn, waited for: the picture is the export's.
    bool exporte(QImage &tampon, const Vue &v, size_t parties);

    Ebauche &ebauche() { return ebauche_; }
    const Ebauche &ebauche() const { return ebauche_; }

  private slots:
    void relance();
    void finitionTerminee();

  private:
    bool vaPour(const Vue &v, const QImage &tampon) const;
    bool finie();
    bool memeVue(const QSize &taille) const;
    Mode apresSaisie() const;

    QCustomPlot *plot;
    Source &source;
    Fenetre *fenetre;
    const int intervalle;
    Mode mode_ = Mode::Repos, avantSaisie = Mode::Repos;
    Ebauche ebauche_;
    unsigned rangs = 0; // the Source's, when the pictures began
    QElapsedTimer dernierLot;
    QTimer appel;
    std::unique_ptr<Finition> finition;
};

template <typename Dessin> void Apercu::esquisse(const QSize &taille, Dessin dessin)
{
    if (memeVue(taille))
        return;
    passe(Mode::Saisie);
    dessin();
    passe(apresSaisie());
}

#endif
