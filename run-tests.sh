#!/usr/bin/env bash
# Sets up the machine, builds both targets and runs every test under Wine.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
./build.sh
source tests/wine-env.sh
trap vantelo_wine_stop EXIT
vantelo_wine_start always
cd build/x86_64
ctest --output-on-failure -j2 --timeout 600 "$@"
