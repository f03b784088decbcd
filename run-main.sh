#!/usr/bin/env bash
# Sets up the machine, builds, and runs the launcher on a sample installation under Wine.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
./build.sh
source tests/wine-env.sh
trap vantelo_wine_stop EXIT
vantelo_wine_start auto
sample=$(mktemp -d)
trap 'vantelo_wine_stop; rm -rf "$sample"' EXIT
cp build/x86_64/bin/vantelo.exe build/x86_64/bin/vantelo.dll "$sample/"
echo "sample installation: $sample"
VANTELO_APP_SECONDS=3 "$WINE" "$sample/vantelo.exe"
echo "the launcher started the application and it ended"
