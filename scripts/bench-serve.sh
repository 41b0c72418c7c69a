#!/usr/bin/env bash
# make bench, third part: a bounded load on catalogo servi over the
# 1,000,000-record generated catalogue that scripts/bench-search.sh leaves
# indexed in build/bench-data/1000000. SERVE_BENCH_CLIENTS clients (default
# 8), each on one keep-alive connection over loopback, ask for one search
# after the other for SERVE_BENCH_SECONDS seconds (default 10), after a
# 2-second warm-up: a common word as a page and as JSON; the same page for
# SERVE_BENCH_SLOW_SECONDS (default 20) while 64 slow clients from another
# address trickle their request heads a header line every 2 s; the same page
# while 4 clients from a third address loop searches that run out their
# deadline (fairness between addresses); and costly searches (past their
# deadline, over their budget, or just large). Requests
# per second, latency percentiles and the server's peak resident memory go
# into this script's own section of bench/RESULTS.md.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${SERVE_BENCH_SECONDS:-10}
slow_seconds=${SERVE_BENCH_SLOW_SECONDS:-20}
clients=${SERVE_BENCH_CLIENTS:-8}
slow_clients=64
costly_clients=4
# A search that runs out its deadline: every record under a prefix read
# and checked against a word most of them hold. (A word and its own
# exclusion, which once did, is now known to find nothing at once.)
past_deadline="/?q=l*+-lemore"
rss_target_mb=500
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

