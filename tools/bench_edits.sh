#!/bin/bash
# Times invert and colour adjustment on a 24-megapixel image against
# QImage::invertPixels in the same run, and the same edits in an image
# window. Usage: tools/bench_edits.sh [build folder]
set -euo pipefail
build="${1:-build}"
FRAMZO_BENCH=1 QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$build/tests/tst_edits" benchmark 2>&1 | grep -E 'QINFO|FAIL'
