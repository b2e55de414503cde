#!/usr/bin/env bash
# Fails when a C++ source in the tree differs from what the committed .clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run -Werror "${files[@]}"
echo "format check: ${#files[@]} files formatted as .clang-format says"
