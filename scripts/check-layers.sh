#!/usr/bin/env bash
# Checks that every #include "..." of the layered code (src/ and
# tools/catalogo/) runs down the layers that docs/design.md states: the
# block between its "layers: begin" and "layers: end" marks, one folder a
# line followed by the folders it may include; through those, a folder may
# include every folder below them, and its own. Names each include that
# runs elsewhere, and fails then.
# Usage: scripts/check-layers.sh [ROOT]   (ROOT: the source tree, . by default)
set -euo pipefail
root=${1:-.}
cd "$root"

declare -A below=()  # folder -> the folders it may include directly
order=()
while read -r folder rest; do
  below[$folder]=$rest
  order+=("$folder")
done < <(sed -n '/<!-- layers: begin -->/,/<!-- layers: end -->/p' docs/design.md |
         grep -E '^ *(src|tools)/' | sed -E 's/^ +//; s/ +/ /g')
if [ ${#order[@]} -eq 0 ]; then
  echo "check-layers: docs/design.md states no layers (no 'layers: begin' block)" >&2
  exit 2
fi

# Every folder a folder may reach, itself included.
reach() {
  local -A seen=([$1]=1)
  local todo=("$1") folder next
  while [ ${#todo[@]} -gt 0 ]; do
    folder=${todo[0]}
    todo=("${todo[@]:1}")
    for next in ${below[$folder]:-}; do
      [ -n "${seen[$next]:-}" ] && continue
      seen[$next]=1
      todo+=("$next")
    done
  done
  echo "${!seen[@]}"
}
declare -A reachable=()
for folder in "${order[@]}"; do reachable[$folder]=" $(reach "$folder") "; done

# The folder of an include: the tree's own file under src/ or tools/, or,
# for a header the build generates, the src/ folder its path names.
folderOf() {
  local include=$1 path
  for path in "src/$include" "tools/$include"; do
    if [ -f "$path" ]; then
      echo "$(dirname "$path")/"
      return
    fi
  done
  case "$include" in
    */*) echo "src/$(dirname "$include")/" ;;
    *) echo "" ;;  # generated beside every folder (version.h)
  esac
}

faults=0
while IFS= read -r file; do
  from="$(dirname "$file")/"
  allowed=${reachable[$from]:-}
  if [ -z "$allowed" ]; then
    echo "$file: its folder $from is on no line of the layers in docs/design.md"
    faults=$((faults + 1))
    continue
  fi
  while IFS= read -r include; do
    to=$(folderOf "$include")
    [ -z "$to" ] && continue
    if [[ "$allowed" != *" $to "* ]]; then
      echo "$file: includes \"$include\" ($to), which $from may not reach"
      faults=$((faults + 1))
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find src tools/catalogo -name '*.h' -o -name '*.cc' | sort)

if [ "$faults" -ne 0 ]; then
  echo "check-layers: $faults include(s) against the layers of docs/design.md"
  exit 1
fi
echo "check-layers: every include of src/ and tools/catalogo/ runs down the layers"
