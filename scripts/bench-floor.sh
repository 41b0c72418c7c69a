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
# each in two ways: cold, with the page cache written out (sync) before each
# run; and warm, written out and then holding every starting file, read just
# before the run (as after catalogo cifra has written opere.cry and the
# databases were read moments ago).
# Each runs FLOOR_RUNS times (default 5), the indexer and the floor in turn
# (A B A B ...) from the same starting files; kept: the medians of the wall
# time and of the user and system CPU seconds (the floor's of its timed part
# alone), the peak RSS of the indexer's median run, and the ratio of the wall
# times. FLOOR_WORKLOADS (default "first increment ten-million") picks
# workloads. Writes its own section of bench/RESULTS.md between the marker
# lines below, and the plot bench/floor.png.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${FLOOR_RUNS:-5}
workloads=${FLOOR_WORKLOADS:-first increment ten-million}
data=${BENCH_DIR:-build/bench-data}
# Absolute: the runs are made from inside it.
work="$(realpath -m "$data/floor")"
results=bench/RESULTS.md
plot=bench/floor.png
indexer="$PWD/build/indicizza"
floor="$PWD/build/bench/library-floor"
begin_marker='<!-- bench-floor: begin -->'
end_marker='<!-- bench-floor: end -->'


one_million="$data/1000000"
scripts/bench-catalogue.sh 1000000 "$one_million"
ten_million="$data/10000000"
if [[ " $workloads " == *" ten-million "* ]] && { [ ! -f "$ten_million/opere.cry" ] ||
  [ "$(stat -c %s "$ten_million/opere.cry")" -ne $((10000000 * 525)) ]; }; then
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
if [[ " $workloads " == *" ten-million "* ]]; then
  ln -s "$(realpath "$ten_million/opere.cry")" "$work/ten-million/opere.cry"
  cp "$ten_million/noused.txt" "$work/ten-million/"
  scripts/empty-btree.sh "$work/ten-million/opere.ddb"
fi

# Puts the starting files of $1 into $work/run: copies, or for the indexer
# ($2 = link) hard links, so that the databases are the very files a run
# left (which the indexer only ever replaces, never writes in place), with
# what that run proved of them.
prepare() {
  rm -rf "$work/run"
  mkdir -p "$work/run"
  if [ "${2:-}" = link ]; then
    cp -P -l "$work/$1/"* "$work/run/"
  else
    cp -P "$work/$1/"* "$work/run/"
  fi
  rm -f "$work/run/index.ref"
  sync
}
# The first run's files are where the increment starts.
prepare first
(cd "$work/run" && "$indexer" >/dev/null)
ln "$work/run/opere.ddb" "$work/run/opere.idb" "$work/increment/"
for workload in $workloads; do
  prepare "$workload"
  (cd "$work/run" && "$indexer" >/dev/null)
  cp "$work/run/opere.idb" "$work/$workload/index.ref"
done

# Before a run: the page cache written out, and for a warm run ($2 = warm)
# every starting file read into it.
settle() {
  sync
  if [ "$2" = warm ]; then cat "$work/run/"* >/dev/null; fi
}
# "seconds rss_mib user_s sys_s" of one indexer run on workload $1, cold or
# warm ($2).
time_indexer() {
  prepare "$1" link
  settle "$1" "$2"
  local out
  out=$(cd "$work/run" && /usr/bin/time -f '%e %M %U %S' "$indexer" 2>&1 >/dev/null | tail -n 1)
  awk '{ printf "%s %.0f %s %s\n", $1, $2 / 1024, $3, $4 }' <<<"$out"
}
# "seconds user_s sys_s" of one floor run on workload $1, cold or warm ($2).
time_floor() {
  prepare "$1"
  cp "$work/$1/index.ref" "$work/run/"
  settle "$1" "$2"
  "$floor" "$work/run" 2>/dev/null
}

middle() { sort -g | sed -n "$(((runs + 1) / 2))p"; }
# The median of column $1 of the lines on standard input.
median_of() { awk -v c="$1" '{ print $c }' | middle; }

