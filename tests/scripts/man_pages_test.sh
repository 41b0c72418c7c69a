#!/usr/bin/env bash
# Each built man page as man shows it in three locales a reader may have:
# LANG=C (the ascii device: a minimal system's default), C.UTF-8 and
# it_IT.UTF-8. In every one, no warning from man or groff; under C, nothing
# beyond ASCII; under the UTF-8 locales, every letter beyond ASCII the page
# uses shown as written.
# Usage: man_pages_test.sh MAN_DIR   (the build's man/, holding *.1.gz)
# Exit status 77 (skipped, saying why) without man, or without the data to
# make it_IT.UTF-8 when the system lacks that locale.
set -euo pipefail
man_dir=$1
fail() { echo "FAILED: $*"; exit 1; }
command -v man >/dev/null || { echo "man is not installed (the man-db package)"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# it_IT.UTF-8 as the system has it, or made here, for these runs only, from
# the locales package's data.
it_locpath=
if ! locale -a 2>/dev/null | grep -qix 'it_IT\.utf-\?8'; then
  mkdir -p "$scratch/locales"
  localedef -i it_IT -f UTF-8 "$scratch/locales/it_IT.UTF-8" >/dev/null 2>&1 ||
    { echo "it_IT.UTF-8 is not on this system and localedef cannot make it (the locales package)"; exit 77; }
  it_locpath=$scratch/locales
fi

pages=("$man_dir"/*.1.gz)
[ -e "${pages[0]}" ] || fail "no man page in $man_dir"
for page in "${pages[@]}"; do
  name=$(basename "$page" .gz)
  for locale in C C.UTF-8 it_IT.UTF-8; do
    locpath=
    [ "$locale" = it_IT.UTF-8 ] && locpath=$it_locpath
    out=$scratch/$name.$locale
    env -u LC_ALL -u LANGUAGE -u MANOPT ${locpath:+LOCPATH=$locpath} LANG="$locale" MANWIDTH=80 \
      man --warnings=all -l "$page" >"$out" 2>"$out.err" ||
      fail "$name under LANG=$locale: man failed: $(cat "$out.err")"
    [ ! -s "$out.err" ] || fail "$name under LANG=$locale warns:"$'\n'"$(head -n 5 "$out.err")"
    [ -s "$out" ] || fail "$name under LANG=$locale shows nothing"
    if [ "$locale" = C ]; then
      if LC_ALL=C grep -n '[^[:print:][:space:]]' "$out" >"$out.beyond"; then
        fail "$name under LANG=C shows bytes beyond ASCII:"$'\n'"$(head -n 3 "$out.beyond")"
      fi
    else
      while IFS= read -r letter; do
        grep -qF -- "$letter" "$out" || fail "$name under LANG=$locale loses '$letter'"
      done < <(zcat "$page" | LC_ALL=C.UTF-8 grep -o -P '[^\x00-\x7F]' | sort -u)
    fi
  done
done
echo "${#pages[@]} man pages render without a warning and whole under LANG=C, C.UTF-8 and it_IT.UTF-8"
