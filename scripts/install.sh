#!/usr/bin/env bash
# make install: installs build-release/ under PREFIX (DESTDIR honoured), and
# notes beside cmake's list of installed files (install_manifest.txt) the
# folders the install had to make, so that make uninstall can take away
# exactly those (scripts/uninstall.sh) and no folder that was there before,
# empty or not (/usr/local/bin on a new system is both).
# Usage: scripts/install.sh BUILD_DIR PREFIX
set -euo pipefail
build=$1 prefix=$2
destination=${DESTDIR:-}

# Where the files will go: a first install into a scratch folder.
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
DESTDIR=$staging cmake --install "$build" --prefix "$prefix" >/dev/null

made=()
while IFS= read -r folder; do
  target=$destination/${folder#"$staging"/}
  target=${target/\/\//\/}
  [ -d "$target" ] || made+=("$target")
done < <(find "$staging" -mindepth 1 -type d | sort)

cmake --install "$build" --prefix "$prefix"
printf '%s\n' "${made[@]}" >"$build/install_folders.txt"
