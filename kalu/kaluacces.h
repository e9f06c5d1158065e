// SPDX-License-Identifier: GPL-3.0-or-later
//
// kaluacces: the only place that reaches below the plotting library's public
// interface (checked against QCustomPlot 2.1.0, and another release fails
// the build until it has been checked too). Each access says why the public
// way won't do on a map of a million curves.
//
// Threads: GUI thread only, as the plot itself.
#ifndef KALUACCES_H
#define KALUACCES_H

#include "qcustomplot.h"

namespace acces
{

// The plot's list of plottables: QCustomPlot::addPlottable searches it
// whole before each append, and removePlottable from the front.
QList<QCPAbstractPlottable *> &plottables(QCustomPlot *plot);

// A layer's children, in drawing order: the map lends them to itself during
// a replot, and hands the library's event passes only the curves near the
// pointer.
QList<QCPLayerable *> &enfants(QCPLayer *couche);

// Moves `l`, the last child of its layer, to the end of `vers` in constant
// time: QCPLayerable::setLayer searches the whole target layer first.
void demenage(QCPLayerable *l, QCPLayer *vers);

// Forgets `l`'s layer without telling the layer, whose list the caller has
// emptied already: a layerable deleted later then searches nothing.
void oublieCouche(QCPLayerable *l);

} // namespace acces

#endif
