// SPDX-License-Identifier: GPL-3.0-or-later
// Deterministic generator of large shapefiles for the benchmarks: every
// record has the same number of parts and every part the same number of
// points, so a file's size follows from its three counts alone.
#ifndef KALU_BENCH_GENSHP_H
#define KALU_BENCH_GENSHP_H

#include <string>

namespace genshp {

// Writes `chemin` (.shp) and its index beside it (.shx, which shapelib
// needs): `records` records of shape type `type` (3 or 5), each of `parts`
// parts of `points` points. Polygon parts are closed rings. The same
// arguments always give the same bytes. False on a write failure.
bool ecrit(const std::string &chemin, int type, long records, int parts, int points);

// Size in bytes of the .shp file ecrit writes for these counts.
long long taille(long records, int parts, int points);

} // namespace genshp

#endif
