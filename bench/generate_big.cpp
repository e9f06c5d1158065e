// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a large shapefile (and its .shx) for the benchmarks or for trying
// the viewer on a big map.
//
// Usage: kalu_bench_gen OUT.shp TYPE RECORDS PARTS POINTS
//   TYPE 3 (PolyLine) or 5 (Polygon); every record has PARTS parts of
//   POINTS points. The same arguments always give the same bytes.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "genshp.h"

int main(int argc, char **argv)
{
    if (argc != 6 || strlen(argv[1]) < 5) {
        fprintf(stderr, "usage: kalu_bench_gen OUT.shp TYPE RECORDS PARTS POINTS\n");
        return 2;
    }
    const int type = atoi(argv[2]);
    const long records = atol(argv[3]);
    const int parts = atoi(argv[4]), points = atoi(argv[5]);
    if ((type != 3 && type != 5) || records < 0 || parts < 1 || points < 1 ||
        genshp::taille(records, parts, points) > 2LL * 0x7fffffff) {
        fprintf(stderr, "kalu_bench_gen: TYPE is 3 or 5, counts positive, file under 4 GB\n");
        return 2;
    }
    if (!genshp::ecrit(argv[1], type, records, parts, points)) {
        fprintf(stderr, "kalu_bench_gen: can't write '%s'\n", argv[1]);
        return 1;
    }
    printf("%s: %lld bytes\n", argv[1], genshp::taille(records, parts, points));
    return 0;
}
