#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs, with apt-get, whatever this Debian machine does not have yet of
# what a command needs. Run as root (or through sudo).
#   deps.sh run     building and running the viewer (scripts/run.sh)
#   deps.sh [test]  also the tests: GoogleTest, the packaging validators and
#                   lintian, the fuzzing toolchain (Clang, libFuzzer) and
#                   clang-format
#   deps.sh bench   also the benchmarks (they alone use shapelib, the peer
#                   the reader is measured against, QGIS's and Mapnik's
#                   Python bindings, the peers of kalu-export and the viewer,
#                   and GMT with its shoreline and border data and npm, from
#                   which bench/reelles.py makes the real-shaped maps; a
#                   Node.js that ships its own npm is kept; Xvfb and the
#                   XTest and DAMAGE libraries, through which
#                   bench/guetteur.py watches the viewer's window)
set -eu

VIEWER="cmake g++ make qtbase5-dev libqcustomplot-dev fonts-liberation"
TESTS="$VIEWER pkg-config libgtest-dev
desktop-file-utils appstream shared-mime-info dpkg-dev file groff-base lintian
clang libclang-rt-14-dev clang-format"
case ${1:-test} in
    run) PAQUETS=$VIEWER ;;
    test) PAQUETS=$TESTS ;;
    bench) PAQUETS="$TESTS libshp-dev python3-qgis python3-mapnik gmt gmt-gshhg-full gmt-dcw xvfb libxtst6 libxdamage1 $(command -v npm >/dev/null || echo npm)" ;;
    *) echo "usage: deps.sh [run|test|bench]" >&2; exit 2 ;;
esac

manquants=""
for p in $PAQUETS; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        manquants="$manquants $p"
    fi
done
[ -z "$manquants" ] && exit 0

echo "Installing:$manquants"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq || true
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $manquants
