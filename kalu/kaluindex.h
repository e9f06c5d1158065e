// SPDX-License-Identifier: GPL-3.0-or-later
//
// kaluindex: which curves may lie near a point, from the boxes of a scene's
// curves: a grid over the boxes in data coordinates. A curve goes in every
// cell its box meets, or among the big ones when that would be many cells.
//
// Threads: made on any thread from a scene (the drawing jobs make it beside
// their picture); immutable once made, read on any thread.
#ifndef KALUINDEX_H
#define KALUINDEX_H

#include <memory>
#include <vector>

#include "kaluscene.h"

class Index
{
  public:
    explicit Index(const Scene &scene);

    // The ranks of the curves whose box may meet the rectangle of data
    // coordinates [x0, x1] x [y0, y1], in no order, with repeats.
    std::vector<int> proches(double x0, double x1, double y0, double y1) const;

  private:
    int cx(double x) const;
    int cy(double y) const;

    double x0 = 0, y0 = 0, dx = 1, dy = 1;
    int nx = 0, ny = 0;
    std::vector<int> debut; // cell c holds rangs[debut[c] .. debut[c+1])
    std::vector<int> rangs;
    std::vector<int> grands;
};

#endif
