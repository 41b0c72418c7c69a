#!/usr/bin/env bash
# make bench: `catalogo verifica` against a whole run of the indexer, on the
# 1,000,000-record generated catalogue. VERIFY_RUNS times (default 3), in
# turn: a first run of build/indicizza into an empty opere.ddb, then
# `catalogo verifica` over the files it left; both with the files in the
# page cache, as when a keeper checks the index a run has just written. The
# medians and their ratio (the aim: verifica within 1.5 times a run).
#
# Writes its own section of bench/RESULTS.md between the marker lines below,
# leaving the rest of the file as it is.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${VERIFY_RUNS:-3}
data=${BENCH_DIR:-build/bench-data}
source_dir="$data/1000000"
work="$data/verify"
indexer="$PWD/build/indicizza"
catalogo="$PWD/build/tools/catalogo/catalogo"
begin_marker='<!-- bench-verify: begin -->'
end_marker='<!-- bench-verify: end -->'

scripts/bench-catalogue.sh 1000000 "$source_dir"
rm -rf "$work"
mkdir -p "$work"
cp "$source_dir/opere.cry" "$source_dir/noused.txt" "$work/"

# Seconds of one whole process: "$@" in $work, output dropped.
timing=$(mktemp)
seconds() {
  (cd "$work" && /usr/bin/time -f '%e' -o "$timing" "$@" >/dev/null 2>&1) || true
  tail -n 1 "$timing"
}

median() { sort -g | sed -n "$(((runs + 1) / 2))p"; }

run_times=() verify_times=() report=""
for ((i = 0; i < runs; i++)); do
  rm -f "$work/opere.idb"
  scripts/empty-btree.sh "$work/opere.ddb"
  run_times+=("$(seconds "$indexer")")
  verify_times+=("$(seconds "$catalogo" verifica)")
done
report=$(cd "$work" && "$catalogo" verifica | tail -n 1)
run_median=$(printf '%s\n' "${run_times[@]}" | median)
verify_median=$(printf '%s\n' "${verify_times[@]}" | median)
ratio=$(awk -v v="$verify_median" -v r="$run_median" 'BEGIN { printf "%.2f", v / r }')
echo "bench-verify: run $run_median s, verifica $verify_median s, ratio $ratio ($report)"

section=$(mktemp)
trap 'rm -f "$section" "$timing"' EXIT
{
  echo "$begin_marker"
  echo "## Checking the index (\`catalogo verifica\`)"
  echo
  echo "Written by \`scripts/bench-verify.sh\` (part of \`make bench\`) on $(date -u +%Y-%m-%d) ($(nproc) cores)."
  echo "The 1,000,000-record generated catalogue: $runs times in turn, a first run of the indexer"
  echo "into an empty opere.ddb, then \`catalogo verifica\` over the files it left, files in the page"
  echo "cache. Median wall time in seconds; the aim is verifica within 1.5 times a run."
  echo "Its report: \`$report\`."
  echo
  echo "| | median s | all runs |"
  echo "|---|---:|---|"
  echo "| indexer, first run | $run_median | $(printf '%s\n' "${run_times[@]}" | sort -g | paste -sd/ -) |"
  echo "| catalogo verifica | $verify_median | $(printf '%s\n' "${verify_times[@]}" | sort -g | paste -sd/ -) |"
  echo "| verifica / run | $ratio | |"
  echo "$end_marker"
} >"$section"
scripts/results-section.sh bench-verify "$section"
rm -rf "$work"
echo "bench-verify: wrote its section of bench/RESULTS.md"
