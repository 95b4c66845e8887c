#!/usr/bin/env bash
# Cutting a folder to a print size in a real X window: ten photos of mixed
# sizes, shapes and resolutions, a 13 x 9 cm frame with "auto", and the
# capture folder in the settings. A click gives the photo the keyboard, C
# lays the frame in its middle, and then Shift+Return alone, once per photo,
# must cut the middle of every photo at its own resolution, and pass over
# the one photo too small for 13 x 9 cm there.
#
# usage: e2e_cutfolder.sh /path/to/framzo
# Exit 77 (skipped) only when there is no Xvfb to run it in.
set -uo pipefail

FRAMZO=${1:?usage: e2e_cutfolder.sh /path/to/framzo}
# shellcheck source=tests/e2e_lib.sh
. "$(dirname "$0")/e2e_lib.sh"

mkdir -p "$tmp/photos" "$tmp/cuts"
cat >"$tmp/config/Ketra/Framzo.conf" <<SETTINGS
[AppSettings]
CapturePath=$tmp/cuts
PosX=0
PosY=0
SizeX=1270
SizeY=1000
Maximized=false
[CutSettings]
Fit=true
Free=false
Width=13
Height=9
AutoTurn=true
SETTINGS

# Every pixel says where it is (red x mod 256, green y mod 256, blue 16 x the
# photo's number + 4 x (x / 256) + y / 256): a cut's first pixel tells the
# place it was cut from. The resolution goes into the PNG's pHYs chunk.
make_photo() { # number width height dpi
  local n=$1 w=$2 h=$3 dpi=$4
  local bw=$(((w + 255) / 256)) bh=$(((h + 255) / 256))
  convert \( -size 1x256 gradient:black-white -rotate 270 -write mpr:rx +delete -size "${w}x${h}" tile:mpr:rx \) \
    \( -size 1x256 gradient:black-white -write mpr:ry +delete -size "${w}x${h}" tile:mpr:ry \) \
    \( -size "${bw}x${bh}" xc:black -fx "($n*16+i*4+j)/255" -sample "$((bw * 256))x$((bh * 256))!" \
    -crop "${w}x${h}+0+0" +repage \) \
    -colorspace gray -combine -depth 8 -units PixelsPerInch -density "$dpi" "PNG24:$tmp/photos/p$n.png"
}
origin_of() {
  local px r g b
  px=$(convert "$1" -crop 1x1+0+0 -depth 8 txt:- 2>/dev/null | grep -o 'srgb([0-9,]*)' | tr -dc '0-9,')
  IFS=, read -r r g b <<<"$px"
  [ -n "$b" ] || return 1
  n0=$((b / 16))
  x0=$(((b / 4) % 4 * 256 + r))
  y0=$((b % 4 * 256 + g))
}
# Centimetres in pixels at dpi, rounded: cm / 2.54 x dpi.
cm_pixels() { echo $(((($1 * $2 * 100) + 127) / 254)); }

# width x height @ dpi; photo 4 (600 x 400 at 150 dpi) is smaller than
# 13 x 9 cm there (768 x 531); photo 5 is square and keeps the frame as it lies.
photos=(1000x700@150 700x1000@150 1024x768@200 900x600@100 600x400@150 800x800@72 1000x1000@96 640x960@120
  1020x680@180 800x600@120)
for n in 0 1 2 3 4 5 6 7 8 9; do
  p=${photos[$n]}
  s=${p%@*}
  make_photo "$n" "${s%x*}" "${s#*x}" "${p#*@}" || fail "could not make photo $n"
done

start_framzo "$tmp/photos/p0.png"
wait_for 200 find_window || fail "no Framzo window appeared"
wait_for 100 title_has "Path: $tmp/photos/p0.png" || fail "the first photo is not shown: '$(xdotool getwindowname "$wid")'"
timeout 10 xdotool windowfocus --sync "$wid" || fail "could not focus the Framzo window"

# The click gives the photo the keyboard; C lays the frame in the middle.
xdotool mousemove 400 400 click 1 key c || fail "xdotool could not click or press C"

shown() { title_has "Path: $tmp/photos/p$1.png "; }
presses=1
for n in 0 1 2 3 4 5 6 7 8 9; do
  xdotool key shift+Return || fail "xdotool could not press Shift+Return"
  presses=$((presses + 1))
  if [ "$n" -lt 9 ]; then
    wait_for 150 shown $((n + 1)) || { shot; fail "after Shift+Return on photo $n the window shows '$(xdotool getwindowname "$wid")'"; }
  else
    wait_for 150 test -s "$tmp/cuts/p9.png" || fail "Shift+Return on the last photo wrote nothing"
  fi
  if [ "$n" = 4 ]; then
    # The notice of the photo passed over, for a look.
    shot && convert "$tmp/screen.png" -crop 1270x40+0+955 +repage "$tmp/notice.png"
    [ -n "${E2E_SHOTS:-}" ] && cp "$tmp/notice.png" "$E2E_SHOTS/skipped-notice.png"
  fi
done
[ -n "${E2E_SHOTS:-}" ] && shot && cp "$tmp/screen.png" "$E2E_SHOTS/cutfolder-end.png"

report=""
for n in 0 1 2 3 4 5 6 7 8 9; do
  p=${photos[$n]}
  s=${p%@*}
  pw=${s%x*} ph=${s#*x} dpi=${p#*@}
  cut="$tmp/cuts/p$n.png"
  if [ "$n" = 4 ]; then
    [ -e "$cut" ] && fail "photo 4, too small for 13 x 9 cm, was cut"
    report+=" p4 skipped;"
    continue
  fi
  [ -s "$cut" ] || fail "photo $n was not cut"
  read -r cw ch < <(identify -format '%w %h\n' "$cut")
  # 13 x 9 cm at the photo's own resolution, turned to the photo.
  long=$(cm_pixels 13 "$dpi") short=$(cm_pixels 9 "$dpi")
  if [ "$ph" -gt "$pw" ]; then ew=$short eh=$long; else ew=$long eh=$short; fi
  [ "$cw" = "$ew" ] && [ "$ch" = "$eh" ] || fail "cut $n is ${cw}x${ch}, 13 x 9 cm at $dpi dpi is ${ew}x${eh}"
  origin_of "$cut" || fail "could not read cut $n"
  [ "$n0" = "$n" ] || fail "cut $n starts with a pixel of photo $n0"
  # The middle of its photo, to the pixel.
  dx=$((2 * x0 - (pw - cw))) dy=$((2 * y0 - (ph - ch)))
  [ "${dx#-}" -le 2 ] && [ "${dy#-}" -le 2 ] || fail "cut $n (${cw}x${ch}+$x0+$y0) is not the middle of its ${pw}x${ph} photo"
  convert "$tmp/photos/p$n.png" -crop "${cw}x${ch}+${x0}+${y0}" +repage "$tmp/region.png"
  ae=$(compare -metric AE "$tmp/region.png" "$cut" null: 2>&1)
  [ "$ae" = 0 ] || fail "cut $n differs from its photo's middle in $ae pixels"
  report+=" p$n ${pw}x${ph}@$dpi: ${cw}x${ch}+$x0+$y0;"
done
files=$(ls "$tmp/cuts" | wc -l)
[ "$files" = 9 ] || fail "the capture folder holds $files files"

echo "PASS: ten photos, $presses key presses after the click (C once, Shift+Return per photo), nine middles cut, one passed over:$report"
exit 0
