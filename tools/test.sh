#!/usr/bin/env bash
# Installs what is missing, builds everything from scratch and runs every test:
# the Linux suite, the same suite under AddressSanitizer + UndefinedBehaviorSanitizer,
# and the Windows build (cross-compiled with mingw-w64) under Wine; then makes the packages of
# both systems and tries them.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
tools/install-deps.sh test

# The top-level folders include one another only downwards (see docs/architecture.md).
python3 tools/check-layers.py

root=build/test
rm -rf "$root"
jobs=$(nproc)

stage() {  # stage NAME CMAKE-ARGS...
  local name=$1; shift
  local t0=$SECONDS
  echo "=== $name: configure and build"
  cmake -S . -B "$root/$name" -G Ninja -Wno-dev "$@" >"$root.$name.configure.log" 2>&1 ||
    { cat "$root.$name.configure.log"; return 1; }
  cmake --build "$root/$name" -j "$jobs"
  echo "=== $name: tests"
  ctest --test-dir "$root/$name" --output-on-failure -j "$jobs"
  echo "=== $name: passed in $((SECONDS - t0)) s"
}

# The real services of the printer and clipboard tests, in a folder of their own (see
# tools/test-services.sh): a CUPS server whose default destination is a PDF printer, and a
# Wayland compositor. Under /tmp, where CUPS' filters (run as the user lp) can reach it. Every
# stage sees them: CUPS_SERVER names the server to the Linux programs and to Wine.
services=$(mktemp -d /tmp/tessaline-test-services.XXXXXX)
xvfb=
cleanup() {
  if [ -n "${TSL_WINEPREFIX:-}" ]; then
    WINEPREFIX="$TSL_WINEPREFIX" wineserver -k 2>/dev/null || true
  fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  tools/test-services.sh stop "$services"
  rm -rf "$services"
}
trap cleanup EXIT
tools/test-services.sh start "$services"
# shellcheck source=/dev/null
source "$services/env"

mkdir -p build
stage linux -DCMAKE_BUILD_TYPE=Release -DTSL_BUILD_BENCH=ON  # benchmarks are built, not run
stage sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 -DTSL_SANITIZE=ON

# One Wine prefix for the whole run, with its server kept alive between test programs.
export TSL_WINEPREFIX="$PWD/$root/wineprefix"
WINEPREFIX="$TSL_WINEPREFIX" WINEDEBUG=-all wineboot -i >/dev/null 2>&1 || true
WINEPREFIX="$TSL_WINEPREFIX" wineserver -p 60 || true
# A virtual display for the Windows suite, so that its windows are made for real and its
# dialog tests click them (every question has scripted answers: nothing waits for a user).
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$root/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$root/display" ] && break; sleep 0.1; done
if [ -s "$root/display" ]; then export TSL_WINE_DISPLAY=":$(cat "$root/display")"; fi
stage windows -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake

# The Debian package and the Windows zip, made from the Linux and Windows builds and tried as a
# user would (see tools/test-packages.sh).
echo "=== packages: make and try"
tools/test-packages.sh "$root/linux" "$root/windows"

echo "=== all tests passed in $((SECONDS - start)) s"
