#!/usr/bin/env bash
# Installs the Debian packages a make target needs, when any is missing.
# Usage: scripts/install-deps.sh GROUP...   (groups: build, bench, fuzz, browser)
# Not root: prints the exact command to run and fails.
set -euo pipefail

packages=()
for group in "$@"; do
  case "$group" in
    build) packages+=(g++ cmake make libdb5.3-dev db5.3-util libgtest-dev libcli11-dev pkgconf libcpp-httplib-dev) ;;
    bench) packages+=(libbenchmark-dev time gnuplot-nox) ;;
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    browser) packages+=(chromium) ;;  # the browser test of catalogo servi
    *) echo "install-deps: unknown group '$group'" >&2; exit 2 ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Install them as root, then run make again:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! apt-get install -y --no-install-recommends "${missing[@]}"; then
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
