// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalucourbe.h"

#include "kalutrace.h"

Courbe::Courbe(QCPAxis *x, QCPAxis *y, const QCPRange &cles, const QCPRange &valeurs)
    : QCPCurve(x, y), cles(cles), valeurs(valeurs)
{
}

// The shared look is not the curve's to delete.
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

double Courbe::selectTest(const QPointF &pos, bool onlySelectable, QVariant *details) const
{
    double distance = -1;
    if (carte && carte->repond(this, pos, onlySelectable, &distance, details))
        return distance;
    return mesure(pos, onlySelectable, details);
}

double Courbe::mesure(const QPointF &pos, bool onlySelectable, QVariant *details) const
{
    QCPAxis *x = keyAxis(), *y = valueAxis();
    if (x == nullptr || y == nullptr || mDataContainer->isEmpty())
        return QCPCurve::selectTest(pos, onlySelectable, details);
    const double marge = mParentPlot->selectionTolerance();
    const QRectF boite = QRectF(QPointF(x->coordToPixel(cles.lower), y->coordToPixel(valeurs.lower)),
                                QPointF(x->coordToPixel(cles.upper), y->coordToPixel(valeurs.upper)))
                             .normalized()
                             .adjusted(-marge, -marge, marge, marge);
    if (!boite.contains(pos))
        return -1;
    if ((!onlySelectable || selectable() != QCP::stNone) && brush().style() != Qt::NoBrush &&
        x->axisRect()->rect().contains(pos.toPoint()) && contient(pos, details))
        return 0;
    return QCPCurve::selectTest(pos, onlySelectable, details);
}

// Even-odd rule, as the ring is filled; `details` gets the vertex nearest
// `pos` on screen.
bool Courbe::contient(const QPointF &pos, QVariant *details) const
{
    const double px = keyAxis()->pixelToCoord(pos.x()), py = valueAxis()->pixelToCoord(pos.y());
    bool dedans = false;
    auto debut = mDataContainer->constBegin(), fin = mDataContainer->constEnd();
    for (auto a = debut, b = fin - 1; a != fin; b = a++) {
        if ((a->value > py) != (b->value > py) &&
            px < (b->key - a->key) * (py - a->value) / (b->value - a->value) + a->key)
            dedans = !dedans;
    }
    if (!dedans)
        return false;
    if (details) {
        int proche = 0;
        double meilleure = -1;
        for (auto it = debut; it != fin; ++it) {
            const QPointF d = coordsToPixels(it->key, it->value) - pos;
            const double d2 = d.x() * d.x() + d.y() * d.y();
            if (meilleure < 0 || d2 < meilleure)
                meilleure = d2, proche = int(it - debut);
        }
        details->setValue(QCPDataSelection(QCPDataRange(proche, proche + 1)));
    }
    return true;
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
