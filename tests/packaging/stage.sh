#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build tree under STAGE (DESTDIR, prefix /usr) and compares
# the files installed with the expected list.
#   stage.sh BUILD_DIR STAGE EXPECTED_LIST
set -eu
build=$1 stage=$2 attendu=$3

rm -rf "$stage"
DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null
(cd "$stage" && find . -type f -o -type l) | sed 's#^\./##' | LC_ALL=C sort >"$stage.list"
if ! diff -u "$attendu" "$stage.list"; then
    echo "The staged files differ from $attendu (- expected, + installed)." >&2
    exit 1
fi
for f in $(grep '^usr/bin/' "$attendu"); do
    [ -x "$stage/$f" ] || { echo "$f is not executable" >&2; exit 1; }
done
for taille in 48 256; do
    png="$stage/usr/share/icons/hicolor/${taille}x$taille/apps/org.kalu.Kalu.png"
    if command -v file >/dev/null; then
        file -b "$png" | grep -q "PNG image data, $taille x $taille" ||
            { echo "$png: not a $taille x $taille PNG: $(file -b "$png")" >&2; exit 1; }
    fi
done
echo "Staged $(wc -l <"$stage.list") files under $stage."
