#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# How a load ends when memory runs short or the file changes under it: never
# by an abort.
#
#   plafonds.sh caps COMMAND FILE [LOW HIGH STEP]
#       runs `COMMAND FILE` under address-space caps (prlimit --as) from LOW
#       to HIGH MiB in STEP MiB steps (default 300 800 10), one line per
#       cap: the cap, the exit status, and how it ended: "loaded" (0),
#       "refused" (the "not enough memory to load" message), "error" (any
#       other exit of its own, its first message line), or "SIGNAL n" (134
#       is an abort); then the count of each.
#   plafonds.sh swaps COMMAND SMALL BIG [RUNS]
#       runs `COMMAND PATH` RUNS times (default 100) while PATH is swapped,
#       by renames, between copies of SMALL and BIG as fast as the shell
#       can: one line per outcome with its count.
#
# COMMAND is a program and its first arguments, as one word of the shell,
# e.g. "build/release/kalu/kalu-export /tmp/out.png" or
# "build/release/bench/kalu_bench_viewer --charge". Messages of the runs go
# to a scratch file in ${TMPDIR:-/tmp}.
set -eu
mode=$1
shift
journal=$(mktemp "${TMPDIR:-/tmp}/plafonds.XXXXXX")
trap 'rm -f "$journal"' EXIT

# The outcome of one run: its status in $1, its messages in $journal.
issue() {
    if [ "$1" -eq 0 ]; then
        echo "loaded"
    elif [ "$1" -gt 128 ]; then
        echo "SIGNAL $(($1 - 128))"
    elif grep -q "not enough memory to load" "$journal"; then
        echo "refused"
    else
        echo "error: $(grep -m1 . "$journal" | cut -c1-100)"
    fi
}

case "$mode" in
caps)
    commande=$1 fichier=$2 bas=${3:-300} haut=${4:-800} pas=${5:-10}
    cap=$bas
    while [ "$cap" -le "$haut" ]; do
        s=0
        # shellcheck disable=SC2086
        prlimit --as=$((cap * 1048576)) $commande "$fichier" >/dev/null 2>"$journal" || s=$?
        echo "$cap MiB	$s	$(issue $s)"
        cap=$((cap + pas))
    done | tee "$journal.tout"
    echo "---"
    cut -f3 "$journal.tout" | sed 's/^error.*/error/' | sort | uniq -c
    rm -f "$journal.tout"
    ;;
swaps)
    commande=$1 petit=$2 gros=$3 fois=${4:-100}
    chemin="${TMPDIR:-/tmp}/plafonds-echange-$$.shp"
    cp "$petit" "$chemin.p"
    cp "$gros" "$chemin.g"
    cp "$petit" "$chemin"
    # Each rename puts the other size in place at once, as a copy finished
    # and moved in would.
    (while :; do
        cp "$chemin.p" "$chemin.1" && mv "$chemin.1" "$chemin"
        cp "$chemin.g" "$chemin.2" && mv "$chemin.2" "$chemin"
    done) &
    echangeur=$!
    k=0
    while [ "$k" -lt "$fois" ]; do
        s=0
        # shellcheck disable=SC2086
        $commande "$chemin" >/dev/null 2>"$journal" || s=$?
        issue $s
        k=$((k + 1))
    done | sed 's/^error.*/error/' | sort | uniq -c
    kill "$echangeur"
    wait "$echangeur" 2>/dev/null || true
    rm -f "$chemin" "$chemin.p" "$chemin.g" "$chemin.1" "$chemin.2"
    ;;
*)
    echo "usage: plafonds.sh caps COMMAND FILE [LOW HIGH STEP] | swaps COMMAND SMALL BIG [RUNS]" >&2
    exit 2
    ;;
esac
