#!/usr/bin/env bash
# make test: builds and tests each configuration in turn, going on to the
# next when one fails, so that one failure never hides the others; then
# lists what failed and exits non-zero if anything did.
# Usage: scripts/test-configurations.sh JOBS
# Each configuration is built by its own make target (see the Makefile).
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=${1:-2}
make=${MAKE:-make}

# configuration (a build folder and its make target), then the CTest
# arguments that pick its tests.
configurations=(
  "build"
  "build-asan"
  "build-release -L package"
  "build-tsan -L threads"
)

failures=()
for line in "${configurations[@]}"; do
  read -r folder selection <<<"$line"
  echo "== $folder: build =="
  if ! "$make" --no-print-directory "$folder" JOBS="$jobs"; then
    failures+=("$folder: the build failed")
    continue
  fi
  echo "== $folder: tests =="
  # shellcheck disable=SC2086 # the selection is two words on purpose
  if ! scripts/run-tests.sh "$folder" "$jobs" $selection; then
    failures+=("$folder: tests failed (listed above, and in $folder/Testing/Temporary/LastTest.log)")
  fi
done

echo
if [ ${#failures[@]} -eq 0 ]; then
  echo "make test: every configuration built and passed its tests"
  exit 0
fi
echo "make test: ${#failures[@]} of ${#configurations[@]} configurations failed:"
printf '  %s\n' "${failures[@]}"
exit 1
