#!/usr/bin/env bash
# scripts/results-section.sh, which every bench script writes its part of
# bench/RESULTS.md with, on a scratch results file: the named section is
# replaced where it stands, marker lines included, and every other byte of
# the file stays as it was; a section the file lacks goes at its end, after a
# blank line.
# Usage: results_section_test.sh SOURCE_DIR
set -euo pipefail
put_section=$1/scripts/results-section.sh
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The lines of section NAME holding TEXT, markers included (no final newline).
block() { printf '<!-- %s: begin -->\n## %s\n%s\n<!-- %s: end -->' "$1" "$1" "$2" "$1"; }

# A title and a paragraph no script writes, then three sections; the second
# one's name starts with the first one's.
start="# Results

Each section is written by its own script.

$(block first 'old figures')

$(block first-more 'old figures')

$(block last 'old figures')
"

failures=0
# Each case is the section written: first, middle, last, and one not there yet.
for name in first first-more last absent; do
  printf '%s' "$start" >"$scratch/RESULTS.md"
  new=$(block "$name" 'new figures')
  printf '%s\n' "$new" >"$scratch/section"
  if [ "$name" = absent ]; then
    expected="$start"$'\n'"$new"$'\n'
  else
    expected=${start/"$(block "$name" 'old figures')"/"$new"}
  fi
  "$put_section" "$name" "$scratch/section" "$scratch/RESULTS.md"
  if ! diff <(printf '%s' "$expected") "$scratch/RESULTS.md"; then
    echo "FAILED: writing section $name"
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ]
