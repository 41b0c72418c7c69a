#!/usr/bin/env bash
# make bench, second part: times catalogo cerca on the 1,000,000-record
# generated catalogue, which scripts/bench.sh leaves in build/bench-data/1000000
# (made and indexed here when it is not there). Each query runs
# SEARCH_BENCH_RUNS times (default 7) and its median wall time is kept.
# Then the figures the search is held to: first-page p50 and p99 over a mix
# of typical searches, a first page of about 100,000 candidates, exact
# single-term counts and a misspelled word (the cost of finding nothing,
# or of the suggestion once there is one).
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
query_reading="$PWD/build/bench/query-reading"
indexer="$PWD/build/indicizza"
begin_marker='<!-- bench-search: begin -->'
end_marker='<!-- bench-search: end -->'

if [ ! -f "$dir/opere.cry" ] || [ ! -f "$dir/opere.ddb" ] || [ ! -f "$dir/opere.idb" ]; then
  echo "bench-search: making and indexing the 1,000,000-record catalogue in $dir"
  mkdir -p "$dir"
  # The generator gives the same records every time: a record file already
  # there (copied from another build folder) is kept.
  [ -f "$dir/opere.cry" ] && [ -f "$dir/noused.txt" ] ||
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

# The value at percentile $1 (nearest rank) of the numbers on standard input.
percentile() {
  local sorted count
  sorted=$(sort -n)
  count=$(wc -l <<<"$sorted")
  sed -n "$(((count * $1 + 99) / 100))p" <<<"$sorted"
}

