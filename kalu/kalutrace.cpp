// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalutrace.h"

#include "kalulignes.h"

#include <typeinfo>

namespace {

// QCPLayerable::applyAntialiasingHint, resolved once.
bool lissage(const QCustomPlot *plot, bool local, QCP::AntialiasedElement element)
{
    if (plot && plot->notAntialiasedElements().testFlag(element))
        return false;
    if (plot && plot->antialiasedElements().testFlag(element))
        return true;
    return local;
}

// A pen as QCPAbstractPlottable1D::drawPolyline sets it on a raster
// painter: a width of 1 made cosmetic.
QPen raster(const QPen &trait)
{
    if (!qFuzzyCompare(trait.widthF(), 1.0))
        return trait;
    QPen cosmetique = trait;
    cosmetique.setWidth(0);
    return cosmetique;
}

// The line as QCPAbstractPlottable1D::drawPolyline strokes it with the
// painter's pen (made cosmetic already on a raster painter): a gap at every
// point that can't be drawn, or single segments under the fast-polylines
// hint.
void trace(QCPPainter *painter, const QVector<QPointF> &lignes, bool rapides)
{
    const bool vectoriel = painter->modes().testFlag(QCPPainter::pmVectorized);
    const int n = lignes.size();
    if (rapides && painter->pen().style() == Qt::SolidLine && !vectoriel &&
        !painter->modes().testFlag(QCPPainter::pmNoCaching)) {
        int i = 0;
        bool apresTrou = false;
        while (i < n && (qIsNaN(lignes.at(i).y()) || qIsNaN(lignes.at(i).x())))
            ++i;
        for (++i; i < n; ++i) {
            if (!qIsNaN(lignes.at(i).y()) && !qIsNaN(lignes.at(i).x())) {
                if (!apresTrou)
                    painter->drawLine(lignes.at(i - 1), lignes.at(i));
                else
                    apresTrou = false;
            } else {
                apresTrou = true;
            }
        }
        return;
    }
    int debut = 0;
    for (int i = 0; i < n; ++i) {
        const QPointF &q = lignes.at(i);
        if (qIsNaN(q.y()) || qIsNaN(q.x()) || qIsInf(q.y())) {
            painter->drawPolyline(lignes.constData() + debut, i - debut);
            debut = i + 1;
        }
    }
    painter->drawPolyline(lignes.constData() + debut, n - debut);
}

} // namespace

QRectF portee(const Vue &v, const QCPRange &cles, const QCPRange &valeurs)
{
    const double marge = 3;
    return QRectF(v.pixel(cles.lower, valeurs.lower), v.pixel(cles.upper, valeurs.upper))
        .normalized()
        .adjusted(-marge, -marge, marge, marge);
}

// What dessineCourbe can draw as the library would.
static bool dessinable(const QCPCurve &courbe)
{
    const QCPSelectionDecorator *d = courbe.selectionDecorator();
    return courbe.scatterStyle().isNone() && (d == nullptr || typeid(*d) == typeid(QCPSelectionDecorator)) &&
           (d == nullptr || d->scatterStyle().isNone());
}

bool Habit::est(const QCPCurve &courbe) const
{
    const QCustomPlot *plot = courbe.parentPlot();
    const QCPSelectionDecorator *d = courbe.selectionDecorator();
    return courbe.pen() == trait && courbe.brush() == fond && (d ? d->pen() : courbe.pen()) == traitChoisi &&
           (d ? d->brush() : courbe.brush()) == fondChoisi &&
           lissage(plot, courbe.antialiased(), QCP::aePlottables) == lisse &&
           lissage(plot, courbe.antialiasedFill(), QCP::aeFills) == lisseFond &&
           (courbe.lineStyle() != QCPCurve::lsNone) == ligne &&
           (plot && plot->plottingHints().testFlag(QCP::phFastPolylines)) == polylignesRapides && dessinable(courbe);
}

Habit Habit::de(const QCPCurve &courbe, bool *ok)
{
    const QCustomPlot *plot = courbe.parentPlot();
    const QCPSelectionDecorator *d = courbe.selectionDecorator();
    Habit h;
    h.trait = courbe.pen();
    h.fond = courbe.brush();
    h.traitChoisi = d ? d->pen() : courbe.pen();
    h.traitRaster = raster(h.trait);
    h.traitChoisiRaster = raster(h.traitChoisi);
    h.fondChoisi = d ? d->brush() : courbe.brush();
    h.lisse = lissage(plot, courbe.antialiased(), QCP::aePlottables);
    h.lisseFond = lissage(plot, courbe.antialiasedFill(), QCP::aeFills);
    h.ligne = courbe.lineStyle() != QCPCurve::lsNone;
    h.polylignesRapides = plot && plot->plottingHints().testFlag(QCP::phFastPolylines);
    *ok = dessinable(courbe);
    return h;
}

bool choisieEntiere(const QCPCurve &courbe, bool *ok)
{
    const QCPDataSelection &s = courbe.selection();
    *ok = s.isEmpty() || (s.dataRangeCount() == 1 && s.span() == QCPDataRange(0, courbe.dataCount()));
    return !s.isEmpty();
}

// The library's calls, less those that change nothing the drawing shows: a
// repeated antialiasing hint, the pen before it is made cosmetic, the empty
// brush of the stroke (a polyline never fills). The next curve sets all it
// draws with.
void dessineCourbe(QCPPainter *painter, const Vue &vue, const QCPCurveDataContainer &donnees,
                   const Habit &habit, bool choisie, QVector<QPointF> &lignes, const QCPRange *cles,
                   const QCPRange *valeurs)
{
    painter->setAntialiasing(habit.lisse);
    if (donnees.isEmpty())
        return;
    const QPen &trait = choisie ? habit.traitChoisi : habit.trait;
    const QBrush &fond = choisie ? habit.fondChoisi : habit.fond;
    lignesCourbe(vue, donnees, trait.widthF(), &lignes, cles, valeurs);

    if (habit.lisseFond != habit.lisse)
        painter->setAntialiasing(habit.lisseFond);
    painter->setBrush(fond);
    painter->setPen(Qt::NoPen);
    if (fond.style() != Qt::NoBrush && fond.color().alpha() != 0)
        painter->drawPolygon(lignes.constData(), lignes.size());
    if (habit.ligne && trait.style() != Qt::NoPen && trait.color().alpha() != 0) {
        if (habit.lisseFond != habit.lisse)
            painter->setAntialiasing(habit.lisse);
        const bool vectoriel = painter->modes().testFlag(QCPPainter::pmVectorized);
        painter->setPen(vectoriel ? trait : choisie ? habit.traitChoisiRaster : habit.traitRaster);
        trace(painter, lignes, habit.polylignesRapides);
    }
}
