// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalulegende: the plot's legend for a map of a million curves, each with
// its item, made and laid out in time linear in their number.
//
// The library's own add looks for the first free cell and widens every row
// on each call, and a hidden legend still measures every item's text on
// each replot. Here items are in one column, item i in row i, as the
// library lays them out; they are made only when something needs them: when
// the legend shows (the map is asked then, Carte::faitEntrees), or when
// asked. A curve and its item are selected together, whichever of the two
// the user clicked.
//
// Threads: GUI thread only.
#ifndef KALULEGENDE_H
#define KALULEGENDE_H

#include <functional>
#include <vector>

#include "kalucourbe.h"
#include "kaluregistre.h"
#include "qcustomplot.h"

class Legende : public QCPLegend
{
  public:
    // Called before a shown legend is laid out: the map makes there the
    // items its curves still miss (entry B15 of the register in
    // kaluacces.h).
    void setAvantMiseEnPage(std::function<void()> faire) { avant = std::move(faire); }

    // Appends `item` as a new last row. Takes ownership.
    void ajoute(QCPAbstractLegendItem *item);

    // A hidden legend is neither laid out nor measured (entry B16).
    void update(UpdatePhase phase) override;
    QSize minimumOuterSizeHint() const override;
    QSize maximumOuterSizeHint() const override;

  private:
    std::function<void()> avant;
};

// Gives every curve of `registre` that has none its legend item in
// `legend`, in order, each selected as its curve is, on the layer
// `entrees`. None while curves are being added: a legend still shown from
// the last map would make a big load's items at every replot of the load.
void faitEntrees(QCPLegend *legend, Registre &registre, QCPLayer *entrees);

// Selects together, as a whole, each curve and its legend item of which
// either is selected; `possibles` are the ranks of curves that may be
// selected (the others are not). `choisie` is told of each curve whose
// selection it set.
void accordeSelection(QCPLegend *legend, Registre &registre, const std::vector<int> &possibles,
                      const std::function<void(QCPCurve *)> &choisie);

#endif
