// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalulegende.h"

#include "kaluacces.h"

// Writes the layout grid's own lists (entry B4 of the register in
// kaluacces.h): kalu_test_acces compares the result with addItem's.
void Legende::ajoute(QCPAbstractLegendItem *item)
{
    if (columnCount() > 1) { // not this window's layout; keep it right
        addItem(item);
        return;
    }
    mElements.append(QList<QCPLayoutElement *>() << item);
    mRowStretchFactors.append(1);
    if (mColumnStretchFactors.isEmpty())
        mColumnStretchFactors.append(1);
    adoptElement(item);
}

void Legende::update(UpdatePhase phase)
{
    if (!visible())
        return;
    if (avant && phase == upPreparation)
        avant();
    QCPLegend::update(phase);
}

QSize Legende::minimumOuterSizeHint() const
{
    return visible() ? QCPLegend::minimumOuterSizeHint() : QSize(0, 0);
}

QSize Legende::maximumOuterSizeHint() const
{
    return visible() ? QCPLegend::maximumOuterSizeHint() : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void accordeSelection(QCPLegend *legend, Registre &registre, const std::vector<int> &possibles,
                      const std::function<void(QCPCurve *)> &choisie)
{
    auto choisit = [&choisie](QCPCurve *c) {
        c->setSelection(QCPDataSelection(QCPDataRange(0, c->dataCount())));
        choisie(c);
    };
    // One pass over the legend's items, then over the curves that have none:
    // looking each curve's item up would scan the legend once per curve.
    for (int i = 0; i < legend->itemCount(); ++i) {
        QCPPlottableLegendItem *item = qobject_cast<QCPPlottableLegendItem *>(legend->item(i));
        QCPCurve *curve = item ? qobject_cast<QCPCurve *>(item->plottable()) : nullptr;
        if (curve && (item->selected() || curve->selected())) {
            item->setSelected(true);
            choisit(curve);
        }
    }
    for (int r : possibles)
        if (size_t(r) >= registre.sansEntree())
            choisit(registre.courbe(r));
}

void faitEntrees(QCPLegend *legend, Registre &registre, QCPLayer *entrees)
{
    const std::vector<Courbe *> &courbes = registre.courbes();
    if (legend == nullptr || registre.sansEntree() >= courbes.size() || registre.ajouts())
        return;
    Legende *legende = dynamic_cast<Legende *>(legend);
    // An item is born on the plot's current layer and the library moves it
    // at once to the "legend" layer, from which it goes to the items' own.
    QCustomPlot *plot = legend->parentPlot();
    QCPLayer *avant = plot->currentLayer();
    plot->setCurrentLayer(registre.naissance());
    for (size_t r = registre.sansEntree(); r < courbes.size(); ++r) {
        Courbe *c = courbes[r];
        if (!c)
            continue;
        c->nomme(); // the item shows the curve.s name
        QCPAbstractLegendItem *item = new QCPPlottableLegendItem(legend, c);
        acces::demenage(item, entrees);
        item->setSelected(c->selected());
        if (legende)
            legende->ajoute(item);
        else
            legend->addItem(item);
    }
    registre.entreesFaites();
    plot->setCurrentLayer(avant);
}
