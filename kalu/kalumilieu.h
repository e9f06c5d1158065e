// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalumilieu: the height at which the raster engine cuts a polygon too big
// for one fill (entry R1 of the register in kaluacces.h): the value its
// sort of the points' heights puts in the middle. Found without sorting,
// nor selecting among all the heights: their bits, read in order, are
// counted into 65,536 boxes, and only the box that holds the middle is
// gone through again, then selected from. A selection among the heights of
// a ring of 778,652 points cost a tenth of a country map's drawing.
//
// Threads: any; the room it counts in is each thread's own, kept.
#ifndef KALUMILIEU_H
#define KALUMILIEU_H

#include <QPointF>

// The height std::sort puts at n / 2 among the heights of the `n` points
// (n > 0). Heights that are NaN have no place in an order: with one, the
// value is std::nth_element's over the heights, as any selection would give
// some other.
double milieu(const QPointF *points, int n);

#endif
