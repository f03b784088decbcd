#!/usr/bin/env bash
# Builds the x86_64 programs and prints the benchmark's ratios (a few minutes).
# usage: tools/benchmark.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
./build.sh x86_64 >/dev/null
source tests/wine-env.sh
trap vantelo_wine_stop EXIT
vantelo_wine_start always
/usr/bin/python3 tools/benchmark.py build/x86_64/bin "${1:-5}"
