#!/usr/bin/env bash
# The two checks of the house rules that make test runs on the tree
# (scripts/check-layers.sh, scripts/check-format.sh), each on a copy of the
# tree with one fault planted, which it must name and fail on.
# Usage: house_rules_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
fail() { echo "FAILED: $*"; exit 1; }
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
cp -r "$source_dir"/{src,tools,tests,bench,fuzz,man,docs,scripts,.clang-format} "$copy/"

# An include that runs up: the query language reaching the entry above it.
echo '#include "search/search.h"' >>"$copy/src/search/query/query.h"
status=0
output=$("$copy/scripts/check-layers.sh" "$copy" 2>&1) || status=$?
[ "$status" -eq 1 ] || fail "check-layers: exit status $status on an include that runs up: $output"
[[ "$output" == *'src/search/query/query.h: includes "search/search.h"'* ]] ||
  fail "check-layers does not name the planted include: $output"

# A line that clang-format would lay out otherwise.
echo 'int   planted( ) {return 0;}' >>"$copy/src/base/status.cc"
status=0
output=$("$copy/scripts/check-format.sh" "$copy" 2>&1) || status=$?
[ "$status" -ne 77 ] || { echo "$output"; exit 77; }
[ "$status" -eq 1 ] || fail "check-format: exit status $status on a misformatted line: $output"
[[ "$output" == *"src/base/status.cc: not as .clang-format lays it out"* ]] ||
  fail "check-format does not name the planted file: $output"
echo "each check names its planted fault and fails"
