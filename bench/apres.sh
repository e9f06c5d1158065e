#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# A big map loaded after a small one, beside the same load in a fresh window:
# a user opens a sample first (its legend shown), then the big map. For each
# FILE, RUNS pairs in turns (fresh, then after SAMPLE), each load in a
# process of its own: the complete picture's time (s), the longest stall (s)
# and the peak memory (MB) of both, and the ratio after / fresh pair by pair.
#
#   apres.sh [--runs N] [--bench BINARY] SAMPLE FILE...
set -eu
cd "$(dirname "$0")/.."
runs=3
bin=build/bench/bench/kalu_bench_viewer
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) runs=$2; shift 2 ;;
    --bench) bin=$2; shift 2 ;;
    *) break ;;
    esac
done
echantillon=$1
shift
champ() { printf '%s\n' "$1" | tr ' ' '\n' | sed -n "s/^$2=//p"; }
mediane() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
printf 'map\tfresh s\tafter s\tafter/fresh\tstall fresh\tstall after\tMB fresh\tMB after\n'
for fichier in "$@"; do
    : >/tmp/kalu-apres-$$.txt
    i=0
    while [ "$i" -lt "$runs" ]; do
        a=$(QT_QPA_PLATFORM=offscreen "$bin" --charge "$fichier")
        b=$(QT_QPA_PLATFORM=offscreen "$bin" --charge "$fichier" --apres "$echantillon")
        echo "$(champ "$a" charge_entiere) $(champ "$b" charge_entiere) $(champ "$a" charge_pire)" \
            "$(champ "$b" charge_pire) $(champ "$a" pic) $(champ "$b" pic)" >>/tmp/kalu-apres-$$.txt
        i=$((i + 1))
    done
    col() { cut -d' ' -f"$1" /tmp/kalu-apres-$$.txt | mediane; }
    rapport=$(awk '{ print $2 / $1 }' /tmp/kalu-apres-$$.txt | mediane)
    printf '%s\t%s\t%s\t%.2f\t%s\t%s\t%s\t%s\n' "$(basename "$fichier")" "$(col 1)" "$(col 2)" \
        "$rapport" "$(col 3)" "$(col 4)" "$(col 5)" "$(col 6)"
    rm -f /tmp/kalu-apres-$$.txt
done
