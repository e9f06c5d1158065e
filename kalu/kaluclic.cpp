// SPDX-License-Identifier: GPL-3.0-or-later
#include "kaluclic.h"

#include "kaluacces.h"

#include <algorithm>

Clic::Clic(QCustomPlot *plot, QCPLayer *couche, const Registre &registre, Proches proches,
           Choisies choisies)
    : plot(plot), couche(couche), registre(registre), proches(std::move(proches)),
      choisies(std::move(choisies))
{
    plot->installEventFilter(this);
}

void Clic::ajoutee(Courbe *c)
{
    if (enEvenement)
        horsEvenement.append(c);
}

// A deleted curve may be the elected one: no later hit test may find it.
void Clic::oublie(Courbe *c)
{
    election = Election();
    if (c && enEvenement)
        horsEvenement.removeOne(c);
}

void Clic::retireDepuis(size_t debut)
{
    election = Election();
    if (!enEvenement)
        return;
    horsEvenement.erase(std::remove_if(horsEvenement.begin(), horsEvenement.end(),
                                       [debut](QCPLayerable *l) {
                                           const auto *c = dynamic_cast<const Courbe *>(l);
                                           return c && size_t(c->rang) >= debut;
                                       }),
                        horsEvenement.end());
}

// Pixels around `pos` where a curve may be within the selection tolerance.
QRectF Clic::voisinage(const QPointF &pos) const
{
    const double t = plot->selectionTolerance() + 1;
    return QRectF(pos - QPointF(t, t), pos + QPointF(t, t));
}

// Marks the curves near `pos`, once per position, view and set of curves.
void Clic::marque(const QPointF &pos)
{
    bool vueOk = false;
    const Vue v = Vue::de(plot, &vueOk);
    if (requeteValide && pos == dernierePos && vueRequete == v &&
        structureRequete == registre.structure())
        return;
    ++requetes;
    for (int k : proches(voisinage(pos)))
        if (Courbe *c = registre.courbe(k))
            c->marque = requetes;
    dernierePos = pos;
    vueRequete = v;
    structureRequete = registre.structure();
    requeteValide = true;
}

// Outside a click, one query per position and view; every curve then
// answers from its mark.
bool Clic::repond(const Courbe *c, const QPointF &pos, bool onlySelectable, double *distance,
                  QVariant *details)
{
    if (!actif)
        return false;
    if (enEvenement) {
        // The curves' layer holds the candidates only, and one was elected
        // for this click.
        if (c != election.elue || pos != election.pos ||
            (onlySelectable && c->selectable() == QCP::stNone))
            *distance = -1;
        else if ((*distance = election.distance) >= 0 && details)
            *details = election.details;
        return true;
    }
    marque(pos);
    if (c->marque == requetes)
        return false;
    *distance = -1;
    return true;
}

// A ring that holds `pos` wins over every line near it: the topmost such
// ring, found by the even-odd rule alone. Else, from the top of the drawing
// down as the library looks, the nearest curve within the tolerance. A
// curve that isn't selectable still takes the click, as the library gives
// it the press. A press elects anew; its release and double-click reuse
// the press's choice unless the view or the curves changed meanwhile.
void Clic::elit(const QList<QCPLayerable *> &liste, const QPointF &pos, bool nouvelle)
{
    bool vueOk = false;
    const Vue v = Vue::de(plot, &vueOk);
    if (!nouvelle && election.pos == pos && election.vue == v &&
        election.structure == registre.structure() && vueOk)
        return;
    election = Election();
    election.pos = pos;
    election.vue = v;
    election.structure = registre.structure();
    for (int i = liste.size() - 1; i >= 0; --i) {
        const Courbe *c = static_cast<const Courbe *>(liste.at(i));
        if (c->realVisibility() && c->tient(pos)) {
            election.elue = c;
            election.distance = 0;
            c->sommetProche(pos, &election.details);
            return;
        }
    }
    const double tolerance = plot->selectionTolerance();
    for (int i = liste.size() - 1; i >= 0; --i) {
        const Courbe *c = static_cast<const Courbe *>(liste.at(i));
        if (!c->realVisibility() || !c->pres(pos))
            continue;
        QVariant details;
        const double d = c->distance(pos, false, &details);
        if (d < 0 || d >= tolerance || (election.elue && d >= election.distance))
            continue;
        election.elue = c;
        election.distance = d;
        election.details = details;
    }
}

// The curves near `pos` (within the selection tolerance) and every
// selected one, in drawing order.
QList<QCPLayerable *> Clic::candidats(const QPointF &pos)
{
    std::vector<int> rangs = proches(voisinage(pos));
    for (int r : choisies())
        rangs.push_back(r);
    std::sort(rangs.begin(), rangs.end());
    rangs.erase(std::unique(rangs.begin(), rangs.end()), rangs.end());
    QList<QCPLayerable *> liste;
    liste.reserve(int(rangs.size()));
    for (int r : rangs)
        if (Courbe *c = registre.courbe(r))
            liste.append(c);
    return liste;
}

bool Clic::eventFilter(QObject *objet, QEvent *event)
{
    if (objet != plot || !actif || enEvenement)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        const QPointF pos = static_cast<QMouseEvent *>(event)->pos();
        horsEvenement = candidats(pos);
        elit(horsEvenement, pos, event->type() == QEvent::MouseButtonPress);
        break;
    }
    case QEvent::Wheel:
        break; // no curve takes the wheel: the library asks none of them
    default:
        return false;
    }
    horsEvenement.swap(acces::enfants(couche));
    enEvenement = true;
    static_cast<QObject *>(plot)->event(event);
    enEvenement = false;
    horsEvenement.swap(acces::enfants(couche));
    horsEvenement.clear();
    return true;
}
