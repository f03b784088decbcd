#!/usr/bin/env bash
# Sets up the machine, builds, and runs the whole chain on a built-in sample
# installation under Wine: the loader installs a staged update and starts the
# launcher, the application fails, and the reporter sends its crash report to a
# receiving server on 127.0.0.1. Headless under Xvfb when there is no display.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
./build.sh
source tests/wine-env.sh
trap vantelo_wine_stop EXIT
vantelo_wine_start auto
/usr/bin/python3 tools/main_job.py build/x86_64/bin docs/screenshots
