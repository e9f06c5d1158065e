#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package of the build tree with CPack into OUT, then
# checks its control fields (dpkg-deb -I) and its files (dpkg-deb -c).
#   deb.sh BUILD_DIR OUT EXPECTED_LIST
set -eu
build=$1 out=$2 attendu=$3

for outil in dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev cpack:cmake; do
    if ! command -v "${outil%%:*}" >/dev/null; then
        echo "SKIPPED: ${outil%%:*} not found (install the Debian package ${outil#*:})."
        exit 77
    fi
done

rm -rf "$out"
mkdir -p "$out"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out.log" 2>&1 ||
    { cat "$out.log" >&2; exit 1; }
set -- "$out"/kalu_19.10_*.deb
[ -f "$1" ] || { echo "no kalu_19.10_*.deb in $out" >&2; cat "$out.log" >&2; exit 1; }
deb=$1

dpkg-deb -I "$deb" | tee "$out/info.txt"
champ() { sed -n "s/^ $1: //p" "$out/info.txt"; }
echec=0
attends() { # attends FIELD PATTERN
    if ! champ "$1" | grep -Eq "$2"; then
        echo "$1 does not match '$2': $(champ "$1")" >&2
        echec=1
    fi
}
attends Package '^kalu$'
attends Version '^19\.10$'
attends Description '.'
grep -q '^  Kalu draws' "$out/info.txt" || { echo "no long description" >&2; echec=1; }
for dep in fonts-liberation libqcustomplot2\\.1 libqt5widgets5 libqt5gui5 \
           libqt5core5a libstdc\\+\\+6 libc6; do
    attends Depends "(^|, )$dep( |,|$)"
done

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's#^\./##' |
    LC_ALL=C sort >"$out/files.txt"
if ! diff -u "$attendu" "$out/files.txt"; then
    echo "The package's files differ from $attendu (- expected, + packaged)." >&2
    echec=1
fi
exit $echec
