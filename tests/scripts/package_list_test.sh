#!/usr/bin/env bash
# The README's list of Debian packages, group by group, against what
# scripts/install-deps.sh installs, so that the two cannot drift apart.
# Usage: package_list_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
readme=$source_dir/README.md
fail() { echo "FAILED: $*"; exit 1; }

block=$(sed -n '/^<!-- packages: begin -->$/,/^<!-- packages: end -->$/p' "$readme")
[ -n "$block" ] || fail "README.md has no packages block"
for group in build package check browser; do
  line=$(printf '%s\n' "$block" | grep "^- $group, " || true)
  [ -n "$line" ] || fail "README.md lists no '$group' group"
  listed=$(printf '%s\n' "$line" | sed 's/.*: `\(.*\)`$/\1/')
  wanted=$("$source_dir/scripts/install-deps.sh" --list "$group")
  [ "$listed" = "$wanted" ] ||
    fail "README.md's '$group' group: '$listed'; scripts/install-deps.sh installs '$wanted'"
done
echo "README.md lists the packages scripts/install-deps.sh installs"
