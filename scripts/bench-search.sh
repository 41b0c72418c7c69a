#!/usr/bin/env bash
# make bench, second part: times catalogo cerca on the 1,000,000-record
# generated catalogue, which scripts/bench.sh leaves in build/bench-data/1000000
# (made and indexed here when it is not there). Each query runs
# SEARCH_BENCH_RUNS times (default 7) and its median wall time is kept.
# Writes its own section of bench/RESULTS.md, between the two marker lines
# below, replacing that section when present and leaving the rest of the
# file as it is.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${SEARCH_BENCH_RUNS:-7}
data=${BENCH_DIR:-build/bench-data}
dir="$data/1000000"
results=bench/RESULTS.md
catalogo="$PWD/build/tools/catalogo/catalogo"
indexer="$PWD/build/indicizza"
begin_marker='<!-- bench-search: begin -->'
end_marker='<!-- bench-search: end -->'

if [ ! -f "$dir/opere.cry" ] || [ ! -f "$dir/opere.ddb" ] || [ ! -f "$dir/opere.idb" ]; then
  echo "bench-search: making and indexing the 1,000,000-record catalogue in $dir"
  mkdir -p "$dir"
  build/tools/generator/make-catalogue 1000000 "$dir" >/dev/null
  rm -f "$dir/opere.idb"
  scripts/empty-btree.sh "$dir/opere.ddb"
  (cd "$dir" && "$indexer" >/dev/null)
fi

# Milliseconds of one run of catalogo in the catalogue's folder.
time_once() {
  local start end
  start=$(date +%s%N)
  (cd "$dir" && "$catalogo" "$@" >/dev/null 2>&1) || true
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

# The median of `runs` runs, and all of them.
time_median() {
  local times=() i
  for ((i = 0; i < runs; i++)); do times+=("$(time_once "$@")"); done
  local sorted
  sorted=$(printf '%s\n' "${times[@]}" | sort -n)
  echo "$(sed -n "$(((runs + 1) / 2))p" <<<"$sorted") $(paste -sd/ - <<<"$sorted")"
}

# What each query stands for | its target in ms | the options of cerca |
# the query.
queries=(
  "common word, first page|150|--limite 20|lemore"
  "exact single-term lookup of that word, first page|20|--esatto --limite 20|LEMORE"
  "exact single-term lookup of a less common word, first page|20|--esatto --limite 20|MOGAPO"
  "folded word (stored bòfa, Bòfa, ...), all results|150||bofa"
  "prefix, first page|150|--limite 20|mog*"
  "two-word phrase, first page|150|--limite 20|\"meso teustdo\""
)

rows=$(mktemp)
trap 'rm -f "$rows"' EXIT
# Warm the page cache once, as a machine serving searches would have it.
time_once --conta lemore >/dev/null
printf '%-52s %8s %8s %10s\n' query median target results
for entry in "${queries[@]}"; do
  IFS='|' read -r what target options query <<<"$entry"
  read -r -a option_words <<<"$options"
  matching=()
  [ "${option_words[0]:-}" = --esatto ] && matching=(--esatto)
  results_count=$(cd "$dir" && "$catalogo" cerca --conta "${matching[@]}" "$query" 2>/dev/null || true)
  if [ -z "$results_count" ] || [ "$results_count" = 0 ]; then
    echo "bench-search: '$query' finds nothing in $dir: the generated catalogue changed?" >&2
    exit 1
  fi
  read -r median all <<<"$(time_median cerca "${option_words[@]}" "$query")"
  count_ms=$(time_once cerca --conta "${matching[@]}" "$query")
  printf '%-52s %8s %8s %10s\n' "$what" "$median" "$target" "$results_count"
  shown_query=$query
  [[ $query == *[\ \"\*]* ]] && shown_query="'$query'"
  echo "| $what | \`catalogo cerca ${options:+$options }$shown_query\` | $median | $all | $target | $results_count | $count_ms |" >>"$rows"
done

section=$(mktemp)
{
  echo "$begin_marker"
  echo "## Searches (\`catalogo cerca\`)"
  echo
  echo "Written by \`scripts/bench-search.sh\` (part of \`make bench\`) on $(date -u +%Y-%m-%d) ($(nproc) cores,"
  echo "load average $(cut -d' ' -f1-3 /proc/loadavg) when it ended: wall times stretch when the cores are shared)."
  echo "The 1,000,000-record generated catalogue above, indexed; each query run $runs times in its folder"
  echo "with the files in the page cache, output to /dev/null. Times in milliseconds, whole process."
  echo "A first page reads only the records it shows (the total is then an upper bound);"
  echo "\`--conta\` reads every record the index proposes, which is what the last column costs."
  echo
  echo "| query | command | median ms | all runs | target ms | results | --conta ms (one run) |"
  echo "|---|---|---:|---|---:|---:|---:|"
  cat "$rows"
  echo "$end_marker"
} >"$section"

scripts/results-section.sh bench-search "$section"
rm -f "$section"
echo "bench-search: wrote its section of $results"
