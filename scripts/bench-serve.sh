#!/usr/bin/env bash
# make bench, third part: a bounded load on catalogo servi over the
# 1,000,000-record generated catalogue that scripts/bench-search.sh leaves
# indexed in build/bench-data/1000000. SERVE_BENCH_CLIENTS clients (default
# 8), each on one keep-alive connection over loopback, ask for one search
# after the other for SERVE_BENCH_SECONDS seconds (default 10), after a
# 2-second warm-up; requests per second and latency percentiles go into
# this script's own section of bench/RESULTS.md.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${SERVE_BENCH_SECONDS:-10}
clients=${SERVE_BENCH_CLIENTS:-8}
data=${BENCH_DIR:-build/bench-data}
dir="$data/1000000"
catalogo="$PWD/build/tools/catalogo/catalogo"
load="$PWD/build/bench/serve-load"

if [ ! -f "$dir/opere.ddb" ] || [ ! -f "$dir/opere.idb" ]; then
  echo "bench-serve: no indexed catalogue in $dir: run scripts/bench-search.sh first (it makes one)" >&2
  exit 1
fi

log=$(mktemp)
rows=$(mktemp)
section=$(mktemp)
server=
stop_server() {
  if [ -n "$server" ]; then kill -TERM "$server" 2>/dev/null && wait "$server" 2>/dev/null || true; fi
  rm -f "$log" "$rows" "$section"
}
trap stop_server EXIT
(cd "$dir" && exec "$catalogo" servi --porta 0 2>"$log") &
server=$!
port=
for _ in $(seq 100); do
  port=$(sed -n 's|.*in ascolto su http://127\.0\.0\.1:\([0-9]*\)/.*|\1|p' "$log")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "bench-serve: catalogo servi did not start:" >&2; cat "$log" >&2; exit 1; }

# What each request stands for | its target for p99 in ms | the request.
requests=(
  "common word, first page of the search page|200|/?q=lemore"
  "the same through the JSON API|200|/api/cerca?q=lemore"
)
printf '%-44s %9s %8s %8s %8s\n' request 'req/s' p50 p99 target
for entry in "${requests[@]}"; do
  IFS='|' read -r what target path <<<"$entry"
  "$load" "$port" "$path" 2 "$clients" >/dev/null  # warm-up: page cache, kept record lists
  result=$("$load" "$port" "$path" "$seconds" "$clients")
  declare -A figure=()
  for pair in $result; do figure[${pair%%=*}]=${pair#*=}; done
  printf '%-44s %9s %8s %8s %8s\n' "$what" "${figure[per_second]}" "${figure[p50_ms]}" "${figure[p99_ms]}" "$target"
  echo "| $what | \`GET $path\` | ${figure[requests]} | ${figure[errors]} | ${figure[per_second]} | ${figure[p50_ms]} | ${figure[p90_ms]} | ${figure[p99_ms]} | ${figure[max_ms]} | $target |" >>"$rows"
done

{
  echo "<!-- bench-serve: begin -->"
  echo "## Serving searches (\`catalogo servi\`)"
  echo
  echo "Written by \`scripts/bench-serve.sh\` (part of \`make bench\`) on $(date -u +%Y-%m-%d) ($(nproc) cores,"
  echo "load average $(cut -d' ' -f1-3 /proc/loadavg) when it ended: the clients, the server and the machine's"
  echo "other work share the cores). \`catalogo servi\` in the 1,000,000-record catalogue above;"
  echo "$clients clients (\`build/bench/serve-load\`), each on one keep-alive connection over loopback,"
  echo "send one request after the other for $seconds s, after a 2 s warm-up. Latency in milliseconds,"
  echo "from sending a request to having the whole answer."
  echo
  echo "| request | path | requests | errors | requests/s | p50 ms | p90 ms | p99 ms | max ms | p99 target ms |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|"
  cat "$rows"
  echo "<!-- bench-serve: end -->"
} >"$section"
scripts/results-section.sh bench-serve "$section"
echo "bench-serve: wrote its section of bench/RESULTS.md"
