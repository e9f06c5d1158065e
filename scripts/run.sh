#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Kalu (Release), the viewer and kalu-export, and starts the viewer
# with the arguments given, whose paths are taken from the directory the
# script is called from. Without arguments it starts in examples/, where the
# Explorer dialog then opens. Without a display it draws the examples (or the
# files given) to a PNG with kalu-export instead, and prints the picture's
# path.
set -eu
racine=$(cd "$(dirname "$0")/.." && pwd)
build=$racine/build/release
sh "$racine/scripts/deps.sh" run
# Only the viewer's dependencies were installed: a new build tree is made
# without the tests; one that the test command made keeps them.
tests=""
[ -f "$build/CMakeCache.txt" ] || tests=-DKALU_TESTS=OFF
# shellcheck disable=SC2086
cmake -S "$racine" -B "$build" -DCMAKE_BUILD_TYPE=Release $tests >/dev/null
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): drawing with kalu-export instead of opening the window."
    cmake --build "$build" -j2 --target kalu-export >/dev/null
    png="$build/kalu-export.png"
    [ $# -eq 0 ] && set -- "$racine"/examples/*.shp
    "$build/kalu/kalu-export" "$png" "$@" >/dev/null
    echo "$png"
    exit 0
fi
# kalu-export too: the README's commands use it after this one.
cmake --build "$build" -j2 --target kalu kalu-export
[ $# -eq 0 ] && cd "$racine/examples" && exec "$build/kalu/kalu"
exec "$build/kalu/kalu" "$@"
