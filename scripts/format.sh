#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Formats the C and C++ sources with the project's .clang-format; with
# --check, changes nothing and fails on the first file whose format differs.
set -eu
cd "$(dirname "$0")/.."
fichiers=$(git ls-files '*.c' '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
    # shellcheck disable=SC2086
    clang-format --dry-run --Werror $fichiers
    echo "Format: every source file is as .clang-format wants it."
else
    # shellcheck disable=SC2086
    clang-format -i $fichiers
fi
