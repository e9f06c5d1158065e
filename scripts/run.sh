#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Kalu (Release) and starts it with the arguments given. Without
# arguments it starts in examples/, where the Explorer dialog then opens.
# Without a display it draws the examples (or the files given) to a PNG with
# kalu-export instead, and prints the picture's path.
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): drawing with kalu-export instead of opening the window."
    cmake --build build/release -j2 --target kalu-export >/dev/null
    png="$PWD/build/release/kalu-export.png"
    [ $# -eq 0 ] && set -- examples/*.shp
    build/release/kalu/kalu-export "$png" "$@" >/dev/null
    echo "$png"
    exit 0
fi
cmake --build build/release -j2 --target kalu
[ $# -eq 0 ] && cd examples && exec ../build/release/kalu/kalu
exec build/release/kalu/kalu "$@"
