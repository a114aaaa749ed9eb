#!/usr/bin/env bash
# Checks that every tracked C++ source (.cpp, .h) is formatted as the
# repository's .clang-format says; lists the files that are not and fails.
# Fix one with: clang-format -i FILE
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is missing (bash scripts/deps.sh)"; exit 1; }
mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
status=0
clang-format --dry-run -Werror "${files[@]}" || status=$?
if [ "$status" -ne 0 ]; then
  echo "clang-format: the files above differ from .clang-format (clang-format -i FILE fixes one)"
  exit 1
fi
echo "clang-format: ${#files[@]} files clean"
