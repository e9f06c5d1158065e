// SPDX-License-Identifier: GPL-3.0-or-later
// Deterministic generator of large shapefiles for the benchmarks: every
// record has the same number of parts and every part the same number of
// points, so a file's size follows from its three counts alone.
#ifndef KALU_BENCH_GENSHP_H
#define KALU_BENCH_GENSHP_H

#include <string>

namespace genshp
{

// Where the figures lie. Record r is a circle (part p of it a circle of
// radius / (p + 1)) around place r of a grid of `colonnes` columns, `pas`
// degrees apart, filled row after row. The default keeps every figure apart
// from its neighbours; a radius above half the step makes each overlap
// them, as maps of parcels, countries or roads do.
struct Disposition {
    int colonnes = 3600;
    double pas = 0.1;
    double rayon = 0.04;
};

// Writes `chemin` (.shp), its index beside it (.shx, which shapelib needs)
// and a table without fields (.dbf, which Mapnik needs): `records` records
// of shape type `type` (3 or 5), each of `parts` parts of `points` points.
// The headers' box is the union of the records' boxes. Polygon parts are
// closed rings. The same arguments always give the same bytes. False on a
// write failure.
bool ecrit(const std::string &chemin, int type, long records, int parts, int points,
           const Disposition &d = Disposition());

// Whether `chemin` is what ecrit writes for these arguments, as far as its
// size and header tell, with its table beside it.
bool present(const std::string &chemin, int type, long records, int parts, int points,
             const Disposition &d = Disposition());

// Size in bytes of the .shp file ecrit writes for these counts.
long long taille(long records, int parts, int points);

} // namespace genshp

#endif
