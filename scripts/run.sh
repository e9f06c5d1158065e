#!/bin/sh
# Builds Kalu (Release) and starts it with the arguments given. Without
# arguments it starts in examples/, where the Explorer dialog then opens.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j2 --target kalu
[ $# -eq 0 ] && cd examples && exec ../build/release/kalu/kalu
exec build/release/kalu/kalu "$@"