rows=$(mktemp)
table=$(mktemp)
trap 'rm -f "$rows" "$table"' EXIT
for workload in $workloads; do
  for mode in cold warm; do
    now=() base=()
    for ((i = 0; i < runs; i++)); do
      now+=("$(time_indexer "$workload" "$mode")")
      base+=("$(time_floor "$workload" "$mode")")
    done
    now_median=$(printf '%s\n' "${now[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p")
    now_user=$(printf '%s\n' "${now[@]}" | median_of 3)
    now_sys=$(printf '%s\n' "${now[@]}" | median_of 4)
    now_all=$(printf '%s\n' "${now[@]}" | cut -d' ' -f1 | sort -g | paste -sd/ -)
    floor_median=$(printf '%s\n' "${base[@]}" | median_of 1)
    floor_user=$(printf '%s\n' "${base[@]}" | median_of 2)
    floor_sys=$(printf '%s\n' "${base[@]}" | median_of 3)
    floor_all=$(printf '%s\n' "${base[@]}" | cut -d' ' -f1 | sort -g | paste -sd/ -)
    now_seconds=$(cut -d' ' -f1 <<<"$now_median")
    now_rss=$(cut -d' ' -f2 <<<"$now_median")
    ratio=$(awk -v a="$now_seconds" -v b="$floor_median" 'BEGIN { printf "%.2f", a / b }')
    case "$workload" in first) target=0.6 ;; *) target=1.5 ;; esac
    echo "$workload|$mode|$now_seconds|$now_user|$now_sys|$now_rss|$now_all|$floor_median|$floor_user|$floor_sys|$floor_all|$ratio|$target" >>"$rows"
    echo "$workload-$mode $now_seconds $floor_median" >>"$table"
    echo "bench-floor: $workload $mode: $(tail -n 1 "$rows")"
  done
done

# Where a warm first run's CPU goes: the top of a sampled profile (perf's
# cpu-clock, which needs no hardware counters), when perf can sample here.
profile=$(mktemp)
trap 'rm -f "$rows" "$table" "$profile"' EXIT
if command -v perf >/dev/null && [[ " $workloads " == *" first "* ]]; then
  prepare first
  settle first warm
  if (cd "$work/run" && perf record -q -e cpu-clock -F 1000 -o "$work/perf.data" \
    "$indexer" >/dev/null 2>&1); then
    perf report -i "$work/perf.data" --no-children --sort dso,sym --stdio 2>/dev/null |
      grep -E '^ +[0-9]' | head -n 25 | cut -c1-110 >"$profile" || true
  fi
fi

# The targets of warm runs beside the table's: an increment at most 0.3 of
# a first run, a first run's user + system CPU at most 4 s and its peak RSS
# under 350 MiB.
targets() {
  awk -F'|' '$2 == "warm" { s[$1] = $3; cpu[$1] = $4 + $5; rss[$1] = $6 }
    function verdict(ok) { return ok ? "met" : "not met" }
    END {
      if (!("first" in s)) exit
      printf "Targets of warm runs: a first run at most 0.6 of the floor (the table);"
      if ("increment" in s)
        printf " an increment at most 0.3 of a first run: %.2f, %s;", s["increment"] / s["first"],
          verdict(s["increment"] <= 0.3 * s["first"])
      printf " a first run'"'"'s user + system CPU at most 4 s: %.2f s, %s;", cpu["first"],
        verdict(cpu["first"] <= 4)
      printf " its peak RSS under 350 MiB: %d MiB, %s.\n", rss["first"], verdict(rss["first"] < 350)
    }' "$1"
}

section=$(mktemp)
{
  echo "$begin_marker"
  echo "## The indexer against the library floor"
  echo
  echo "Written by \`make bench\` (scripts/bench-floor.sh) on $(date -u +%Y-%m-%d) ($(nproc) cores)."
  echo "Medians of $runs runs, the indexer and \`build/bench/library-floor\` in turn from the"
  echo "same starting files: wall seconds, and user and system CPU seconds (the floor's of its"
  echo "timed part alone). Cold: the page cache written out (sync) before each run; warm: written"
  echo "out, then every starting file read into it just before the run, as after \`catalogo"
  echo "cifra\` has written opere.cry and the databases were read moments ago. The floor is the"
  echo "library's work alone: bulk puts of the records that survive, in key order; a bulk walk of"
  echo "opere.ddb; bulk puts of the index's terms; the close and fsync of both files (not the"
  echo "working copies). \`first\`: 1,000,000 records into an empty opere.ddb; \`increment\`: 10,000"
  echo "over a first run's files; \`ten-million\`: 10,000,000 records (each number ten times) into"
  echo "an empty opere.ddb. Peak RSS of the indexer's median run; the ratio is of wall times."
  echo
  echo "| workload | cache | indexer s | indexer user s | indexer sys s | indexer RSS MiB | indexer all | floor s | floor user s | floor sys s | floor all | indexer / floor | target |"
  echo "|---|---|---:|---:|---:|---:|---|---:|---:|---:|---|---:|---:|"
  while IFS='|' read -r w m ns nu nsy nr na fs fu fsy fa r t; do
    echo "| $w | $m | $ns | $nu | $nsy | $nr | $na | $fs | $fu | $fsy | $fa | $r | $t |"
  done <"$rows"
  echo
  targets "$rows"
  echo
  if [ -s "$profile" ]; then
    echo "Where a warm \`first\` run's CPU goes (\`perf record -e cpu-clock\`, self time, the"
    echo "top 25 functions):"
    echo
    echo '```'
    cat "$profile"
    echo '```'
    echo
  fi
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
