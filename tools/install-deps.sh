#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when some are missing.
# Usage: tools/install-deps.sh [run|test|bench]
#   run: what building and running needs; test: all the test command needs; bench: what the
#   benchmarks in bench/ compare against and measure with (run's packages too).
set -euo pipefail
mode="${1:-test}"

packages=(cmake ninja-build g++ pkg-config libsqlite3-dev zlib1g-dev)
if [ "$mode" = test ]; then
  packages+=(libgtest-dev libbenchmark-dev libre2-dev clang
             g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64
             xvfb xclip e2fsprogs util-linux rsync python3-minimal
             dpkg-dev man-db unzip binutils-mingw-w64-x86-64  # this line: the packages' test
             liblnk-utils  # lnkinfo, the peer reader of the shell links the codec writes
             cups-daemon cups-client cups-filters ghostscript poppler-utils  # a PDF printer
             weston wl-clipboard)  # a Wayland clipboard
fi
if [ "$mode" = bench ]; then
  packages+=(ripgrep bc time rsync sqlite3)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
