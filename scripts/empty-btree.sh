#!/usr/bin/env bash
# scripts/empty-btree.sh FILE: makes FILE an empty B-tree, as `catalogo
# crea-db` does, with the library's own loader, for the bench scripts to
# start a first run from.
set -euo pipefail
rm -f "$1"
printf 'VERSION=3\nformat=bytevalue\ntype=btree\nHEADER=END\nDATA=END\n' | db5.3_load "$1"
