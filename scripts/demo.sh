#!/usr/bin/env bash
# Builds a demonstration catalogue from samples/works.tsv in build/demo/,
# runs the indexer there and shows what it did, then looks a few things up
# with catalogo.
set -euo pipefail
cd "$(dirname "$0")/.."
demo=build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp samples/noused.txt samples/sinonimi.txt samples/etichette.txt "$demo/"
echo "== the record file and the empty data database in $demo =="
build/tools/demo-catalogue samples/works.tsv "$demo"

echo
echo "== indicizza in $demo =="
status=0
(cd "$demo" && ../indicizza) || status=$?
echo "== exit status: $status =="

# A few lookups with catalogo, so the index can be seen at work.
catalogo=../tools/catalogo/catalogo
show() {
  echo
  echo "\$ catalogo $*"
  (cd "$demo" && "$catalogo" "$@") || echo "(exit status: $?)"
}
# Long answers: their first lines and the count.
show_head() {
  echo
  echo "\$ catalogo $*"
  local output status=0
  output=$(cd "$demo" && "$catalogo" "$@") || status=$?
  if [ "$(printf '%s\n' "$output" | wc -l)" -gt 6 ]; then
    printf '%s\n' "$output" | head -n 5
    echo "   ..."
  fi
  printf '%s\n' "$output" | tail -n 1
  [ "$status" -eq 0 ] || echo "(exit status: $status)"
}
show_head cerca bach
show_head cerca sonata
show cerca BWV1009
show cerca BWV1011
show cerca bach sonata
show cerca chopin OP10
show cerca --conta faure
show cerca --limite 3 beethovan
show cerca --limite 3 kv 331
show cerca '"trio sonata"' --formato csv
show cerca 'sonat* T1:bach -trio' --limite 2
show mostra 43
show verifica

echo
echo "To search the demo catalogue in a browser, serve it (Ctrl-C stops) and open http://127.0.0.1:8080/ :"
echo "  (cd $demo && ../tools/catalogo/catalogo servi)"
