#!/usr/bin/env bash
# scripts/bench-catalogue.sh N DIR: makes the generated catalogue of N
# records (opere.cry, noused.txt) in DIR, unless DIR already holds its
# opere.cry, for the bench scripts to share one catalogue of each size.
set -euo pipefail
if [ ! -f "$2/opere.cry" ]; then
  mkdir -p "$2"
  build/tools/generator/make-catalogue "$1" "$2" >/dev/null
fi
