#!/usr/bin/env bash
# make test: builds and tests each configuration, going on to the next when
# one fails, so that one failure never hides the others; then lists what
# failed and exits non-zero if anything did.
#
# A configuration's tests run while the next configuration builds: most of
# the tests' time is spent waiting (on signals, deadlines, servers, the
# browser), which the compiler fills. The compiler runs at a lower priority,
# so the tests' timing is what it is on a quiet machine as far as the cores
# allow. Each run's output is kept in its folder and shown whole when the
# run ends, so the two never interleave on the screen.
# Usage: scripts/test-configurations.sh JOBS
# Each configuration is built by its own make target (see the Makefile).
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=${1:-2}
make=${MAKE:-make}

# configuration (a build folder and its make target), then the CTest
# arguments that pick its tests. The sanitizers' tests take longest, so they
# run while the largest build (build/, optimised) compiles.
configurations=(
  "build-asan"
  "build"
  "build-release -L package"
  "build-tsan -L threads"
)

failures=()
testing_pid=""
testing_folder=""

# Waits for the tests running in the background, shows their output and
# notes a failure.
finish_tests() {
  [ -n "$testing_pid" ] || return 0
  wait "$testing_pid"
  local status=$?
  echo "== $testing_folder: tests =="
  cat "$testing_folder/test-run.log"
  if [ "$status" -ne 0 ]; then
    failures+=("$testing_folder: tests failed (listed above, and in $testing_folder/Testing/Temporary/LastTest.log)")
  fi
  testing_pid=""
}

for line in "${configurations[@]}"; do
  read -r folder selection <<<"$line"
  echo "== $folder: build =="
  nice -n 10 "$make" --no-print-directory "$folder" JOBS="$jobs"
  built=$?
  finish_tests
  if [ "$built" -ne 0 ]; then
    failures+=("$folder: the build failed")
    continue
  fi
  if [ "$line" = "${configurations[-1]}" ]; then
    echo "== $folder: tests start =="
  else
    echo "== $folder: tests start, while the next configuration builds =="
  fi
  # shellcheck disable=SC2086 # the selection is two words on purpose
  scripts/run-tests.sh "$folder" "$jobs" $selection >"$folder/test-run.log" 2>&1 &
  testing_pid=$!
  testing_folder=$folder
done
finish_tests

echo
if [ ${#failures[@]} -eq 0 ]; then
  echo "make test: every configuration built and passed its tests"
  exit 0
fi
echo "make test: ${#failures[@]} of ${#configurations[@]} configurations failed:"
printf '  %s\n' "${failures[@]}"
exit 1
