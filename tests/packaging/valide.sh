#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a validator on a staged file. Fails on a non-zero status or on any
# warning written to standard error (groff reports problems only there).
# Exits 77, CTest's skip, when the validator is not installed, so a missing
# tool is never read as a pass.
#   valide.sh PACKAGE TOOL ARGS...
set -u
paquet=$1 outil=$2
shift 2
if ! command -v "$outil" >/dev/null; then
    echo "SKIPPED: $outil not found (install the Debian package $paquet)."
    exit 77
fi
erreurs=$(mktemp)
trap 'rm -f "$erreurs"' EXIT
"$outil" "$@" 2>"$erreurs"
statut=$?
cat "$erreurs" >&2
if [ $statut -ne 0 ] || [ -s "$erreurs" ]; then
    echo "FAILED: $outil $* (exit status $statut)" >&2
    exit 1
fi
echo "$outil $*: valid."
