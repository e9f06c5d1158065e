// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalucourbe.h"

#include "kalulignes.h"
#include "kalutrace.h"

#include <cmath>
#include <limits>

Courbe::Courbe(QCPAxis *x, QCPAxis *y, const QCPRange &cles, const QCPRange &valeurs)
    : QCPCurve(x, y), cles(cles), valeurs(valeurs)
{
}

// The shared look is not the curve's to delete (entry B5 of the register in
// kaluacces.h).
Courbe::~Courbe()
{
    if (carte)
        carte->oublie(rang);
    if (choix)
        mSelectionDecorator = nullptr;
}

void Courbe::partageChoix(std::shared_ptr<QCPSelectionDecorator> d)
{
    delete mSelectionDecorator;
    mSelectionDecorator = d.get();
    choix = std::move(d);
}

QString Courbe::nom() const
{
    if (rcdi < 0 || !mName.isEmpty())
        return mName;
    return QString("shp[%1][%2]").arg(rcdi).arg(parti);
}

void Courbe::nomme()
{
    if (rcdi >= 0 && mName.isEmpty())
        mName = nom();
    rcdi = -1;
}

QString nomDe(const QCPAbstractPlottable *p)
{
    const Courbe *c = dynamic_cast<const Courbe *>(p);
    return c ? c->nom() : p->name();
}

double Courbe::selectTest(const QPointF &pos, bool onlySelectable, QVariant *details) const
{
    double distance = -1;
    if (carte && carte->repond(this, pos, onlySelectable, &distance, details))
        return distance;
    return mesure(pos, onlySelectable, details);
}

double Courbe::mesure(const QPointF &pos, bool onlySelectable, QVariant *details) const
{
    if (keyAxis() == nullptr || valueAxis() == nullptr || mDataContainer->isEmpty())
        return QCPCurve::selectTest(pos, onlySelectable, details);
    if (!pres(pos))
        return -1;
    if ((!onlySelectable || selectable() != QCP::stNone) && tient(pos)) {
        if (details)
            sommetProche(pos, details);
        return 0;
    }
    return distance(pos, onlySelectable, details);
}

// Whether `pos` is within the selection tolerance of the box.
bool Courbe::pres(const QPointF &pos) const
{
    const QCPAxis *x = keyAxis(), *y = valueAxis();
    const double marge = mParentPlot->selectionTolerance();
    return QRectF(QPointF(x->coordToPixel(cles.lower), y->coordToPixel(valeurs.lower)),
                  QPointF(x->coordToPixel(cles.upper), y->coordToPixel(valeurs.upper)))
        .normalized()
        .adjusted(-marge, -marge, marge, marge)
        .contains(pos);
}

// A filled ring holds `pos` by the even-odd rule, as it is filled, in the
// axis rectangle.
bool Courbe::tient(const QPointF &pos) const
{
    const QCPAxis *x = keyAxis(), *y = valueAxis();
    if (x == nullptr || y == nullptr || mDataContainer->isEmpty() ||
        brush().style() == Qt::NoBrush || !x->axisRect()->rect().contains(pos.toPoint()))
        return false;
    const double px = x->pixelToCoord(pos.x()), py = y->pixelToCoord(pos.y());
    if (!cles.contains(px) || !valeurs.contains(py))
        return false;
    bool dedans = false;
    auto debut = mDataContainer->constBegin(), fin = mDataContainer->constEnd();
    for (auto a = debut, b = fin - 1; a != fin; b = a++) {
        if ((a->value > py) != (b->value > py) &&
            px < (b->key - a->key) * (py - a->value) / (b->value - a->value) + a->key)
            dedans = !dedans;
    }
    return dedans;
}

// The vertex nearest `pos` on screen, as the clicked point.
void Courbe::sommetProche(const QPointF &pos, QVariant *details) const
{
    bool vueOk = false;
    const Vue v = Vue::de(mKeyAxis.data(), mValueAxis.data(), &vueOk);
    int proche = 0;
    double meilleure = -1;
    const auto debut = mDataContainer->constBegin(), fin = mDataContainer->constEnd();
    for (auto it = debut; it != fin; ++it) {
        const QPointF d =
            (vueOk ? v.pixel(it->key, it->value) : coordsToPixels(it->key, it->value)) - pos;
        const double d2 = d.x() * d.x() + d.y() * d.y();
        if (meilleure < 0 || d2 < meilleure)
            meilleure = d2, proche = int(it - debut);
    }
    details->setValue(QCPDataSelection(QCPDataRange(proche, proche + 1)));
}

// QCPCurve::selectTest and pointDistance, step for step, with the axes'
// transform inline (a Vue's) and the distance to the lines taken as they
// are made: the library makes them whole first, and on a ring of a million
// points a click's first query then spent a tenth of a second in the new
// memory's page faults. A copy (entry B8 of the register in kaluacces.h):
// what it can't measure so is the library's.
double Courbe::distance(const QPointF &pos, bool onlySelectable, QVariant *details) const
{
    bool vueOk = false;
    const Vue v = Vue::de(mKeyAxis.data(), mValueAxis.data(), &vueOk);
    if (!vueOk || mDataContainer->size() < 2 || mLineStyle == lsNone)
        return QCPCurve::selectTest(pos, onlySelectable, details);
    if (onlySelectable && mSelectable == QCP::stNone)
        return -1;
    if (!mKeyAxis->axisRect()->rect().contains(pos.toPoint()) &&
        !mParentPlot->interactions().testFlag(QCP::iSelectPlottablesBeyondAxisRect))
        return -1;
    const auto debut = mDataContainer->constBegin(), fin = mDataContainer->constEnd();
    auto proche = fin;
    double minDistSqr = std::numeric_limits<double>::max();
    for (auto it = debut; it != fin; ++it) {
        const double d = QCPVector2D(v.pixel(it->key, it->value) - pos).lengthSquared();
        if (d < minDistSqr)
            minDistSqr = d, proche = it;
    }
    minDistSqr = distanceLignes(v, *mDataContainer, mParentPlot->selectionTolerance() * 1.2, pos,
                                minDistSqr, &cles, &valeurs);
    if (details) {
        const int i = int(proche - debut);
        details->setValue(QCPDataSelection(QCPDataRange(i, i + 1)));
    }
    return qSqrt(minDistSqr);
}

void Courbe::selectEvent(QMouseEvent *event, bool additive, const QVariant &details,
                         bool *selectionStateChanged)
{
    QCPCurve::selectEvent(event, additive, details, selectionStateChanged);
    if (carte)
        carte->suspecte(rang);
}

// Most curves of a big map are not selected: nothing to undo, no copy of
// an empty selection.
void Courbe::deselectEvent(bool *selectionStateChanged)
{
    if (!selected()) {
        if (selectionStateChanged)
            *selectionStateChanged = false;
        return;
    }
    QCPCurve::deselectEvent(selectionStateChanged);
    if (carte)
        carte->suspecte(rang);
}

void Courbe::draw(QCPPainter *painter)
{
    bool vueOk = false, habitOk = false, entiere = false;
    const Vue v = Vue::de(mKeyAxis.data(), mValueAxis.data(), &vueOk);
    const Habit h = vueOk ? Habit::de(*this, &habitOk) : Habit();
    const bool choisie = choisieEntiere(*this, &entiere);
    if (!vueOk || !habitOk || !entiere) {
        QCPCurve::draw(painter);
        return;
    }
    static QVector<QPointF> lignes; // GUI thread only; keeps its room
    dessineCourbe(painter, v, *mDataContainer, h, choisie, lignes, &cles, &valeurs);
}
