// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalulignes: the pixels of a curve's line without its axes. The plotting
// library turns a curve into pixels through its live axes (QObjects of the
// GUI thread); the map's complete drawings are made on worker threads, which
// must not touch them. This is the library's own computation, step for step
// and expression for expression, with a Vue in place of the axes, so that
// the lines drawn from it land on the very pixels the library's would. It is
// QCustomPlot 2.1.0's: another release fails the build until the copy has
// been compared with it.
//
// Threads: callable on any thread, several at once. It reads only `vue`,
// `donnees` and the box, which must not change meanwhile, and writes only
// `*lignes`.
#ifndef KALULIGNES_H
#define KALULIGNES_H

#include <QPointF>
#include <QVector>

#include "kaluvue.h"
#include "qcustomplot.h"

// The pixels of a curve's line as QCPCurve::getCurveLines gives them for the
// whole curve whose key axis is `vue`'s bottom axis and value axis its left
// axis, drawn with a pen `largeurTrait` wide: the same points, in the same
// order, equal to the last bit (NaN where the library's are NaN).
//
// Points far outside the view are folded onto a rectangle a little larger
// than the axis rectangle (the library's optimisation); when every point
// lies inside that rectangle the lines are the points themselves in pixels.
//
// `cles` and `valeurs`, when both given, are a box the caller already knows:
// every key that is not NaN lies in `cles`, every value that is not NaN in
// `valeurs` (a shapefile's bounding box does; the containers' keyRange() and
// valueRange() do not, since they skip whole points whose value is NaN). A
// box inside that rectangle spares the per-point tests.
//
// `*lignes` is cleared and refilled; its capacity is kept, so a buffer
// passed again and again stops allocating.
void lignesCourbe(const Vue &vue, const QCPCurveDataContainer &donnees, double largeurTrait,
                  QVector<QPointF> *lignes, const QCPRange *cles = nullptr,
                  const QCPRange *valeurs = nullptr);

// The smaller of `depuis` and the squared distance in pixels from `pos` to
// the nearest segment of the lines lignesCourbe gives, as
// QCPCurve::pointDistance takes it (the smallest of
// QCPVector2D(pos).distanceSquaredToLine over the segments, from the
// distance to the nearest point), to the last bit, without making the
// lines: a click on a ring of a million points asks for no memory.
double distanceLignes(const Vue &vue, const QCPCurveDataContainer &donnees, double largeurTrait,
                      const QPointF &pos, double depuis, const QCPRange *cles = nullptr,
                      const QCPRange *valeurs = nullptr);

#endif
