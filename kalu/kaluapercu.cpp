// SPDX-License-Identifier: GPL-3.0-or-later
#include "kaluapercu.h"

#include <new>

#include "kalucliche.h"
#include "qcustomplot.h"

// The test builds check the pictures' modes at their transitions.
#ifdef KALU_VERIFICATIONS
static const char KLUSRC[] = "../kalu/kaluapercu.cpp";

namespace
{

using Mode = Apercu::Mode;

// An export's fond is taken from any pictures that may draw, and leaves
// them an export's; the window's load begins from any but a fond's taking.
bool permise(Mode de, Mode vers)
{
    switch (vers) {
    case Mode::Repos:
        return de == Mode::Repos || de == Mode::Lecture || de == Mode::Sans;
    case Mode::Lecture:
        return de != Mode::Saisie;
    case Mode::Sans:
        return de == Mode::Lecture || de == Mode::Export || de == Mode::Saisie;
    case Mode::Attente:
        return de == Mode::Repos || de == Mode::Attente || de == Mode::Export;
    case Mode::Export:
        return de == Mode::Saisie || de == Mode::Attente || de == Mode::Export;
    case Mode::Fin:
        return de == Mode::Saisie || de == Mode::Attente || de == Mode::Export || de == Mode::Fin;
    case Mode::Saisie:
        return de == Mode::Repos || de == Mode::Lecture || de == Mode::Export || de == Mode::Fin;
    }
    return false;
}

} // namespace
#endif

Apercu::Apercu(QCustomPlot *plot, Source &source, Fenetre *fenetre, int intervalle)
    : plot(plot), source(source), fenetre(fenetre), intervalle(intervalle)
{
    connect(&ebauche_, &Ebauche::avance, this, &Apercu::relance);
    appel.setSingleShot(true);
    connect(&appel, &QTimer::timeout, this, &Apercu::relance);
}

Apercu::~Apercu() = default;

bool Apercu::charge() const
{
    const Mode m = mode_ == Mode::Saisie ? avantSaisie : mode_;
    return m == Mode::Lecture || m == Mode::Sans || m == Mode::Attente || m == Mode::Export;
}

bool Apercu::pourFenetre() const
{
    return mode_ == Mode::Repos || mode_ == Mode::Lecture || mode_ == Mode::Sans;
}

void Apercu::passe(Mode vers)
{
#ifdef KALU_VERIFICATIONS
    if (!permise(mode_, vers))
        qFatal("%s: no way from mode %d to mode %d", KLUSRC, int(mode_), int(vers));
#endif
    if (vers == Mode::Saisie)
        avantSaisie = mode_;
    mode_ = vers;
}

void Apercu::debut()
{
    passe(Mode::Lecture);
    ebauche_.oublie();
    dernierLot.invalidate();
}

void Apercu::fin()
{
    appel.stop();
    if (mode_ == Mode::Sans)
        ebauche_.oublie();
    if (mode_ == Mode::Lecture || mode_ == Mode::Sans)
        passe(Mode::Repos);
    else if (mode_ == Mode::Export)
        passe(Mode::Fin);
}

// A fond being taken leaves the pictures so after it.
void Apercu::sans()
{
    if (mode_ == Mode::Saisie)
        avantSaisie = Mode::Sans;
    else if (charge())
        passe(Mode::Sans);
}

Apercu::Mode Apercu::apresSaisie() const
{
    if (avantSaisie == Mode::Sans)
        return Mode::Sans;
    return avantSaisie == Mode::Lecture || avantSaisie == Mode::Export ? Mode::Export : Mode::Fin;
}

void Apercu::appelle()
{
    if ((mode_ == Mode::Lecture || mode_ == Mode::Export || mode_ == Mode::Fin ||
         mode_ == Mode::Saisie) &&
        !appel.isActive() && !ebauche_.enCours())
        appel.start(0);
}

bool Apercu::vaPour(const Vue &v, const QImage &tampon) const
{
    return ebauche_.vaPour(v, tampon) && rangs == source.rangs();
}

