#!/usr/bin/env bash
# make bench: installs the command-line programs Framzo is compared with
# (djpeg/cjpeg/jpegtran from libjpeg-turbo, netpbm's pamscale, vips, llgal,
# heif-convert from libheif, dcraw_emu from LibRaw) and the viewers it is
# timed against on an X screen (gThumb, geeqie; with Xvfb and the X test
# library the watcher needs), builds the benchmark program (not part of the
# normal build or of the tests) and runs it. The test photos are made once
# into BUILD/bench-data and reused by later runs.
#
#   bash tools/bench.sh [BUILD] [benchmark options]
#   options: --runs N (runs per case, default 5), --only CASE[,CASE...]
#   FRAMZO_BENCH_BEFORE=/path/to/framzo adds an earlier build to the screen
#   case, for a before and after in one run.
set -euo pipefail

BUILD="${1:-build}"
shift || true
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$HERE/.." && pwd)"

FRAMZO_EXTRA_PKGS="libjpeg-turbo-progs libvips-tools netpbm llgal gthumb geeqie libxtst-dev" bash "$HERE/install-deps.sh"
for tool in djpeg cjpeg jpegtran vips pamscale llgal heif-enc heif-convert dcraw_emu gthumb geeqie Xvfb; do
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
cmake --build "$BUILD" --target framzo_bench framzo framzo_screenwatch -j "$(nproc 2>/dev/null || echo 2)"

# The X screen the viewers are timed on, ended with the benchmark.
display=""
for n in $(seq 90 120); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "bench: no free X display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done
export FRAMZO_BENCH_X="$display"

mkdir -p "$BUILD/bench-data"
cd "$BUILD"
export QT_QPA_PLATFORM=offscreen
./framzo_bench --data "$PWD/bench-data" "$@"
