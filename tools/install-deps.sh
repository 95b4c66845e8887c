#!/usr/bin/env bash
# Installs the Debian packages Framzo needs to build, test and be checked in a
# real window. Only what is missing is installed, so a second run is quick.
set -euo pipefail

PKGS=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-image-formats-plugins
  libgl-dev
  libexiv2-dev libturbojpeg0-dev libjpeg62-turbo-dev
  libheif-dev libjxl-dev libraw-dev liblcms2-dev libxcb1-dev
  xvfb xauth xdotool imagemagick x11-utils
  desktop-file-utils
  # For the tests only: the field's own encoders make the test photos of the
  # newer formats, exiv2 and exiftool read back what we write, and a headless
  # browser checks the gallery pages.
  libheif-examples libavif-bin libjxl-tools webp libraw-bin exiv2 libimage-exiftool-perl
  libjpeg-turbo-progs chromium
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
# Another install running beside this one (a second build) holds the lock:
# wait for it rather than fail.
LOCK=(-o DPkg::Lock::Timeout=900)
$SUDO apt-get "${LOCK[@]}" update -qq
$SUDO apt-get "${LOCK[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
