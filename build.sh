#!/usr/bin/env bash
# Builds both targets: build/i686 (the shipping 32-bit programs) and
# build/x86_64 (the same sources, run by the tests under Wine).
# usage: build.sh [i686|x86_64 ...]
set -euo pipefail
cd "$(dirname "$0")"
targets=${*:-i686 x86_64}
for preset in $targets; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
done
