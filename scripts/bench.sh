#!/usr/bin/env bash
# make bench: times the indexer on generated catalogues of growing size.
#
# For each N it generates a catalogue (build/tools/generator/make-catalogue),
# then runs build/indicizza BENCH_RUNS times from an empty data database,
# timing the phases from outside by the moment each output line arrives
# (phase-timer), and keeps the run of median total time. Peak RSS is the
# child's ru_maxrss, the figure `/usr/bin/time -v` reports as "Maximum
# resident set size". Writes its own section of bench/RESULTS.md, between the
# marker lines below, leaving the rest of the file as it is, and the plot
# bench/phases.png.
#
# Environment: BENCH_SIZES (default "10000 100000 1000000"), BENCH_RUNS
# (default 3), BENCH_DIR (default build/bench-data; about 1.5 GB at 1M).
set -euo pipefail
cd "$(dirname "$0")/.."

sizes=${BENCH_SIZES:-"10000 100000 1000000"}
runs=${BENCH_RUNS:-3}
data=${BENCH_DIR:-build/bench-data}
results=bench/RESULTS.md
plot=bench/phases.png
begin_marker='<!-- bench-phases: begin -->'
end_marker='<!-- bench-phases: end -->'
table=$(mktemp)
section=$(mktemp)
trap 'rm -f "$table" "$section"' EXIT

mkdir -p "$data"

printf '%-9s %8s %8s %8s %8s %10s %9s %9s %9s\n' N total load scan write records/s rss_MiB ddb_MiB idb_MiB
for n in $sizes; do
  dir="$data/$n"
  mkdir -p "$dir"
  build/tools/generator/make-catalogue "$n" "$dir" >/dev/null
  # The new catalogue's pages go to the disk now, not during the first run.
  sync
  lines=()
  for ((run = 1; run <= runs; run++)); do
    scripts/empty-btree.sh "$dir/opere.ddb"
    rm -f "$dir/opere.idb"
    line=$(build/bench/phase-timer "$dir" "$PWD/build/indicizza" 2>/dev/null)
    case "$line" in *status=0*) ;; *) echo "bench: run failed at N=$n: $line" >&2; exit 1 ;; esac
    lines+=("$line")
  done
  # The run of median total time.
  median=$(printf '%s\n' "${lines[@]}" | sort -t= -k2 -g | sed -n "$(((runs + 1) / 2))p")
  field() { sed -E "s/.*$1=([0-9.]+).*/\1/" <<<"$median"; }
  total=$(field total) load=$(field load) scan=$(field scan) write=$(field write)
  rss=$(awk -v k="$(field maxrss_kib)" 'BEGIN { printf "%.0f", k / 1024 }')
  ddb=$(awk -v b="$(stat -c %s "$dir/opere.ddb")" 'BEGIN { printf "%.0f", b / 1048576 }')
  idb=$(awk -v b="$(stat -c %s "$dir/opere.idb")" 'BEGIN { printf "%.0f", b / 1048576 }')
  rate=$(awk -v n="$n" -v t="$total" 'BEGIN { printf "%.0f", n / t }')
  totals=$(printf '%s\n' "${lines[@]}" | sed -E 's/.*total=([0-9.]+).*/\1/' | sort -g | paste -sd/ -)
  printf '%-9s %8s %8s %8s %8s %10s %9s %9s %9s\n' "$n" "$total" "$load" "$scan" "$write" "$rate" "$rss" "$ddb" "$idb"
  echo "$n $total $load $scan $write $rate $rss $ddb $idb $totals" >>"$table"
done

{
  echo "$begin_marker"
  echo "## The indexer at growing sizes"
  echo
  echo "Written by \`make bench\` (scripts/bench.sh) on $(date -u +%Y-%m-%d) ($(nproc) cores, $(uname -r))."
  echo "Generated catalogues (tools/generator/catalogue_generator.h); each figure is the run of"
  echo "median total time out of $runs, from an empty opere.ddb. Times in seconds; RSS is the peak"
  echo "resident set size; file sizes after the run. A run ends only when both databases are on"
  echo "the disk (about 860 MB at 1M records), so the totals follow the disk and the machine's"
  echo "neighbours as well as the program: compare the spread in the last column."
  echo
  echo "| records | total | load | scan | write | records/s | peak RSS MiB | opere.ddb MiB | opere.idb MiB | all totals |"
  echo "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|"
  while read -r n total load scan write rate rss ddb idb totals; do
    echo "| $n | $total | $load | $scan | $write | $rate | $rss | $ddb | $idb | $totals |"
  done <"$table"
  echo
  echo "![time per phase against records](phases.png)"
  echo "$end_marker"
} >"$section"
scripts/results-section.sh bench-phases "$section"

gnuplot <<GNUPLOT
set terminal pngcairo size 800,500 noenhanced
set output "$plot"
set title "indicizza: time per phase"
set xlabel "records"
set ylabel "seconds"
set logscale xy
set key left top
set grid
plot "$table" using 1:2 with linespoints title "total", \
     "" using 1:3 with linespoints title "load", \
     "" using 1:4 with linespoints title "scan", \
     "" using 1:5 with linespoints title "write"
GNUPLOT
echo "bench: wrote its section of $results and $plot"
