#!/usr/bin/env bash
# make deb: builds the program as Debian builds its packages (its compiler and
# linker flags, hardening included) in a build folder of its own, without the
# tests, and makes the Debian package there with CPack.
#
#   bash tools/make-deb.sh [BUILD]      (default build-deb)
set -euo pipefail

BUILD="${1:-build-deb}"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$HERE/.." && pwd)"

# dpkg-shlibdeps (dpkg-dev) works out the dependencies; CPack finds the
# binaries to hand it with file.
FRAMZO_EXTRA_PKGS="dpkg-dev file" bash "$HERE/install-deps.sh"

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  # The flags count only when the build folder is first configured.
  export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
  CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
  LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
  export CXXFLAGS LDFLAGS
fi
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DFRAMZO_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc 2>/dev/null || echo 2)"
cd "$BUILD"
cpack -G DEB
