#!/usr/bin/env bash
# make test: builds and tests each configuration, going on to the next when
# one fails, so that one failure never hides the others; then lists what
# failed and exits non-zero if anything did.
#
# Two lanes run side by side. The builds run one after the other, at a lower
# priority, their output on the screen. The tests run one configuration at a
# time, each as soon as its build is done and the tests before it have
# ended: most of the tests' time is spent waiting (on signals, deadlines,
# servers, the browser), which the compiler fills, and one test run at a
# time keeps their timing what it is on a quiet machine as far as the cores
# allow. More tests at once gain nothing: the cores are busy throughout, and
# the tests, at a higher priority than the compiler, then starve the builds
# the next test runs wait on, and slow the tests that hold a server to a time.
# Each run's output is kept in its folder (test-run.log); a line says when a
# run ends, and every run's output is shown whole once the builds are done,
# so the two lanes never interleave on the screen.
# Usage: scripts/test-configurations.sh JOBS
# Each configuration is built by its own make target (see the Makefile).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
jobs=${1:-2}
make=${MAKE:-make}

# Minutes and seconds since make test started, for the lanes' lines.
elapsed() { printf '%d:%02d' $((SECONDS / 60)) $((SECONDS % 60)); }

# configuration (a build folder and its make target), then the CTest
# arguments that pick its tests. The sanitizers' tests take longest, so they
# come first and run while the other configurations compile; the package
# test, the shortest, comes last.
configurations=(
  "build-asan"
  "build-tsan -L threads"
  "build"
  "build-release -L package"
)

# What each lane leaves for the other and for the end: <folder>/.make-test-
# built (0 or the build's exit status) and <folder>/.make-test-tested.
marks=()
for line in "${configurations[@]}"; do
  read -r folder _ <<<"$line"
  marks+=("$folder/.make-test-built" "$folder/.make-test-tested")
done
rm -f "${marks[@]}"

build_lane() {
  for line in "${configurations[@]}"; do
    read -r folder _ <<<"$line"
    echo "== $folder: build, at $(elapsed) =="
    nice -n 10 "$make" --no-print-directory "$folder" JOBS="$jobs"
    local status=$?
    mkdir -p "$folder"
    echo "$status" >"$folder/.make-test-built"
  done
}

test_lane() {
  for line in "${configurations[@]}"; do
    read -r folder selection <<<"$line"
    until [ -f "$folder/.make-test-built" ]; do sleep 1; done
    if [ "$(cat "$folder/.make-test-built")" -ne 0 ]; then
      echo "not built" >"$folder/.make-test-tested"
      continue
    fi
    echo "== $folder: tests start, at $(elapsed) =="
    # shellcheck disable=SC2086 # the selection is two words on purpose
    scripts/run-tests.sh "$folder" "$jobs" $selection >"$folder/test-run.log" 2>&1
    local status=$?
    echo "$status" >"$folder/.make-test-tested"
    echo "== $folder: tests ended at $(elapsed): $(grep -m1 'tests passed' "$folder/test-run.log" ||
      echo "status $status") =="
  done
}

test_lane &
testing_pid=$!
build_lane
wait "$testing_pid"

failures=()
for line in "${configurations[@]}"; do
  read -r folder _ <<<"$line"
  if [ "$(cat "$folder/.make-test-built")" -ne 0 ]; then
    failures+=("$folder: the build failed")
    continue
  fi
  echo "== $folder: tests =="
  cat "$folder/test-run.log"
  if [ "$(cat "$folder/.make-test-tested")" -ne 0 ]; then
    failures+=("$folder: tests failed (listed above, and in $folder/Testing/Temporary/LastTest.log)")
  fi
done
rm -f "${marks[@]}"

echo
if [ ${#failures[@]} -eq 0 ]; then
  echo "make test: every configuration built and passed its tests, in $(elapsed)"
  exit 0
fi
echo "make test: ${#failures[@]} of ${#configurations[@]} configurations failed:"
printf '  %s\n' "${failures[@]}"
exit 1
