#!/usr/bin/env bash
# Runs every test of one build folder with CTest, then lists the skipped tests
# with the reason each gave (CTest itself shows only "Skipped"). GoogleTest
# writes that reason on the lines between "...: Skipped" and "[  SKIPPED ]";
# the project's script tests write it on a line of its own, "Skipped: why".
# Usage: scripts/run-tests.sh BUILD_DIR [JOBS [CTEST_ARGUMENT...]]
set -uo pipefail
build=$1
jobs=${2:-2}
shift $(($# < 2 ? $# : 2))

ctest --test-dir "$build" --output-on-failure -j "$jobs" "$@"
status=$?

log=$build/Testing/Temporary/LastTest.log
if [ -f "$log" ]; then
  awk -v build="$build" '
    /^[0-9]+\/[0-9]+ Test: / { sub(/^[0-9]+\/[0-9]+ Test: /, ""); test = $0; reason = ""; next }
    /: Skipped$/ { skipping = 1; next }
    skipping && /^\[  SKIPPED \]/ { skipping = 0; report(test, reason); next }
    skipping { reason = reason (reason == "" ? "" : " ") $0; next }
    /^Skipped: / { report(test, substr($0, 10)) }
    function report(test, reason) {
      if (!header++) print "Skipped in " build ", and why:"
      print "  " test ": " reason
    }
  ' "$log"
fi
exit $status
