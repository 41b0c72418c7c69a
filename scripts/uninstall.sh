#!/usr/bin/env bash
# make uninstall: removes the files make install put in place (cmake's list,
# install_manifest.txt), then the folders that install made
# (install_folders.txt beside it, see scripts/install.sh) once they are empty.
# A folder that holds something else is kept and named.
# Usage: scripts/uninstall.sh BUILD_DIR
set -euo pipefail
build=$1
manifest=$build/install_manifest.txt
folders=$build/install_folders.txt
if [ ! -f "$manifest" ]; then
  echo "Nothing to remove: $manifest is missing (make install writes it)" >&2
  exit 1
fi
# cmake ends the last line without a line feed.
while IFS= read -r file || [ -n "$file" ]; do
  [ -e "$file" ] || [ -L "$file" ] || continue
  rm -f -- "$file" && echo "Removed $file"
done <"$manifest"
if [ -f "$folders" ]; then
  # Deepest first, so that a folder's sub-folders go before it.
  sort -r "$folders" | while IFS= read -r folder; do
    [ -d "$folder" ] || continue
    if rmdir -- "$folder" 2>/dev/null; then
      echo "Removed $folder/"
    else
      echo "Kept $folder/: it holds files make install did not put there"
    fi
  done
  rm -f -- "$folders"
fi
rm -f -- "$manifest"
