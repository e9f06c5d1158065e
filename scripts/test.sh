#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the sources' format, builds everything and runs every test twice: in the Release build, then in
# a build with AddressSanitizer and UndefinedBehaviorSanitizer (leak checks
# included); then runs each fuzz target for one minute. Exits non-zero on the
# first failure.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh test
sh scripts/format.sh --check

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DKALU_TESTS=ON
cmake --build build/release -j2
(cd build/release && ctest --output-on-failure -j2)

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALU_TESTS=ON -DKALU_SANITIZE=ON
cmake --build build/sanitize -j2
(cd build/sanitize && ctest --output-on-failure -j2)
sh scripts/fuzz.sh 60
echo "All tests passed (Release, sanitizers and a short fuzz)."
