#!/usr/bin/env bash
# Installs what is missing, builds TslRun for Linux and runs it on the examples.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh run
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=Release -DTSL_BUILD_TESTS=OFF >/dev/null
cmake --build build/run -j "$(nproc)" --target TslRun >build/run.log 2>&1 || { cat build/run.log; exit 1; }
examples/run.sh build/run/TslRun