# The total the count line of a first page gives (text format, last line):
# its first number ("al più 412 record trovati" gives 412), 0 for none.
page_total() {
  local last
  last=$( (cd "$dir" && "$catalogo" cerca --limite 20 "$@" 2>/dev/null) | tail -n 1 || true)
  local number
  number=$(grep -o '[0-9][0-9]*' <<<"$last" | head -n 1 || true)
  echo "${number:-0}"
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
mix_times=$(mktemp)
trap 'rm -f "$rows" "$mix_times"' EXIT
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
  if [ "$query" = lemore ]; then
    common_total=$results_count common_count_ms=$count_ms
  fi
  printf '%-52s %8s %8s %10s\n' "$what" "$median" "$target" "$results_count"
  shown_query=$query
  [[ $query == *[\ \"\*]* ]] && shown_query="'$query'"
  echo "| $what | \`catalogo cerca ${options:+$options }$shown_query\` | $median | $all | $target | $results_count | $count_ms |" >>"$rows"
done

# The search's targets. The mix: the shapes of tests/search/judged_queries.tsv
# (what people type in a catalogue of music: a composer's name, composer and
# form or instrument, a title word, a catalogue number, a remembered phrase,
# a word typed without its accent), each with generated words carried by the
# same share of records: a composer 2-5%, a form or instrument a tenth to a
# third, a title word a few hundred records.
mix=(
  "tidaca"                # a composer alone (5%)
  "sevara tidaca"         # instrument (36%) and composer
  "mesilo linustri"       # composer (2%) and a rarer form (3%)
  "tidaca mafiton"        # composer (5%) and form (9%)
  "gamarle tilo"          # composer and a title word (457 records)
  "belolare"              # a title word alone (414 records)
  "tonmar litibe capa"    # composer, form and instrument
  "bofa"                  # typed without the accent of bòfa
  "bwv7"                  # a catalogue number as typed
  '"meso teustdo"'        # a remembered phrase
)
mix_medians=()
for query in "${mix[@]}"; do
  if [ "$(page_total "$query")" = 0 ]; then
    echo "bench-search: '$query' finds nothing in $dir: the generated catalogue changed?" >&2
    exit 1
  fi
  read -r median all <<<"$(time_median cerca --limite 20 "$query")"
  tr / '\n' <<<"$all" >>"$mix_times"
  mix_medians+=("\`$query\` $median")
done
mix_p50=$(percentile 50 <"$mix_times")
mix_p99=$(percentile 99 <"$mix_times")
mix_count=$(wc -l <"$mix_times")
printf '%-52s %8s %8s\n' "typical mix, first page: p50 / p99" "$mix_p50" "$mix_p99"

# A word of about 100,000 records: every one a candidate a ranked first page
# has to weigh (it scores the first 5,000, see search.h).
wide=mogapo
wide_total=$(cd "$dir" && "$catalogo" cerca --conta "$wide")
read -r wide_median wide_all <<<"$(time_median cerca --limite 20 "$wide")"
printf '%-52s %8s\n' "about 100,000 candidates, first page" "$wide_median"
# Exact counts of one term: that word, and the commonest word (its one run
# is the one of the table above), from the index's lists.
read -r count_median count_all <<<"$(time_median cerca --conta "$wide")"
printf '%-52s %8s\n' "exact count, $wide_total records" "$count_median"
# A misspelled word that is no term of the index (sevara, 356,798 records,
# with one letter doubled): the cost of the suggestion, run in its place.
typo=sevarra
typo_total=$(page_total "$typo")
read -r typo_median typo_all <<<"$(time_median cerca --limite 20 "$typo")"
printf '%-52s %8s %8s\n' "misspelled word, first page" "$typo_median" "$typo_total"

# What reading a query as meant adds (stop words, numbers, keys, the
# vocabulary, compounds, names, nicknames), and with the correction of a word
# found nowhere (which this catalogue's made-up words make of most real
# ones): the queries of the three judged sets, read on this catalogue, the
# search itself left out.
judged=$(mktemp)
for set in tests/search/judged_queries.tsv tests/search/judged_queries_second.tsv \
  tests/search/judged_queries_third.tsv; do
  grep -v '^#' "$set" | cut -f2 | grep -v '^$' >>"$judged"
done
reading=$(cd "$dir" && "$query_reading" "$judged" 5)
spread() { # the p50 or p90 figure of the line that starts with $1
  sed -n "s/^$1, .* $2 \([0-9.]*\) ms.*/\1/p" <<<"$reading"
}
reading_p50=$(spread reading p50)
reading_p90=$(spread reading p90)
corrected_p50=$(spread "reading and correction" p50)
corrected_p90=$(spread "reading and correction" p90)
printf '%-52s %8s %8s\n' "reading a query as meant: p50 / p90" "$reading_p50" "$reading_p90"
printf '%-52s %8s %8s\n' "the same with the correction: p50 / p90" "$corrected_p50" "$corrected_p90"
rm -f "$judged"

section=$(mktemp)
{
  echo "$begin_marker"
  echo "## Searches (\`catalogo cerca\`)"
  echo
  echo "Written by \`scripts/bench-search.sh\` (part of \`make bench\`) on $(date -u +%Y-%m-%d) ($(nproc) cores,"
  echo "load average $(cut -d' ' -f1-3 /proc/loadavg) when it ended: wall times stretch when the cores are shared)."
  echo "The 1,000,000-record generated catalogue above, indexed; each query run $runs times in its folder"
  echo "with the files in the page cache, output to /dev/null. Times in milliseconds, whole process."
  echo "A first page ranks the first 5,000 records the index proposes and reads those it shows;"
  echo "its total, like \`--conta\`, comes from the index's lists (opere.idb is newer than opere.ddb)."
  echo
  echo "| query | command | median ms | all runs | target ms | results | --conta ms (one run) |"
  echo "|---|---|---:|---|---:|---:|---:|"
  cat "$rows"
  echo
  echo "### Targets"
  echo
  echo "The same catalogue and runs. Typical mix: one first page (\`--limite 20\`) of each of"
  echo "${#mix[@]} searches shaped like those people type in a music catalogue"
  echo "(\`tests/search/judged_queries.tsv\`): a composer alone, composer and form or instrument,"
  echo "a title word, a catalogue number, a remembered phrase, a word without its accent; made of"
  echo "generated words carried by the same shares of records (a composer 2-5%, a form or"
  echo "instrument a tenth to a third, a title word a few hundred records). p50 and p99 over all"
  echo "$mix_count runs (nearest rank). Medians: $(printf '%s, ' "${mix_medians[@]}" | sed 's/, $//')."
  echo
  echo "| measure | command | ms | all runs | target ms | results |"
  echo "|---|---|---:|---|---:|---:|"
  echo "| typical mix, first page, p50 | the ${#mix[@]} searches above | $mix_p50 | | 100 | |"
  echo "| typical mix, first page, p99 | the ${#mix[@]} searches above | $mix_p99 | | 300 | |"
  echo "| about 100,000 candidates, first page | \`catalogo cerca --limite 20 $wide\` | $wide_median | $wide_all | 300 | $wide_total |"
  echo "| exact count of one term | \`catalogo cerca --conta $wide\` | $count_median | $count_all | 50 | $wide_total |"
  echo "| exact count of the commonest term (one run, above) | \`catalogo cerca --conta lemore\` | ${common_count_ms:-} | | 50 | ${common_total:-} |"
  echo "| misspelled word (suggestion lookup) | \`catalogo cerca --limite 20 $typo\` | $typo_median | $typo_all | 50 | $typo_total |"
  echo "| reading a query as meant, p50 | \`build/bench/query-reading\`, the judged sets' queries | $reading_p50 | | 5 | |"
  echo "| reading a query as meant, p90 | the same | $reading_p90 | | | |"
  echo "| reading and correcting a query, p50 | the same, with the correction of words found nowhere | $corrected_p50 | | | |"
  echo "| reading and correcting a query, p90 | the same | $corrected_p90 | | | |"
  echo "$end_marker"
} >"$section"

scripts/results-section.sh bench-search "$section"
rm -f "$section"
echo "bench-search: wrote its section of $results"
