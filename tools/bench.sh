#!/usr/bin/env bash
# make bench: installs the command-line programs Framzo is compared with
# (djpeg/cjpeg/jpegtran from libjpeg-turbo, netpbm's pamscale, vips, llgal),
# builds the benchmark program (not part of the normal build or of the
# tests) and runs it. The test photos are made once into BUILD/bench-data and
# reused by later runs.
#
#   bash tools/bench.sh [BUILD] [benchmark options]
#   options: --runs N (runs per case, default 5), --only CASE[,CASE...]
set -euo pipefail

BUILD="${1:-build}"
shift || true
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$HERE/.." && pwd)"

FRAMZO_EXTRA_PKGS="libjpeg-turbo-progs libvips-tools netpbm llgal" bash "$HERE/install-deps.sh"
for tool in djpeg cjpeg jpegtran vips pamscale llgal; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing" >&2; exit 1; }
done

# An optimised build: the given one when it is (Release or RelWithDebInfo,
# the default), else a Release build of its own beside it. Timings of a debug
# build say nothing.
type="$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$BUILD/CMakeCache.txt" 2>/dev/null || true)"
case "$type" in
  Release|RelWithDebInfo) ;;
  *)
    BUILD="$BUILD-release"
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
    ;;
esac
cmake --build "$BUILD" --target framzo_bench -j "$(nproc 2>/dev/null || echo 2)"

mkdir -p "$BUILD/bench-data"
cd "$BUILD"
export QT_QPA_PLATFORM=offscreen
exec ./framzo_bench --data "$PWD/bench-data" "$@"
