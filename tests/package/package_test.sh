#!/usr/bin/env bash
# Builds the Debian package of one build folder with its CPack settings,
# checks its fields and file list, installs it with dpkg into a scratch root,
# runs the installed programs on the demonstration catalogue, has
# systemd-analyze verify the unit of catalogo servi and lintian check the
# package; then follows the README's recipe for one's own catalogue, from
# make install PREFIX=$HOME/.local to make uninstall, in a scratch home.
# Usage: package_test.sh BUILD_DIR VERSION DEMO_CATALOGUE_TOOL SAMPLES_DIR
# Exit status 77 (skipped) when the Debian packaging tools are missing.
set -euo pipefail
build=$1 version=$2 demo_catalogue=$3 samples=$4

for tool in dpkg-deb dpkg-shlibdeps file cpack; do
  if ! command -v "$tool" >/dev/null; then
    echo "Skipped: $tool is missing (make test installs it; so does apt-get install dpkg-dev file)"
    exit 77
  fi
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

if ! cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"
  fail "cpack could not build the package"
fi
deb=$scratch/out/indicizza_${version}_amd64.deb
[ -f "$deb" ] || fail "no $(basename "$deb"); cpack wrote: $(ls "$scratch/out")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = indicizza ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
[ "$(field Architecture)" = amd64 ] || fail "Architecture: $(field Architecture)"
# The Berkeley DB and libmicrohttpd runtime libraries, by their package names.
[[ ", $(field Depends)," =~ ,\ libdb5\.3[\ ,] ]] || fail "Depends lacks libdb5.3: $(field Depends)"
[[ ", $(field Depends)," =~ ,\ libmicrohttpd12[\ ,] ]] ||
  fail "Depends lacks libmicrohttpd12: $(field Depends)"

expected_files="./usr/bin/catalogo
./usr/bin/indicizza
./usr/lib/systemd/system/catalogo-servi@.service
./usr/share/doc/indicizza/README.md
./usr/share/doc/indicizza/changelog.gz
./usr/share/doc/indicizza/copyright
./usr/share/doc/indicizza/docs/building.md
./usr/share/doc/indicizza/docs/catalogo-servi-390.png
./usr/share/doc/indicizza/docs/catalogo-servi-record.png
./usr/share/doc/indicizza/docs/catalogo-servi.png
./usr/share/doc/indicizza/docs/design.md
./usr/share/doc/indicizza/docs/file-formats.md
./usr/share/doc/indicizza/docs/safety.md
./usr/share/doc/indicizza/docs/search.md
./usr/share/doc/indicizza/examples/catalogo-servi.default
./usr/share/doc/indicizza/examples/example.tsv
./usr/share/doc/indicizza/examples/noused.txt
./usr/share/man/man1/catalogo.1.gz
./usr/share/man/man1/indicizza.1.gz"
files=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -v '/$' | sort)
[ "$files" = "$expected_files" ] || fail "files in the package:"$'\n'"$files"

# dpkg with its own empty database in the scratch root; the libraries the
# package depends on are the ones of this system. dpkg wants ldconfig and
# start-stop-daemon on its PATH, which a plain user's PATH lacks.
root=$scratch/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
if ! PATH="$PATH:/usr/local/sbin:/usr/sbin:/sbin" \
    dpkg --root="$root" --force-depends --force-not-root -i "$deb" >"$scratch/dpkg.log" 2>&1; then
  cat "$scratch/dpkg.log"
  fail "dpkg could not install the package"
fi

for page in indicizza catalogo; do
  header=$(gzip -dc "$root/usr/share/man/man1/$page.1.gz" | grep '^\.TH') || fail "$page.1: no .TH line"
  [[ "$header" == ".TH \"$page\" \"1\" "*"\"indicizza $version\""* ]] || fail "$page.1: $header"
done

[ "$("$root/usr/bin/catalogo" --version)" = "catalogo $version" ] ||
  fail "catalogo --version: $("$root/usr/bin/catalogo" --version)"

demo=$scratch/demo
mkdir "$demo"
cp "$samples/noused.txt" "$demo/"
"$demo_catalogue" "$samples/works.tsv" "$demo" >/dev/null
status=0
output=$(cd "$demo" && "$root/usr/bin/indicizza") || status=$?
[ "$status" -eq 0 ] || fail "indicizza: exit status $status; output:"$'\n'"$output"
[ "$(printf '%s\n' "$output" | tail -n 1)" = "Fine scansione" ] || fail "indicizza printed:"$'\n'"$output"

