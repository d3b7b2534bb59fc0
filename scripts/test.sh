#!/usr/bin/env bash
# Runs every test headless.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -d build ] || ./scripts/setup.sh
cmake --build build -j2
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2 --timeout 300