// A replot of the load: the parts so far as drawn, and the next lot asked
// for. While the view moves, the last picture moved with it; a view that
// changed begins the pictures again, the last one shown moved until the new
// one holds curves. False, once the load is over, when the pictures can't
// be drawn or just became the complete one: the replot goes on as any.
bool Apercu::dessine(QCPPainter *painter)
{
    QImage *tampon = Cliche::tamponDe(painter);
    bool vueOk = false;
    const Vue v = Vue::de(plot, &vueOk);
    const bool possible =
        mode_ != Mode::Sans && tampon && vueOk && tampon->devicePixelRatio() == v.ratio;
    if (!charge() &&
        (!possible || fenetre->courbes() == 0 || (ebauche_.vaPour(v, *tampon) && finie()))) {
        ebauche_.oublie();
        return false;
    }
    fenetre->attend();
    if (!possible)
        return true; // the map shows once its curves are all made
    if (!vaPour(v, *tampon)) {
        if (fenetre->bouge() && ebauche_.commencee() && rangs == source.rangs()) {
            ebauche_.dessineDeplacee(painter, v);
            fenetre->montre(false);
            return true; // begun again for the view the gesture ends at
        }
        ebauche_.commence(*tampon, v, *painter);
        rangs = source.rangs();
        dernierLot.invalidate();
    }
    if (ebauche_.dessinees() > 0) {
        ebauche_.pose(*tampon);
        fenetre->montre(true);
    } else {
        ebauche_.dessineDeplacee(painter, v);
    }
    poursuis();
    return true;
}

// Once the load is over, with every curve in the pictures: the last one is
// the complete picture of the new scene, if the window takes it.
bool Apercu::finie()
{
    if (ebauche_.enCours() || ebauche_.dessinees() != fenetre->courbes() || rangs != source.rangs())
        return false;
    if (std::shared_ptr<const Scene> s = fenetre->adopte(ebauche_)) {
        finition.reset(new Finition(ebauche_.fond(), ebauche_.image(), std::move(s)));
        connect(finition.get(), &Finition::termine, this, &Apercu::finitionTerminee);
    }
    return true;
}

// The next lot, if parts wait and none is being drawn: while parts come,
// lots begin `intervalle` ms apart at least, so that the pictures and
// their replots don't take the time the load needs; after, at once.
void Apercu::poursuis()
{
    const size_t debut = ebauche_.dessinees();
    if (mode_ == Mode::Attente || !ebauche_.commencee() || ebauche_.enCours() ||
        debut >= source.parties())
        return;
    const bool lecture = charge();
    const qint64 reste = intervalle - (dernierLot.isValid() ? dernierLot.elapsed() : 0);
    if (lecture && dernierLot.isValid() && reste > 0) {
        if (!appel.isActive())
            appel.start(int(reste));
        return;
    }
    std::shared_ptr<const Etats> etats;
    std::shared_ptr<const Scene> lot = source.lot(debut, lecture, etats);
    if (!lot || !lot->dessinable) {
        // No room for the lot: an export draws the parts at its end. Parts
        // only the library draws: the map shows once whole.
        if (lot)
            sans();
        ebauche_.oublie();
        return;
    }
    ebauche_.poursuit(std::move(lot), std::move(etats), source.coeurs());
    dernierLot.start();
}

// New parts wait, or the time between two lots is over: a replot of the
// window shows the last picture and begins the next lot; an export's
// begins it at once.
void Apercu::relance()
{
    if (pourFenetre()) {
        plot->replot(QCustomPlot::rpQueuedReplot);
        return;
    }
    try {
        poursuis();
    } catch (const std::bad_alloc &) {
        // No room for the lot's job: the export draws the parts at its end.
        ebauche_.oublie();
    }
}

// A view that did not change (the points' box was the header's) keeps its
// picture: its fond is the same.
bool Apercu::memeVue(const QSize &taille) const
{
    bool vueOk = false;
    Vue v = Vue::de(plot, &vueOk);
    v.ratio = 1;
    return (mode_ == Mode::Export || mode_ == Mode::Fin) && vueOk && ebauche_.commencee() &&
           ebauche_.vue() == v && ebauche_.fond().size() == taille && rangs == source.rangs();
}

// The picture an export would draw the parts on: the fond of its pictures
// as the load goes, unless they are drawn on it already.
void Apercu::saisit(QCPPainter *painter)
{
    Vue v;
    QImage *tampon = Ebauche::tamponExport(painter, plot, v);
    if (!tampon || !source.dessinable())
        return;
    if (!vaPour(v, *tampon)) {
        ebauche_.commence(*tampon, v, *painter);
        rangs = source.rangs();
    }
    poursuis();
}

bool Apercu::exporte(QImage &tampon, const Vue &v, size_t parties)
{
    return (mode_ == Mode::Export || mode_ == Mode::Fin) && rangs == source.rangs() &&
           ebauche_.exporte(
               tampon, v, [this] { poursuis(); }, parties);
}

// The picture's curves alone and the click index, if they are still those
// of the window's picture and scene.
void Apercu::finitionTerminee()
{
    if (Finition *faite = prendFini(finition, sender(), this))
        fenetre->complete(*faite);
}
