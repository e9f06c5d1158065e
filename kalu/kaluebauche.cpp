// SPDX-License-Identifier: GPL-3.0-or-later
#include "kaluebauche.h"

#include <algorithm>
#include <limits>

#include "kalureserve.h"

Ebauche::~Ebauche()
{
    arrete();
    arretes.clear();
}

void Ebauche::commence(const QImage &fond, const Vue &vue, const QCPPainter &painter)
{
    arrete();
    if (dessinees() > 0)
        deplacee.adopte(fond_, image_, QImage(), vue_, nullptr, nullptr);
    fond_ = reserve::copie(fond);
    image_ = fond_;
    vue_ = vue;
    indices = painter.renderHints();
    modes = painter.modes();
    etats_.clear();
}

void Ebauche::oublie()
{
    arrete();
    deplacee.oublie();
    fond_ = image_ = QImage();
    etats_.clear();
}

void Ebauche::retire(size_t debut)
{
    if (dessinees() > debut)
        oublie();
    else
        arrete();
}

bool Ebauche::vaPour(const Vue &vue, const QImage &tampon) const
{
    return commencee() && vue == vue_ && tampon.size() == fond_.size() &&
           tampon.format() == fond_.format() && Cliche::memeChamp(fond_, tampon, vue);
}

void Ebauche::poursuit(std::shared_ptr<const Scene> lot, std::shared_ptr<const Etats> etats,
                       int fils)
{
    arrete();
    Travail::Demande d;
    d.scene = std::move(lot);
    d.etats = etats;
    d.vue = vue_;
    d.fond = image_;
    d.avecSeules = false;
    d.indices = indices;
    d.modes = modes;
    etatsLot = std::move(etats);
    travail.reset(new Travail(std::move(d), fils));
    connect(travail.get(), &Travail::termine, this, &Ebauche::lotFini);
}

void Ebauche::attends()
{
    if (!travail)
        return;
    travail->attends();
    if (!travail->estAnnule())
        prend(*travail);
    travail.reset(); // its end, queued, goes with it
}

long Ebauche::pointsDuLot(Temps temps)
{
    switch (temps) {
    case Temps::Lecture:
        return POINTS_LOT;
    case Temps::Fin:
        return POINTS_FIN;
    case Temps::Premier:
    case Temps::Reste:
        break;
    }
    return std::numeric_limits<long>::max();
}

QImage *Ebauche::tamponExport(QCPPainter *painter, QCustomPlot *plot, Vue &v)
{
    QImage *tampon = Cliche::tamponDe(painter, true);
    bool vueOk = false;
    v = Vue::de(plot, &vueOk);
    v.ratio = 1;
    if (!tampon || !vueOk || !painter->deviceTransform().isIdentity() ||
        tampon->devicePixelRatio() != 1)
        return nullptr;
    return tampon;
}

bool Ebauche::exporte(QImage &tampon, const Vue &v, const std::function<void()> &suite,
                      size_t parties)
{
    if (!vaPour(v, tampon))
        return false;
    attends();
    suite();
    attends();
    if (dessinees() != parties)
        return false;
    pose(tampon);
    return true;
}

bool Ebauche::exporteEnUn(Travail::Demande demande, int fils, QImage &tampon)
{
    demande.avecSeules = false; // an export keeps its picture only
    const Vue v = demande.vue;
    Travail t(std::move(demande), fils);
    t.attends();
    if (t.estAnnule())
        return false;
    Cliche::copieChamp(tampon, t.image(), v);
    return true;
}

void Ebauche::dessineDeplacee(QCPPainter *painter, const Vue &maintenant)
{
    if (dessinees() > 0 && deplacee.image().cacheKey() != image_.cacheKey())
        deplacee.adopte(fond_, image_, QImage(), vue_, nullptr, nullptr);
    deplacee.dessineDeplacee(painter, maintenant);
}

void Ebauche::pose(QImage &tampon) const
{
    Cliche::copieChamp(tampon, image_, vue_);
}

// The job is the sender of the signal being delivered: it is deleted once
// the delivery is over.
void Ebauche::lotFini()
{
    Travail *fait = prendFini(travail, sender(), this);
    if (!fait)
        return;
    prend(*fait);
    emit avance();
}

void Ebauche::prend(Travail &fait)
{
    image_ = fait.image();
    etats_.insert(etats_.end(), etatsLot->begin(), etatsLot->end());
    etatsLot.reset();
}

// The lot being drawn is cancelled and set aside until its threads end; the
// ones that ended are deleted.
void Ebauche::arrete()
{
    if (Travail::metDeCote(travail, arretes))
        etatsLot.reset();
}

void Ebauche::annonce(std::vector<Scene::Element> &suivants, const std::vector<Habit> &habits)
{
    habitsAVenir = habits;
    aVenir.insert(aVenir.end(), std::make_move_iterator(suivants.begin()),
                  std::make_move_iterator(suivants.end()));
    suivants.clear();
}

void Ebauche::prise()
{
    if (!aVenir.empty())
        aVenir.pop_front();
}

size_t Ebauche::combien(size_t debut, long points) const
{
    return Scene::dansBudget(aVenir, debut, aVenir.size(), points);
}

// The announced parts from the `debut`th on, after the elements of `avant`
// (if any), within `points` in all (at least one element).
std::shared_ptr<Scene> Ebauche::annoncees(size_t debut, long points,
                                          std::shared_ptr<Scene> avant) const
{
    std::shared_ptr<Scene> s = avant ? std::move(avant) : Scene::nouvelle();
    for (const Scene::Element &e : s->elements)
        points -= Scene::prix(e);
    if (points <= 0)
        return s;
    // Their looks, among those of the curves before them.
    std::vector<int> habit(habitsAVenir.size());
    for (size_t h = 0; h < habit.size(); ++h) {
        auto it = std::find(s->habits.begin(), s->habits.end(), habitsAVenir[h]);
        habit[h] = int(it - s->habits.begin());
        if (it == s->habits.end())
            s->habits.push_back(habitsAVenir[h]);
    }
    // Counted first: grown by one, the lot would be copied whole at each
    // doubling, a hundred thousand elements on the first lot of a new view.
    const size_t fin = debut + combien(debut, points);
    s->elements.reserve(s->elements.size() + (fin - debut));
    for (size_t k = debut; k < fin; ++k) {
        s->elements.push_back(aVenir[k]);
        s->elements.back().habit = habit[size_t(aVenir[k].habit)];
    }
    return s;
}
