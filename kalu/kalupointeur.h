// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalupointeur: the pointer's longitude and latitude over the plot, at the
// right end of the status bar, to the digits a pixel tells apart: a wide
// view shows whole degrees, a close one as many decimals as one pixel's
// width in data units needs (12 at most). Outside the axis rectangle it
// shows nothing. Wide enough for most coordinates, so that the message
// beside it keeps its room while the pointer moves.
//
// Threads: GUI thread only (a widget); ecrit anywhere.
#ifndef KALUPOINTEUR_H
#define KALUPOINTEUR_H

#include <QLabel>

class QCustomPlot;

class Pointeur : public QLabel
{
  public:
    Pointeur();
    // The pointer at `pos`, in the plot's pixels.
    void montre(const QCustomPlot *plot, const QPoint &pos);
    // `v` with the decimals that tell apart values `pixel` apart.
    static QString ecrit(double v, double pixel);
};

#endif
