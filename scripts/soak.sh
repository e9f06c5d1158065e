#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# A long random session of a user's work on the window (maps from a few
# parts to 100,000, loads stopped, replaced and emptied, gestures during
# them): the soak test of CTest (1,000 events) run for EVENTS events (default
# 20000) from SEED (default 17), in BUILD (default build/release;
# build/sanitize runs it under the sanitizers). Prints the session's figures;
# exits non-zero on a failure or a crash, which names the seed and the event
# to replay. KALU_SOAK_JOURNAL=1 in the environment prints every event.
#
#   sh scripts/soak.sh [EVENTS] [SEED] [BUILD]
set -eu
cd "$(dirname "$0")/.."
evenements=${1:-20000}
graine=${2:-17}
build=${3:-build/release}
sh scripts/deps.sh
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKALU_TESTS=ON >/dev/null
fi
cmake --build "$build" -j2 --target kalu_test_soak

# The environment CTest gives the window tests, with a scratch directory of
# the run's own.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
env QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 TMPDIR="$scratch" KALU_SCRATCH="$scratch" \
    XDG_RUNTIME_DIR="$scratch" \
    LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
    KALU_SOAK_EVENTS="$evenements" KALU_SOAK_SEED="$graine" \
    "$build/tests/kalu_test_soak"
