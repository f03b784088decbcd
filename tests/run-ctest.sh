#!/usr/bin/env bash
# Runs ctest for an already built x86_64 build folder under Wine, with a prefix,
# wineserver and Xvfb of that build's own.
# usage: tests/run-ctest.sh BUILD_DIR [ctest arguments...]
set -euo pipefail
build=$(cd "$1" && pwd)
shift
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
source "$(dirname "$0")/wine-env.sh"
trap vantelo_wine_stop EXIT
vantelo_wine_start always
cd "$build"
ctest --output-on-failure -j2 --timeout 600 "$@"
