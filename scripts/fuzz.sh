#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets of tests/fuzz with Clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer, then runs each target in
# turn for SECONDS seconds (default 60), one process at a time.
#
#   sh scripts/fuzz.sh [SECONDS] [TARGET...]
#
# Each run starts from the committed seeds (tests/fuzz/corpus/<target>) and
# keeps what it discovers in build/fuzz/corpus/<target>. An input that
# crashes, leaks, takes more than 1 s or allocates beyond the target's limit
# stops the script with a non-zero status and is left as
# build/fuzz/artifacts/<target>-<kind>-<hash>: minimise it, fix the fault and
# commit it under tests/fuzz/crashes/<target>/ so that CTest replays it.
set -eu
cd "$(dirname "$0")/.."
duree=${1:-60}
[ $# -gt 0 ] && shift
sh scripts/deps.sh test

CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKALU_FUZZ=ON >/dev/null
cmake --build build/fuzz -j2

cibles="$*"
if [ -z "$cibles" ]; then
    for f in tests/fuzz/fuzz_*.cpp; do
        c=$(basename "$f" .cpp)
        cibles="$cibles ${c#fuzz_}"
    done
fi

for cible in $cibles; do
    # Inputs of up to 1 MiB. A shapefile's dearest record, one of many empty
    # parts, costs five times its size, the target's memory bound; a seed of
    # 70,000 such parts starts the reader's inputs at 300 KB, far enough past
    # the bound's 64 KiB margin that a copy of such a record breaks it.
    # Single allocations: a shapefile's up to five times the input plus
    # 64 KiB; a text file's line table holds one pointer per line, up to
    # eight times the size of a file of empty lines, and grows by doubling.
    # Time per input: 1 s, except for the text scanners, whose interface
    # allocates one block per line: under the sanitizers a megabyte of
    # empty lines takes about 3 s, linearly.
    delai=1
    case $cible in
        shp) limite=6 ;;
        txt) limite=24; delai=5 ;;
        *) limite=3 ;;
    esac
    mkdir -p "build/fuzz/corpus/$cible" build/fuzz/artifacts
    echo "== fuzz_$cible: $duree s"
    # -close_fd_mask=3: the traces of the code under test are not wanted;
    # libFuzzer keeps its own copy of stderr for its reports.
    "build/fuzz/tests/fuzz/fuzz_$cible" \
        "build/fuzz/corpus/$cible" "tests/fuzz/corpus/$cible" \
        -max_total_time="$duree" -timeout="$delai" -rss_limit_mb=2048 \
        -malloc_limit_mb="$limite" -max_len=1048576 \
        -close_fd_mask=3 -print_final_stats=1 \
        -artifact_prefix="build/fuzz/artifacts/$cible-"
done
echo "Fuzzing done: no finding."
