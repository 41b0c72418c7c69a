#!/usr/bin/env bash
# Installs the Debian packages a make target needs, when any is missing.
# Usage: scripts/install-deps.sh [--list] [--for COMMAND] [GROUP...]
#   groups: build, package, check, bench, fuzz, browser
#   --for COMMAND: every group that make COMMAND needs, so that it asks for
#     root once: demo, install: build;  package: build package;  test: build
#     package check, and browser unless INDICIZZA_BROWSER=no (make test
#     BROWSER=no);  bench: build package bench;  fuzz: build fuzz
#   --list: prints the packages on one line and installs nothing (the
#     README's list is checked against it).
# As root: installs them, reading the package lists first when they don't know
# a package (as on a freshly made system). Otherwise: prints a command that
# does that as root (with su, which every Debian system has) and fails.
set -euo pipefail

list_only=false
groups=()
while [ $# -gt 0 ]; do
  case "$1" in
    --list) list_only=true ;;
    --for)
      case "${2:-}" in
        demo | install) groups+=(build) ;;
        package) groups+=(build package) ;;
        test)
          groups+=(build package check)
          [ "${INDICIZZA_BROWSER:-yes}" = no ] || groups+=(browser)
          ;;
        bench) groups+=(build package bench) ;;
        fuzz) groups+=(build fuzz) ;;
        *) echo "install-deps: unknown command '${2:-}'" >&2; exit 2 ;;
      esac
      shift
      ;;
    *) groups+=("$1") ;;
  esac
  shift
done

packages=()
for group in "${groups[@]}"; do
  case "$group" in
    build) packages+=(g++ cmake make libdb5.3-dev db5.3-util libgtest-dev libcli11-dev scdoc pkgconf libmicrohttpd-dev libcpp-httplib-dev libstemmer-dev) ;;
    # systemd: systemd-analyze verify of the unit; lintian: Debian's checks of the package
    package) packages+=(dpkg-dev file systemd lintian) ;;
    # the format check of make test; the man pages shown in each locale
    # (man from man-db, it_IT.UTF-8 made from the locales package's data)
    check) packages+=(clang-format man-db locales) ;;
    bench) packages+=(libbenchmark-dev time gnuplot-nox curl) ;;
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    # the browser tests of catalogo servi: chromium, and nodejs to drive it
    # through its DevTools pipe for the accessibility and keyboard checks
    browser) packages+=(chromium nodejs) ;;
    *) echo "install-deps: unknown group '$group'" >&2; exit 2 ;;
  esac
done
# Each package once, in the order first asked for.
declare -A seen=()
unique=()
for package in "${packages[@]}"; do
  [ -n "${seen[$package]:-}" ] && continue
  seen[$package]=1
  unique+=("$package")
done
packages=("${unique[@]}")

if $list_only; then
  echo "${packages[*]}"
  exit 0
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

install="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them as root (this asks for root's password), then run make again:" >&2
  echo "  su -c 'apt-get update && $install'" >&2
  if command -v sudo >/dev/null 2>&1; then
    echo "or, if you may use sudo:" >&2
    echo "  sudo sh -c 'apt-get update && $install'" >&2
  fi
  exit 1
fi

# Whether apt knows a version of every missing package; with empty or stale
# package lists (a new system) it knows none or not all.
all_known() {
  local package candidate
  for package in "${missing[@]}"; do
    candidate=$(apt-cache policy "$package" 2>/dev/null | sed -n 's/^ *Candidate: *//p')
    if [ -z "$candidate" ] || [ "$candidate" = "(none)" ]; then
      return 1
    fi
  done
}

export DEBIAN_FRONTEND=noninteractive
echo "Installing: ${missing[*]}"
if ! all_known; then
  echo "Reading the package lists first (apt-get update)"
  apt-get update -qq
fi
apt-get install -y -q --no-install-recommends "${missing[@]}"
