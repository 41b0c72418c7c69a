#!/usr/bin/env bash
# Puts a section into bench/RESULTS.md: scripts/results-section.sh NAME FILE
# replaces the lines between "<!-- NAME: begin -->" and "<!-- NAME: end -->"
# (markers included) with FILE, which holds its own marker lines, or
# appends FILE after a blank line when the file has no such section yet. The
# rest of bench/RESULTS.md is left as it is. A third argument names another
# results file (the test of this script writes a scratch one).
set -euo pipefail
cd "$(dirname "$0")/.."
name=$1
section=$2
results=${3:-bench/RESULTS.md}
touch "$results"
awk -v begin="<!-- $name: begin -->" -v end="<!-- $name: end -->" -v section="$section" '
  function put_section(   line) { while ((getline line < section) > 0) print line; close(section); done = 1 }
  $0 == begin { skipping = 1; put_section(); next }
  $0 == end { skipping = 0; next }
  !skipping { print }
  END { if (!done) { print ""; put_section() } }
' "$results" >"$results.new"
mv "$results.new" "$results"
