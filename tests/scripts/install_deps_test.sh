#!/usr/bin/env bash
# scripts/install-deps.sh with packages missing, on a system played by stubs
# of dpkg-query, apt-cache, apt-get and id: as a user, one list for the
# whole command, in one su line, and a non-zero status; as root, one
# apt-get install of that list (after apt-get update when apt does not know
# a package). The README's example against what a user is shown; and make
# stopping at the missing packages, before anything is built.
# Usage: install_deps_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
fail() { echo "FAILED: $*"; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

stubs=$scratch/bin
mkdir -p "$stubs"
# Installed: every package but those of $STUB_MISSING.
cat >"$stubs/dpkg-query" <<'EOF'
#!/bin/sh
for package; do :; done
case " $STUB_MISSING " in *" $package "*) exit 1 ;; esac
printf 'install ok installed'
EOF
# apt knows every package but those of $STUB_UNKNOWN.
cat >"$stubs/apt-cache" <<'EOF'
#!/bin/sh
for package; do :; done
case " $STUB_UNKNOWN " in *" $package "*) echo "  Candidate: (none)" ;; *) echo "  Candidate: 1.0" ;; esac
EOF
cat >"$stubs/apt-get" <<'EOF'
#!/bin/sh
echo "apt-get $*" >>"$STUB_LOG"
EOF
cat >"$stubs/id" <<'EOF'
#!/bin/sh
echo "$STUB_UID"
EOF
chmod +x "$stubs"/*

# Runs scripts/install-deps.sh as the stubs say; sets status, output, apt.
run() {
  local uid=$1 browser=$2 missing=$3 unknown=$4
  shift 4
  : >"$scratch/apt.log"
  status=0
  output=$(env STUB_UID="$uid" STUB_MISSING="$missing" STUB_UNKNOWN="$unknown" \
    STUB_LOG="$scratch/apt.log" INDICIZZA_BROWSER="$browser" PATH="$stubs:$PATH" \
    "$source_dir/scripts/install-deps.sh" --for "$@" 2>&1) || status=$?
  apt=$(cat "$scratch/apt.log")
}

install="apt-get install -y --no-install-recommends"
# name | uid | BROWSER | missing | unknown to apt | command | status | su line or apt-get calls
cases=(
  "user, make test: every group in one line|1000|yes|cmake lintian chromium nodejs clang-format||test|1|  su -c 'apt-get update && $install cmake lintian clang-format chromium nodejs'"
  "user, make test BROWSER=no: no browser|1000|no|cmake lintian chromium nodejs clang-format||test|1|  su -c 'apt-get update && $install cmake lintian clang-format'"
  "user, make demo: the build's only|1000|yes|cmake lintian chromium nodejs||demo|1|  su -c 'apt-get update && $install cmake'"
  "user, make package: build and package|1000|yes|cmake lintian chromium||package|1|  su -c 'apt-get update && $install cmake lintian'"
  "user, nothing missing|1000|yes|||test|0|"
  "root, make test: one install of all|0|yes|cmake chromium||test|0|apt-get install -y -q --no-install-recommends cmake chromium"
  "root, a package apt does not know yet|0|yes|cmake chromium|chromium|test|0|apt-get update -qq"$'\n'"apt-get install -y -q --no-install-recommends cmake chromium"
)
for line in "${cases[@]}"; do
  IFS='|' read -r name uid browser missing unknown command want_status want <<<"$line"
  want=${line##*|}
  run "$uid" "$browser" "$missing" "$unknown" "$command"
  [ "$status" -eq "$want_status" ] || fail "$name: exit status $status, not $want_status:"$'\n'"$output"
  if [ "$uid" -eq 0 ]; then
    [ "$apt" = "$want" ] || fail "$name: apt-get ran as"$'\n'"$apt"$'\n'"not"$'\n'"$want"
  else
    [ -z "$apt" ] || fail "$name: apt-get ran as a user: $apt"
    su_lines=$(printf '%s\n' "$output" | grep -c "su -c" || true)
    if [ -z "$want" ]; then
      [ -z "$output" ] || fail "$name: said something: $output"
    else
      [ "$su_lines" -eq 1 ] || fail "$name: $su_lines su lines:"$'\n'"$output"
      printf '%s\n' "$output" | grep -qxF -- "$want" || fail "$name: no line"$'\n'"$want"$'\n'"in"$'\n'"$output"
    fi
  fi
done

# The README's example, "..." standing for any text, against what a user
# with every package missing is shown by make test's check.
example=$(awk '/then you run `make` again:$/ { found = 1; next }
  found && /^    / { print substr($0, 5); shown = 1; next }
  found && shown { exit }' "$source_dir/README.md")
[ "$(printf '%s\n' "$example" | grep -c .)" -eq 3 ] ||
  fail "README.md's example of a user's missing packages was not found:"$'\n'"$example"
run 1000 yes "$(INDICIZZA_BROWSER=yes "$source_dir/scripts/install-deps.sh" --list --for test)" "" test
shown=$(printf '%s\n' "$output" | head -n 3)
while IFS= read -r said <&3 && IFS= read -r wanted <&4; do
  pattern=${wanted//\*/\\*}
  pattern=${pattern//\?/\\?}
  pattern=${pattern//.../*}
  # shellcheck disable=SC2053 # the README's line as a pattern, on purpose
  [[ "$said" == $pattern ]] || fail "the README shows"$'\n'"$wanted"$'\n'"the check prints"$'\n'"$said"
done 3< <(printf '%s\n' "$shown") 4< <(printf '%s\n' "$example")

# make stops at the missing packages: nothing built, nothing run after.
for target in demo test install package; do
  status=0
  said=$(cd "$source_dir" && env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL STUB_UID=1000 \
    STUB_MISSING=cmake STUB_LOG=/dev/null PATH="$stubs:$PATH" make "$target" 2>&1) || status=$?
  [ "$status" -ne 0 ] || fail "make $target went on past the missing packages:"$'\n'"$said"
  [[ "$said" != *"cmake -S"* && "$said" != *"== build"* ]] ||
    fail "make $target built after the missing packages:"$'\n'"$said"
done
echo "one list of the missing packages per command, as the README shows it; make stops there"
