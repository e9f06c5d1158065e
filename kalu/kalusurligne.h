// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalusurligne: what shows of a selection the moment it changes, while the
// exact picture takes a drawing job (a ring of three quarters of a million
// points and every curve near it): the picture with no curve selected, and
// over it the outline of each selected curve in its selected pen. Nothing
// of the selection that went shows in it; the exact picture, which differs
// from it only where the selected curves draw, replaces it once drawn.
//
// The outline is the selected curve's own line, as the library computes
// it, its points that fall on one device pixel after another kept once:
// the stroke looks the same at a fraction of the cost.
//
// Threads: any thread, on pictures it owns (the map calls it on the GUI
// thread, with a scene and states that no one changes).
#ifndef KALUSURLIGNE_H
#define KALUSURLIGNE_H

#include <QImage>
#include <QPainter>

#include <vector>

#include "kaluscene.h"

// `neutre` (the picture of the view `vue` with none selected, device
// pixels) with the outlines of the curves of `scene` at `choisies` drawn
// over it, clipped to the view's axis rectangle, with the hints and modes
// given (the plot's painter's).
QImage surligne(const QImage &neutre, const Vue &vue, const Scene &scene,
                const std::vector<int> &choisies, QPainter::RenderHints indices,
                QCPPainter::PainterModes modes);

// The points of `lignes` that stay on the device pixel of the point kept
// before them, at `ratio` device pixels a pixel, left out (the gaps of NaN
// points stay); the last point always stays.
void resserrePixels(QVector<QPointF> &lignes, qreal ratio);

#endif