# What each load stands for | its target for p99 in ms (- none: its
# answers are meant to be refusals) | its seconds | its slow clients | its
# clients looping a search past its deadline from another address | its
# requests, asked in turn.
costly="$past_deadline /api/cerca?q=l*+OR+t*+OR+c*+OR+v* /api/cerca?q=m*+OR+s*"
costly+=" /?q=lemore+OR+lonove+OR+tonba+OR+teustdo+OR+capa+OR+vifi+OR+sevara+OR+meso+OR+luntonbe"
costly+=" /?q=%22lemore+lonove%22+-tonba /?q=l*&da=981"
loads=(
  "common word, first page of the search page|200|$seconds|0|0|/?q=lemore"
  "the same through the JSON API|200|$seconds|0|0|/api/cerca?q=lemore"
  "the search page while $slow_clients slow clients trickle their heads|300|$slow_seconds|$slow_clients|0|/?q=lemore"
  "the search page while $costly_clients clients of another address loop searches past the deadline|300|$slow_seconds|0|$costly_clients|/?q=lemore"
  "costly searches: past the 2 s deadline, over the budget, large|-|$seconds|0|0|$costly"
)
# The server's peak resident memory so far (VmHWM), in MB.
server_peak_mb() { echo $(($(sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$server/status") / 1024)); }

# First, on the fresh server: the whole result set of a search of about
# 100,000 records as a download (the page's "Scarica" link), its time and
# the server's peak memory after it.
download_path="/scarica.csv?q=mogapo"
download_target_s=10
download_target_mb=100
download_file=$(mktemp)
read -r download_status download_s < <(curl -s -o "$download_file" -w '%{http_code} %{time_total}\n' \
  "http://127.0.0.1:$port$download_path")
download_rows=$(($(wc -l <"$download_file") - 1))
download_mb=$(($(stat -c %s "$download_file") / 1000000))
rm -f "$download_file"
download_peak_mb=$(server_peak_mb)
echo "download GET $download_path: status $download_status, $download_rows rows ($download_mb MB) in" \
  "$download_s s, the server's peak memory then $download_peak_mb MB" \
  "(targets: $download_target_s s, $download_target_mb MB)"

printf '%-44s %9s %8s %8s %8s\n' load 'req/s' p50 p99 target
for entry in "${loads[@]}"; do
  IFS='|' read -r what target load_seconds slow costly_loop paths <<<"$entry"
  read -ra path_list <<<"$paths"
  "$load" "$port" 2 "$clients" "${path_list[@]}" >/dev/null || true  # warm-up: page cache, kept record lists
  costly_option=()
  [ "$costly_loop" -gt 0 ] && costly_option=(--costosi "$costly_loop" "$past_deadline")
  if [ "$slow" -gt 0 ]; then
    result=$("$load" "$port" "$load_seconds" "$clients" --lenti "$slow" "${path_list[@]}")
  else
    result=$("$load" "$port" "$load_seconds" "$clients" "${costly_option[@]}" "${path_list[@]}")
  fi
  declare -A figure=()
  for pair in $result; do figure[${pair%%=*}]=${pair#*=}; done
  printf '%-44s %9s %8s %8s %8s\n' "${what:0:44}" "${figure[per_second]}" "${figure[p50_ms]}" "${figure[p99_ms]}" "$target"
  shown_paths=$(sed 's/ /`, `GET /g' <<<"$paths")
  costly_cell="-"
  [ "$costly_loop" -gt 0 ] && costly_cell="${figure[costly_requests]} (${figure[costly_not_ok]} not 200)"
  echo "| $what | \`GET $shown_paths\` | $load_seconds | ${figure[requests]} | ${figure[not_ok]} | ${figure[errors]} | ${figure[per_second]} | ${figure[p50_ms]} | ${figure[p90_ms]} | ${figure[p99_ms]} | ${figure[max_ms]} | $target | ${figure[cut_off]} | $costly_cell |" >>"$rows"
done
peak_mb=$(server_peak_mb)
echo "peak resident memory of catalogo servi: $peak_mb MB (target: under $rss_target_mb MB)"

{
  echo "<!-- bench-serve: begin -->"
  echo "## Serving searches (\`catalogo servi\`)"
  echo
  echo "Written by \`scripts/bench-serve.sh\` (part of \`make bench\`) on $(date -u +%Y-%m-%d) ($(nproc) cores,"
  echo "load average $(cut -d' ' -f1-3 /proc/loadavg) when it ended: the clients, the server and the machine's"
  echo "other work share the cores). \`catalogo servi\` in the 1,000,000-record catalogue above;"
  echo "$clients clients (\`build/bench/serve-load\`), each on one keep-alive connection over loopback,"
  echo "send one request after the other (a row's requests in turn) for the seconds of the row, after a"
  echo "2 s warm-up. Slow clients come from 127.0.0.2 (another machine, as the server sees it) and"
  echo "send their request head a header line every 2 s; the server cuts each off once its head is not"
  echo "whole after 10 s, and the client opens another at once. Costly clients come from 127.0.0.3"
  echo "(a third machine) and ask for \`GET $past_deadline\` (a search that runs out its 2 s deadline)"
  echo "one after the other, besides the $clients clients; the server shares its work between addresses,"
  echo "so their row's figures are those of the $clients clients, with the costly clients' requests"
  echo "in the last column. Latency in milliseconds, from sending a"
  echo "request to having the whole answer, of the requests answered 200; *not 200* counts the answers"
  echo "the server chose (400 over the budget, 503 past the deadline), *errors* the requests with no"
  echo "answer at all."
  echo
  echo "| load | paths | s | requests | not 200 | errors | requests/s | p50 ms | p90 ms | p99 ms | max ms | p99 target ms | slow heads cut off | costly clients' requests |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
  cat "$rows"
  echo
  echo "Peak resident memory of \`catalogo servi\` over the whole run (VmHWM): $peak_mb MB (target:"
  echo "under $rss_target_mb MB, whatever the queries)."
  echo
  echo "A download of a whole result set, first thing after the server started (one client,"
  echo "\`curl\`): \`GET $download_path\` answered $download_status with $download_rows rows"
  echo "($download_mb MB of CSV) in $download_s s; the server's peak resident memory then:"
  echo "$download_peak_mb MB (targets: at most $download_target_s s and under $download_target_mb MB)."
  echo "<!-- bench-serve: end -->"
} >"$section"
scripts/results-section.sh bench-serve "$section"
echo "bench-serve: wrote its section of bench/RESULTS.md"