found=$(cd "$demo" && "$root/usr/bin/catalogo" cerca BWV1009) || fail "catalogo cerca BWV1009 found nothing"
[[ "$found" == *"    43  AR  J. S. Bach"* ]] || fail "catalogo cerca BWV1009:"$'\n'"$found"
checked=$(cd "$demo" && "$root/usr/bin/catalogo" verifica) || fail "catalogo verifica:"$'\n'"$checked"
[[ "$checked" == *"discordanze: 0" ]] || fail "catalogo verifica:"$'\n'"$checked"
# The unit runs the packaged catalogo; systemd-analyze verify checks the
# rest, on an instance for /srv/catalogo whose ExecStart names the copy
# installed in the scratch root (it checks that the command exists). It
# exits 0 after an unknown key or a value it can't parse, saying so: any
# word from it is a failure.
unit=$root/usr/lib/systemd/system/catalogo-servi@.service
grep -q '^ExecStart=/usr/bin/catalogo servi ' "$unit" || fail "catalogo-servi@.service: $(grep ExecStart "$unit")"
if command -v systemd-analyze >/dev/null; then
  mkdir "$scratch/units"
  sed "s|^ExecStart=/usr/bin/catalogo |ExecStart=$root/usr/bin/catalogo |" "$unit" \
    >"$scratch/units/catalogo-servi@srv-catalogo.service"
  if ! verified=$(systemd-analyze verify --man=no "$scratch/units/catalogo-servi@srv-catalogo.service" 2>&1) ||
      [ -n "$verified" ]; then
    fail "systemd-analyze verify catalogo-servi@.service:"$'\n'"$verified"
  fi
  unit_checked="the systemd unit, "
else
  echo "Skipped: systemd-analyze is missing, so the systemd unit is not verified (scripts/install-deps.sh package installs it)"
  unit_checked=""
fi
# Debian's own checks: no error may remain (warnings and notes are shown).
if command -v lintian >/dev/null; then
  lintian_said=$(lintian --fail-on error "$deb" 2>&1) || fail "lintian:"$'\n'"$lintian_said"
  [ -z "$lintian_said" ] || printf 'lintian:\n%s\n' "$lintian_said"
  lintian_checked="lintian, "
else
  echo "Skipped: lintian is missing, so Debian's checks of the package do not run (scripts/install-deps.sh package installs it)"
  lintian_checked=""
fi

# The README's recipe for one's own catalogue, as a newcomer follows it: its
# commands, in order, run by a shell in a scratch home outside the source
# tree, after make install PREFIX=$HOME/.local (scripts/install.sh, with this
# build); the service is left out (it runs until stopped). Then make
# uninstall must leave nothing behind.
source_dir=$(cd "$samples/.." && pwd)
# A real make install from this build folder keeps its lists there: set
# them aside for the test's own install, and put them back however it ends.
mkdir "$scratch/lists"
for list in install_manifest.txt install_folders.txt; do
  [ -f "$build/$list" ] && mv "$build/$list" "$scratch/lists/"
done
trap 'rm -f "$build/install_manifest.txt" "$build/install_folders.txt";
      mv "$scratch/lists/"* "$build/" 2>/dev/null; rm -rf "$scratch"' EXIT
home=$scratch/home
mkdir -p "$home"
HOME=$home "$source_dir/scripts/install.sh" "$build" "$home/.local" >"$scratch/install.log" 2>&1 ||
  { cat "$scratch/install.log"; fail "make install PREFIX=\$HOME/.local failed"; }
recipe=$(sed -n '/^## A five-minute tour/,/^## /p' "$source_dir/README.md" |
  sed -n 's/^ \{4,\}\(export PATH=.*\|examples=.*\|mkdir .*\|cp .*\|catalogo .*\|indicizza\)$/\1/p' |
  grep -v '^catalogo servi')
[ "$(printf '%s\n' "$recipe" | grep -c .)" -ge 8 ] || fail "the README's recipe was not found:"$'\n'"$recipe"
if ! ran=$(cd "$home" && HOME=$home PATH="/usr/bin:/bin" bash -euc "$recipe" 2>&1); then
  fail "the README's recipe failed:"$'\n'"$recipe"$'\n'"--- it gave:"$'\n'"$ran"
fi
for said in "6 record scritti in opere.cry" "Creato opere.ddb vuoto" "Fine scansione" \
    "4 record trovati, e 1 con alcune delle parole" "BWV1009" "discordanze: 0"; do
  [[ "$ran" == *"$said"* ]] || fail "the README's recipe did not say '$said':"$'\n'"$ran"
done
[ -f "$home/my-catalogue/opere.idb" ] || fail "the README's recipe left no opere.idb"
HOME=$home "$source_dir/scripts/uninstall.sh" "$build" >"$scratch/uninstall.log" 2>&1 ||
  { cat "$scratch/uninstall.log"; fail "make uninstall failed"; }
left=$(cd "$home" && find .local 2>/dev/null || true)
[ -z "$left" ] || fail "make uninstall left behind:"$'\n'"$left"

echo "indicizza_${version}_amd64.deb: fields, files, man pages, ${unit_checked}${lintian_checked}the demo catalogue and the README's recipe are right"
