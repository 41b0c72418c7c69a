#!/usr/bin/env bash
# Checks that every C++ file of the tree is laid out as .clang-format says:
# names each file clang-format would change, and fails then.
# Usage: scripts/check-format.sh [ROOT]   (ROOT: the source tree, . by default)
set -euo pipefail
root=${1:-.}
cd "$root"
if ! command -v clang-format >/dev/null 2>&1; then
  echo "check-format: clang-format is not installed (scripts/install-deps.sh check installs it)" >&2
  exit 77
fi
mapfile -t files < <(find src tools tests bench fuzz man -name '*.cc' -o -name '*.h' | sort)
# One clang-format for every file; it names each place it would change.
mapfile -t unformatted < <(clang-format --dry-run "${files[@]}" 2>&1 |
                           sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' |
                           uniq)
if [ ${#unformatted[@]} -ne 0 ]; then
  for file in "${unformatted[@]}"; do
    echo "$file: not as .clang-format lays it out (clang-format -i $file mends it)"
  done
  echo "check-format: ${#unformatted[@]} of ${#files[@]} files to format"
  exit 1
fi
echo "check-format: all ${#files[@]} files as .clang-format lays them out"
