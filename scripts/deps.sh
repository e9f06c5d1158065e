#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs, with apt-get, whatever the build and the tests need and this
# Debian machine does not have yet. Run as root (or through sudo).
# With the argument "bench", also what the benchmarks need (they alone use
# shapelib, as the peer they are measured against).
set -eu

PAQUETS="cmake g++ make pkg-config
qtbase5-dev libqcustomplot-dev libgtest-dev fonts-liberation
desktop-file-utils appstream shared-mime-info dpkg-dev file groff-base
clang libclang-rt-14-dev"
[ "${1:-}" = bench ] && PAQUETS="$PAQUETS libshp-dev"

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
