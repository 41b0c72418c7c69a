#!/usr/bin/env bash
# make demo's build: what the demo runs (the CMake target demo-programs), in
# build/, with the compiler's output in build/demo-build.log and, on the
# screen, one line that the build's own step counter keeps up to date
# ("[ 42%] ..."). On failure the log is shown.
# A build/ that make test configured (warnings as errors, in its cache) is
# reused as it is; otherwise build/ is configured for a quick build
# (INDICIZZA_QUICK_BUILD) without warnings as errors, so that a newer
# compiler's new warning never stops the demo. make test configures it back.
# Usage: scripts/demo-build.sh JOBS
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$1
log=build/demo-build.log
mkdir -p build
options=(-DINDICIZZA_WERROR=OFF -DINDICIZZA_QUICK_BUILD=ON)
if grep -qsx 'INDICIZZA_WERROR:BOOL=ON' build/CMakeCache.txt; then
  options=()
fi

# One line, rewritten: the step counter and what the step makes (on a
# terminal; elsewhere the log alone).
progress() {
  local line width=$(( ${COLUMNS:-80} - 1 ))
  while IFS= read -r line; do
    printf '%s\n' "$line" >>"$log"
    [ -t 1 ] || continue
    case "$line" in
      "["*"%]"*)
        line=${line/Building CXX object CMakeFiles\/*.dir\//compiling }
        line=${line/Building CXX object /compiling }
        line=${line/Linking CXX executable /linking }
        printf '\r\033[K%s' "${line:0:$width}"
        ;;
    esac
  done
}

: >"$log"
status=0
{ cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" &&
  cmake --build build -j "$jobs" --target demo-programs; } 2>&1 | progress || status=$?
[ ! -t 1 ] || printf '\r\033[K'
if [ "$status" -ne 0 ]; then
  cat "$log"
  echo "make demo: the build failed (its output is above, and in $log)"
  exit 1
fi
