// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalureserve: the room a drawing's huge rings take (their lines, the
// pieces their fill is cut into), and the pictures' own, kept from one
// picture to the next. On this kind of machine a page of new memory costs
// more than the work that writes it: a ring of 778,652 points cut in fresh
// memory took 100 ms, 2 ms in memory kept; a picture of 1600 x 1200 device
// pixels, copied or filled in fresh memory, 25 to 30 ms of the GUI thread,
// 2 in memory kept. The pictures of one map ask the same sizes again and
// again.
//
// What is kept is what the last two drawings took: vieillit(), at a
// drawing's end, lets go of what lay unused through two, so a map without
// huge rings keeps no rings' room; pictures' memory is kept for 8 pictures
// at most.
//
// Threads: any, several at once (one lock, taken a few times a ring or a
// picture). A picture's memory comes back on the thread its last copy
// goes on.
#ifndef KALURESERVE_H
#define KALURESERVE_H

#include <QImage>
#include <QPointF>
#include <QVector>

#include <vector>

namespace reserve
{

// Empty, with room for at least `n` points: the smallest kept that is big
// enough, else the biggest kept made bigger, else new.
std::vector<QPointF> points(size_t n);
// The same for a curve's lines (lignesCourbe keeps the room it is given).
QVector<QPointF> lignes(size_t n);

// Given back, to be kept.
void rends(std::vector<QPointF> &&v);
void rends(QVector<QPointF> &&v);

// An image of `taille` and `format`, its pixels undefined (as a new
// QImage's), whose memory is kept when its last copy goes. Null when
// memory runs out, as a QImage's.
QImage image(QSize taille, QImage::Format format);
// `source` copied into such an image, its device pixel ratio with it.
QImage copie(const QImage &source);

// A drawing ended: what was kept and not taken since the call before the
// last goes.
void vieillit();

// The bytes kept (tests).
size_t gardes();

} // namespace reserve

#endif
