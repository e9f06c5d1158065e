#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the benchmarks (Release, -DKALU_BENCH=ON) and runs them: the reader
# against a raw fread and shapelib, then the viewer (1k to 1M polygons, maps
# of few parts with many points, lines, then the real-shaped maps that
# bench/reelles.py makes from packaged data; device pixel ratios 1 and 2:
# the load's first picture and complete picture, event loop stalls, frames,
# time to the complete picture beside the floor, resident memory after the
# load and after "Remove all shapes", and on the real maps by threads) and
# kalu-export on the biggest files; last, kalu-export and the viewer's load
# (first picture, complete picture, whole process) beside QGIS and Mapnik
# on the big generated maps and the real ones, and their warm redraw on the
# real maps (bench/bench_peers.py). About 45 minutes on 2 cores. Files
# (about 2.5 GB) are kept in $TMPDIR (default /tmp); the real maps take
# about 3 more minutes to make the first time.
#
#   bench.sh [--reelles] [RUNS]
#   --reelles  the real-shaped maps alone: the viewer's tables, and the
#              load and the warm redraw beside the peers (about 15 minutes).
#   RUNS       the reader's runs per method and file (default 5).
set -eu
cd "$(dirname "$0")/.."
reelles=""
if [ "${1:-}" = "--reelles" ]; then
    reelles="--reelles"
    shift
fi
sh scripts/deps.sh bench
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DKALU_TESTS=OFF -DKALU_BENCH=ON >/dev/null
cmake --build build/bench -j2 --target kalu_bench_reader kalu_bench_viewer kalu_bench_gen
dossier="${TMPDIR:-/tmp}"
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
if [ -z "$reelles" ]; then
    build/bench/bench/kalu_bench_reader "$dossier" "$@"
    echo
fi
build/bench/bench/kalu_bench_viewer "$dossier" $reelles
echo
# Debian's interpreter: the peers' modules are Debian packages.
/usr/bin/python3 bench/bench_peers.py $reelles build/bench/bench/kalu_bench_viewer build/bench/kalu/kalu-export "$dossier"
