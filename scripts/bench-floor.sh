#!/usr/bin/env bash
# make bench: the indexer against the library floor (build/bench/library-floor:
# the same Berkeley DB puts, walk and index puts, without reading records into
# terms), on three workloads:
#   first      1,000,000 records into an empty opere.ddb;
#   increment  10,000 records (the 1M file's first) over what a first run left;
#   ten-million  a file of 10,000,000 records (ten generated catalogues of 1M
#              one after the other: each number comes ten times, the last
#              wins) into an empty opere.ddb; about 5 GB, made once in
#              $BENCH_DIR/10000000.
# Each runs FLOOR_RUNS times (default 5), the indexer and the floor in turn
# (A B A B ...) from the same starting files, with the page cache written out
# (sync) before each; kept: the medians, the peak RSS of the indexer's median
# run, and their ratio. Writes its own section of bench/RESULTS.md between the
# marker lines below, and the plot bench/floor.png.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${FLOOR_RUNS:-5}
data=${BENCH_DIR:-build/bench-data}
work="$data/floor"
results=bench/RESULTS.md
plot=bench/floor.png
indexer="$PWD/build/indicizza"
floor="$PWD/build/bench/library-floor"
begin_marker='<!-- bench-floor: begin -->'
end_marker='<!-- bench-floor: end -->'


one_million="$data/1000000"
scripts/bench-catalogue.sh 1000000 "$one_million"
ten_million="$data/10000000"
if [ ! -f "$ten_million/opere.cry" ] ||
  [ "$(stat -c %s "$ten_million/opere.cry")" -ne $((10000000 * 525)) ]; then
  mkdir -p "$ten_million/part"
  rm -f "$ten_million/opere.cry"
  for seed in 1 2 3 4 5 6 7 8 9 10; do
    build/tools/generator/make-catalogue 1000000 "$ten_million/part" "$seed" >/dev/null
    cat "$ten_million/part/opere.cry" >>"$ten_million/opere.cry"
  done
  cp "$ten_million/part/noused.txt" "$ten_million/"
  rm -rf "$ten_million/part"
fi

rm -rf "$work"
mkdir -p "$work/first" "$work/increment" "$work/ten-million" "$work/run"
# The starting files of each workload, and the index the indexer makes from
# them (the floor puts the same terms).
ln -s "$(realpath "$one_million/opere.cry")" "$work/first/opere.cry"
cp "$one_million/noused.txt" "$work/first/"
scripts/empty-btree.sh "$work/first/opere.ddb"
head -c $((10000 * 525)) "$one_million/opere.cry" >"$work/increment/opere.cry"
cp "$one_million/noused.txt" "$work/increment/"
ln -s "$(realpath "$ten_million/opere.cry")" "$work/ten-million/opere.cry"
cp "$ten_million/noused.txt" "$work/ten-million/"
scripts/empty-btree.sh "$work/ten-million/opere.ddb"

# Runs the indexer in a copy of the starting files of $1 into $work/run.
prepare() {
  rm -rf "$work/run"
  mkdir -p "$work/run"
  cp -P "$work/$1/"* "$work/run/"
  rm -f "$work/run/index.ref"
  sync
}
# The first run's files are where the increment starts.
prepare first
(cd "$work/run" && "$indexer" >/dev/null)
cp "$work/run/opere.ddb" "$work/run/opere.idb" "$work/increment/"
for workload in first increment ten-million; do
  prepare "$workload"
  (cd "$work/run" && "$indexer" >/dev/null)
  cp "$work/run/opere.idb" "$work/$workload/index.ref"
done

# "seconds rss_mib" of one indexer run on workload $1.
time_indexer() {
  prepare "$1"
  local out
  out=$(cd "$work/run" && /usr/bin/time -f '%e %M' "$indexer" 2>&1 >/dev/null | tail -n 1)
  awk '{ printf "%s %.0f\n", $1, $2 / 1024 }' <<<"$out"
}
# "seconds" of one floor run on workload $1.
time_floor() {
  prepare "$1"
  cp "$work/$1/index.ref" "$work/run/"
  "$floor" "$work/run" 2>/dev/null
}

middle() { sort -g | sed -n "$(((runs + 1) / 2))p"; }

rows=$(mktemp)
table=$(mktemp)
trap 'rm -f "$rows" "$table"' EXIT
for workload in first increment ten-million; do
  now=() base=()
  for ((i = 0; i < runs; i++)); do
    now+=("$(time_indexer "$workload")")
    base+=("$(time_floor "$workload")")
  done
  now_median=$(printf '%s\n' "${now[@]}" | middle)
  now_all=$(printf '%s\n' "${now[@]}" | cut -d' ' -f1 | sort -g | paste -sd/ -)
  floor_median=$(printf '%s\n' "${base[@]}" | middle)
  floor_all=$(printf '%s\n' "${base[@]}" | sort -g | paste -sd/ -)
  ratio=$(awk -v a="${now_median%% *}" -v b="$floor_median" 'BEGIN { printf "%.2f", a / b }')
  case "$workload" in first) target=1.3 ;; *) target=1.5 ;; esac
  echo "$workload|${now_median%% *}|${now_median##* }|$now_all|$floor_median|$floor_all|$ratio|$target" >>"$rows"
  echo "$workload ${now_median%% *} $floor_median" >>"$table"
  echo "bench-floor: $workload: $(tail -n 1 "$rows")"
done

section=$(mktemp)
{
  echo "$begin_marker"
  echo "## The indexer against the library floor"
  echo
  echo "Written by \`make bench\` (scripts/bench-floor.sh) on $(date -u +%Y-%m-%d) ($(nproc) cores)."
  echo "Median wall time of $runs runs in seconds, the indexer and \`build/bench/library-floor\`"
  echo "in turn from the same starting files, the page cache written out first. The floor is the"
  echo "library's work alone: bulk puts of the records that survive, in key order; a bulk walk of"
  echo "opere.ddb; bulk puts of the index's terms; the close and fsync of both files (not the"
  echo "working copies). \`first\`: 1,000,000 records into an empty opere.ddb; \`increment\`: 10,000"
  echo "over a first run's files; \`ten-million\`: 10,000,000 records (each number ten times) into"
  echo "an empty opere.ddb. Peak RSS of the indexer's median run."
  echo
  echo "| workload | indexer s | indexer RSS MiB | indexer all | floor s | floor all | indexer / floor | target |"
  echo "|---|---:|---:|---|---:|---|---:|---:|"
  while IFS='|' read -r w ns nr na fs fa r t; do
    echo "| $w | $ns | $nr | $na | $fs | $fa | $r | $t |"
  done <"$rows"
  echo
  echo "![the indexer against the library floor](floor.png)"
  echo "$end_marker"
} >"$section"
scripts/results-section.sh bench-floor "$section"
rm -f "$section"

gnuplot <<GNUPLOT
set terminal pngcairo size 800,500 noenhanced
set output "$plot"
set title "indicizza against the library floor (median seconds)"
set ylabel "seconds"
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.7 border -1
set key left top
set grid ytics
set yrange [0:*]
plot "$table" using 2:xtic(1) title "indexer", "" using 3 title "library floor"
GNUPLOT
rm -rf "$work"
echo "bench-floor: wrote its section of $results and $plot"
