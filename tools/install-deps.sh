#!/usr/bin/env bash
# Installs the Debian packages Framzo needs to build, test and be checked in a
# real window. Only what is missing is installed, so a second run is quick.
set -euo pipefail

PKGS=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-image-formats-plugins
  libgl-dev
  libexiv2-dev libturbojpeg0-dev
  xvfb xauth xdotool imagemagick x11-utils
  desktop-file-utils
)
if [ "${FRAMZO_EXTRA_PKGS:-}" != "" ]; then
  # shellcheck disable=SC2206
  PKGS+=(${FRAMZO_EXTRA_PKGS})
fi

missing=()
for p in "${PKGS[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "framzo: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
