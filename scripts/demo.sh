#!/usr/bin/env bash
# Builds a demonstration catalogue from samples/works.tsv in build/demo/,
# runs the indexer there and shows what it did.
set -euo pipefail
cd "$(dirname "$0")/.."
demo=build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp samples/noused.txt "$demo/"
build/tools/demo-catalogue samples/works.tsv "$demo"

echo
echo "== indicizza in $demo =="
status=0
(cd "$demo" && ../indicizza) || status=$?
echo "== exit status: $status =="
