#!/usr/bin/env bash
# Sets up the machine, builds both targets and runs every test under Wine.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
./build.sh
exec tests/run-ctest.sh build/x86_64 "$@"
