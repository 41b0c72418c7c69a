#!/usr/bin/env bash
# make bench, the workloads catalogue staff run, at 1,000,000 records:
#   first      a first run into an empty opere.ddb;
#   second     a second run of the same record file over what the first left;
#   increment  a run of the file's first 10,000 records over what the first left.
# Each runs WORKLOAD_RUNS times (default 5) from the same starting files, with
# the page cache written out (sync) before each run; the median wall time and
# the peak RSS of that run are kept. Also timed: one `cp` of the 1M opere.ddb,
# the cost a run that replaces opere.ddb whole is measured against.
# With WORKLOAD_BASELINE=/path/to/indicizza (another build of the indexer,
# scrambling with the same key), each run of it is paired with one of
# build/indicizza (A B A B ...) and the ratio of the medians is shown too.
#
# Writes its own section of bench/RESULTS.md between the marker lines below,
# leaving the rest of the file as it is.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${WORKLOAD_RUNS:-5}
baseline=${WORKLOAD_BASELINE:-}
data=${BENCH_DIR:-build/bench-data}
source_dir="$data/1000000"
work="$data/workloads"
results=bench/RESULTS.md
indexer="$PWD/build/indicizza"
begin_marker='<!-- bench-workloads: begin -->'
end_marker='<!-- bench-workloads: end -->'


scripts/bench-catalogue.sh 1000000 "$source_dir"
rm -rf "$work"
mkdir -p "$work/start" "$work/run"
cp "$source_dir/opere.cry" "$source_dir/noused.txt" "$work/start/"
head -c $((10000 * 525)) "$source_dir/opere.cry" >"$work/start/increment.cry"
# The files a first run leaves: where the second run and the increment start.
scripts/empty-btree.sh "$work/start/opere.ddb"
(cd "$work/start" && "$indexer" >/dev/null)
ddb_mib=$(($(stat -c %s "$work/start/opere.ddb") / 1048576))

# Puts the starting files of `workload` in $work/run.
prepare() {
  rm -f "$work/run/"opere.* "$work/run/"*.nuovo
  cp "$work/start/noused.txt" "$work/run/"
  case "$1" in
    first) cp "$work/start/opere.cry" "$work/run/"; scripts/empty-btree.sh "$work/run/opere.ddb" ;;
    second) cp "$work/start/opere.cry" "$work/start/opere.ddb" "$work/start/opere.idb" "$work/run/" ;;
    increment)
      cp "$work/start/increment.cry" "$work/run/opere.cry"
      cp "$work/start/opere.ddb" "$work/start/opere.idb" "$work/run/" ;;
  esac
  sync
}

# "seconds rss_mib" of one run of indexer $2 on workload $1.
time_run() {
  prepare "$1"
  local out
  out=$(cd "$work/run" && /usr/bin/time -f '%e %M' "$2" 2>&1 >/dev/null | tail -n 1)
  awk '{ printf "%s %.0f\n", $1, $2 / 1024 }' <<<"$out"
}

# "seconds" of one cp of the first run's opere.ddb.
time_cp() {
  rm -f "$work/run/copy.ddb"
  sync
  local out
  out=$( { /usr/bin/time -f '%e' cp "$work/start/opere.ddb" "$work/run/copy.ddb"; } 2>&1 | tail -n 1)
  rm -f "$work/run/copy.ddb"
  echo "$out"
}

median() { sort -g | sed -n "$(((runs + 1) / 2))p"; }

rows=$(mktemp)
trap 'rm -f "$rows"' EXIT
cp_times=()
for ((i = 0; i < runs; i++)); do cp_times+=("$(time_cp)"); done
cp_median=$(printf '%s\n' "${cp_times[@]}" | median)
for workload in first second increment; do
  now=() before=()
  for ((i = 0; i < runs; i++)); do
    now+=("$(time_run "$workload" "$indexer")")
    if [ -n "$baseline" ]; then before+=("$(time_run "$workload" "$baseline")"); fi
  done
  # The run of median time, with its RSS.
  now_median=$(printf '%s\n' "${now[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p")
  now_all=$(printf '%s\n' "${now[@]}" | cut -d' ' -f1 | sort -g | paste -sd/ -)
  if [ -n "$baseline" ]; then
    before_median=$(printf '%s\n' "${before[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p")
    before_all=$(printf '%s\n' "${before[@]}" | cut -d' ' -f1 | sort -g | paste -sd/ -)
    ratio=$(awk -v a="${now_median%% *}" -v b="${before_median%% *}" 'BEGIN { printf "%.3f", a / b }')
    echo "$workload|${before_median%% *}|${before_median##* }|$before_all|${now_median%% *}|${now_median##* }|$now_all|$ratio" >>"$rows"
  else
    echo "$workload|||${now_median%% *}|${now_median##* }|$now_all|" >>"$rows"
  fi
  echo "bench-workloads: $workload: $(tail -n 1 "$rows")"
done

section=$(mktemp)
{
  echo "$begin_marker"
  echo "## Workloads at 1,000,000 records"
  echo
  echo "Written by \`make bench\` (scripts/bench-workloads.sh) on $(date -u +%Y-%m-%d) ($(nproc) cores)."
  echo "Median wall time of $runs runs in seconds, each from the same starting files with the page"
  echo "cache written out first; peak RSS of that run in MiB. \`first\`: into an empty opere.ddb;"
  echo "\`second\`: the same file again over the first run's files; \`increment\`: the file's first"
  echo "10,000 records over them. One \`cp\` of that opere.ddb ($ddb_mib MiB): $cp_median s"
  echo "(all: $(printf '%s\n' "${cp_times[@]}" | sort -g | paste -sd/ -))."
  if [ -n "$baseline" ]; then
    echo "\"before\" is $baseline, run in turn with this build (A B A B ...)."
  fi
  echo
  echo "| workload | before s | before RSS MiB | before all | now s | now RSS MiB | now all | now / before |"
  echo "|---|---:|---:|---|---:|---:|---|---:|"
  while IFS='|' read -r w bs br ba ns nr na r; do
    echo "| $w | $bs | $br | $ba | $ns | $nr | $na | $r |"
  done <"$rows"
  echo "$end_marker"
} >"$section"
scripts/results-section.sh bench-workloads "$section"
rm -f "$section"
rm -rf "$work"
echo "bench-workloads: wrote its section of $results"
