// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a large shapefile (with its .shx and a .dbf without fields) for the
// benchmarks or for trying the viewer on a big map.
//
// Usage: kalu_bench_gen OUT.shp TYPE RECORDS PARTS POINTS [COLUMNS RADIUS]
//   TYPE 3 (PolyLine) or 5 (Polygon); every record has PARTS parts of
//   POINTS points. The same arguments always give the same bytes.
//   COLUMNS and RADIUS lay the records out on a grid of COLUMNS columns 0.1
//   degree apart, as circles of RADIUS degrees (default 3600 and 0.04:
//   apart; a radius above 0.05 overlaps the neighbours).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "genshp.h"

int main(int argc, char **argv)
{
    if ((argc != 6 && argc != 8) || strlen(argv[1]) < 5) {
        fprintf(stderr,
                "usage: kalu_bench_gen OUT.shp TYPE RECORDS PARTS POINTS [COLUMNS RADIUS]\n");
        return 2;
    }
    const int type = atoi(argv[2]);
    const long records = atol(argv[3]);
    const int parts = atoi(argv[4]), points = atoi(argv[5]);
    genshp::Disposition d;
    if (argc == 8) {
        d.colonnes = atoi(argv[6]);
        d.rayon = atof(argv[7]);
    }
    if ((type != 3 && type != 5) || records < 0 || parts < 1 || points < 1 || d.colonnes < 1 ||
        !(d.rayon > 0 && d.rayon < 10) ||
        genshp::taille(records, parts, points) > 2LL * 0x7fffffff) {
        fprintf(stderr, "kalu_bench_gen: TYPE is 3 or 5, counts positive, radius in (0, 10), "
                        "file under 4 GB\n");
        return 2;
    }
    if (!genshp::ecrit(argv[1], type, records, parts, points, d)) {
        fprintf(stderr, "kalu_bench_gen: can't write '%s'\n", argv[1]);
        return 1;
    }
    printf("%s: %lld bytes\n", argv[1], genshp::taille(records, parts, points));
    return 0;
}
