#!/bin/bash
# Builds and runs the folder tree timing: tools/bench_browse.sh [build dir]
set -euo pipefail
build=${1:-build}
cmake --build "$build" --target bench_browse >/dev/null
QT_QPA_PLATFORM=offscreen "$build/tests/bench_browse"
