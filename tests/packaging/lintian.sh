#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs lintian on the Debian package deb.sh made in DEB_DIR and fails on any
# error or warning; information tags are shown but do not fail. Exits 77,
# CTest's skip, when lintian is not installed or no package was made (deb.sh
# skipped for want of its tools), so neither is read as a pass.
#   lintian.sh DEB_DIR
set -u
if ! command -v lintian >/dev/null; then
    echo "SKIPPED: lintian not found (install the Debian package lintian)."
    exit 77
fi
set -- "$1"/kalu_19.10_*.deb
if [ ! -f "$1" ]; then
    echo "SKIPPED: no kalu_19.10_*.deb in ${1%/*} (packaging_deb made none)."
    exit 77
fi
# lintian warns on standard error when run as root, which is CI's case.
lintian --fail-on error,warning --display-info "$1"
statut=$?
if [ $statut -ne 0 ]; then
    echo "FAILED: lintian found errors or warnings in $1 (exit status $statut)" >&2
    exit 1
fi
echo "lintian: no error and no warning in $1."
