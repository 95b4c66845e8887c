#!/usr/bin/env bash
# The newer formats in a real X window: framzo starts on a JPEG in a folder
# that holds one photo of each format it reads through the field's own
# libraries (an HEIC from heif-enc, an HEIC turned by its rotation box, an
# AVIF and a JPEG XL turned by their own orientation, a WebP, a DNG stored
# on its side with its orientation and a preview), and Page Up must show each
# in turn: the caption names it with its upright size, and on screen its red
# quadrant lies left of its green one and above its blue one.
#
# usage: e2e_formats.sh /path/to/framzo /path/to/framzo_samples
# Exit 77 (skipped) when there is no Xvfb, or an encoder is not installed.
# E2E_SHOTS=folder keeps a screenshot of each photo shown there.
set -uo pipefail

FRAMZO=${1:?usage: e2e_formats.sh /path/to/framzo /path/to/framzo_samples}
SAMPLES=${2:?usage: e2e_formats.sh /path/to/framzo /path/to/framzo_samples}
# shellcheck source=tests/e2e_lib.sh
. "$(dirname "$0")/e2e_lib.sh"

mkdir -p "$tmp/photos"
if ! "$SAMPLES" "$tmp/photos" 960x640 >"$tmp/samples.log" 2>&1; then
  if grep -q "is not installed" "$tmp/samples.log"; then
    echo "SKIP: $(grep -m1 'is not installed' "$tmp/samples.log")"
    exit 77
  fi
  fail "could not make the samples: $(tail -n 3 "$tmp/samples.log")"
fi

# Without the Cut bar no frame is shown, and nothing of the photo dimmed
# around one: its colours are on the screen as they are.
cat >"$tmp/config/Ketra/Framzo.conf" <<SETTINGS
[AppSettings]
PosX=0
PosY=0
SizeX=1270
SizeY=1000
Maximized=false

[ToolSettings]
CutBar=false
SETTINGS

# The middle of a box "WxH+X+Y" into cx and cy; false for no box or a
# small one (a speck of the colour elsewhere).
middle_of() {
  local box=$1 wh rest w h x y
  [ -n "$box" ] || return 1
  wh=${box%%+*} rest=${box#*+}
  w=${wh%x*} h=${wh#*x} x=${rest%%+*} y=${rest#*+}
  [ "$w" -ge 60 ] && [ "$h" -ge 40 ] || return 1
  cx=$((x + w / 2)) cy=$((y + h / 2))
}
# Upright on screen: red left of green and above blue (below the menus).
upright() {
  shot || return 1
  middle_of "$(bbox_of 'rgb(200,40,40)' 80)" || return 1
  local rx=$cx ry=$cy
  middle_of "$(bbox_of 'rgb(40,170,60)' 80)" || return 1
  local gx=$cx gy=$cy
  middle_of "$(bbox_of 'rgb(40,70,200)' 80)" || return 1
  local bx=$cx by=$cy
  [ "$rx" -lt "$gx" ] && [ "$ry" -lt "$by" ] && [ $((ry - gy)) -lt 20 ] && [ $((gy - ry)) -lt 20 ] \
    && [ $((rx - bx)) -lt 20 ] && [ $((bx - rx)) -lt 20 ]
}

start_framzo "$tmp/photos/a.jpg"
wait_for 200 find_window || fail "no Framzo window appeared"
wait_for 100 title_has "Path: $tmp/photos/a.jpg Size: 960x640 pixel" \
  || fail "the JPEG is not shown: '$(xdotool getwindowname "$wid")'"
wait_for 100 upright || fail "the JPEG is not shown upright"
timeout 10 xdotool windowfocus --sync "$wid" || fail "could not focus the Framzo window"

report=""
for name in b.HEIC c.heic d.avif e.jxl f.webp g.DNG; do
  xdotool key Prior || fail "xdotool could not press Page Up"
  wait_for 300 title_has "Path: $tmp/photos/$name Size: 960x640 pixel" \
    || fail "Page Up did not show $name: '$(xdotool getwindowname "$wid")'"
  wait_for 300 upright || fail "$name is not shown upright"
  [ -n "${E2E_SHOTS:-}" ] && cp "$tmp/screen.png" "$E2E_SHOTS/$name.png"
  report+=" $name"
done
echo "ok: Page Up showed each upright:$report"
