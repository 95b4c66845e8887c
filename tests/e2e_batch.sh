#!/usr/bin/env bash
# Cutting a folder photo by photo in a real X window: framzo starts on the
# first of five photos of different sizes and shapes, with a capture folder,
# a 13 : 9 frame that keeps its ratio and "auto" in its settings. A click
# on the photo gives it the keyboard, keys lay the frame and move it, and
# five presses of Shift+Return must leave five cuts in the capture folder,
# each holding its own photo's pixels, each turned to its photo, with no
# window opened: the window steps on through the folder and stays on the
# last photo.
#
# usage: e2e_batch.sh /path/to/framzo
# Exit 77 (skipped) only when there is no Xvfb to run it in.
set -uo pipefail

FRAMZO=${1:?usage: e2e_batch.sh /path/to/framzo}
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
Fit=false
Free=false
Width=13
Height=9
AutoTurn=true
SETTINGS

# Every pixel says where it is: red is x mod 256, green y mod 256, blue
# 16 x the photo's number + 4 x (x / 256) + y / 256. The first pixel of a
# cut thus says which photo and which place it was cut from, and lossless
# PNG lets the whole cut be compared with that part of the photo exactly.
make_photo() { # number width height
  local n=$1 w=$2 h=$3
  local bw=$(((w + 255) / 256)) bh=$(((h + 255) / 256))
  convert \( -size 1x256 gradient:black-white -rotate 270 -write mpr:rx +delete -size "${w}x${h}" tile:mpr:rx \) \
    \( -size 1x256 gradient:black-white -write mpr:ry +delete -size "${w}x${h}" tile:mpr:ry \) \
    \( -size "${bw}x${bh}" xc:black -fx "($n*16+i*4+j)/255" -sample "$((bw * 256))x$((bh * 256))!" \
    -crop "${w}x${h}+0+0" +repage \) \
    -colorspace gray -combine -depth 8 "PNG24:$tmp/photos/p$n.png"
}
# The place a cut was taken from, from its first pixel: sets n0, x0 and y0.
origin_of() {
  local px r g b
  px=$(convert "$1" -crop 1x1+0+0 -depth 8 txt:- 2>/dev/null | grep -o 'srgb([0-9,]*)' | tr -dc '0-9,')
  IFS=, read -r r g b <<<"$px"
  [ -n "$b" ] || return 1
  n0=$((b / 16))
  x0=$(((b / 4) % 4 * 256 + r))
  y0=$((b % 4 * 256 + g))
}

sizes=(900x600 600x900 700x700 960x480 800x640)
for n in 1 2 3 4 5; do
  s=${sizes[$((n - 1))]}
  make_photo "$n" "${s%x*}" "${s#*x}" || fail "could not make photo $n"
done
origin_of "$tmp/photos/p2.png" || fail "could not read photo 2"
convert "$tmp/photos/p2.png" -crop 300x100+300+520 +repage "$tmp/probe.png"
origin_of "$tmp/probe.png" && [ "$n0/$x0/$y0" = "2/300/520" ] || fail "the photos do not encode their pixels' places ($n0/$x0/$y0)"

start_framzo "$tmp/photos/p1.png"
wait_for 200 find_window || fail "no Framzo window appeared"
wait_for 100 title_has "Path: $tmp/photos/p1.png" || fail "the first photo is not shown: '$(xdotool getwindowname "$wid")'"
timeout 10 xdotool windowfocus --sync "$wid" || fail "could not focus the Framzo window"

# A click on the photo (outside the untouched frame in its top left corner)
# gives the image the keyboard. Right lays the frame at its first size, the
# largest 13 : 9 that fits; three steps smaller, then 20 right and 10 down.
xdotool mousemove 300 300 click 1 || fail "xdotool could not click"
xdotool key Right minus minus minus shift+Right shift+Right shift+Down || fail "xdotool could not press keys"

shown() { title_has "Path: $tmp/photos/p$1.png "; }
for n in 1 2 3 4 5; do
  xdotool key shift+Return || fail "xdotool could not press Shift+Return"
  next=$((n < 5 ? n + 1 : 5))
  wait_for 100 test -s "$tmp/cuts/p$n.png" || fail "Shift+Return on photo $n wrote nothing"
  wait_for 100 shown "$next" || fail "after the cut of photo $n the window shows '$(xdotool getwindowname "$wid")'"
done

report=""
for n in 1 2 3 4 5; do
  cut="$tmp/cuts/p$n.png"
  read -r cw ch < <(identify -format '%w %h\n' "$cut")
  origin_of "$cut" || fail "could not read cut $n"
  [ "$n0" = "$n" ] || fail "cut $n starts with a pixel of photo $n0"
  convert "$tmp/photos/p$n.png" -crop "${cw}x${ch}+${x0}+${y0}" +repage "$tmp/region.png"
  ae=$(compare -metric AE "$tmp/region.png" "$cut" null: 2>&1)
  [ "$ae" = 0 ] || fail "cut $n (${cw}x${ch} at $x0,$y0) differs from its photo in $ae pixels"
  # Turned to its photo, keeping 13 : 9 to within a pixel; the square
  # photo takes the frame as it came.
  s=${sizes[$((n - 1))]}
  pw=${s%x*} ph=${s#*x}
  if [ "$pw" -gt "$ph" ]; then
    [ "$cw" -gt "$ch" ] && [ $(((cw * 18 + 13) / 26)) = "$ch" ] || fail "cut $n is ${cw}x${ch} on a landscape photo"
  elif [ "$pw" -lt "$ph" ]; then
    [ "$ch" -gt "$cw" ] && [ $(((ch * 18 + 13) / 26)) = "$cw" ] || fail "cut $n is ${cw}x${ch} on a portrait photo"
  fi
  [ "$x0" -gt 0 ] && [ "$y0" -gt 0 ] || fail "cut $n lies at the photo's edge ($x0,$y0): the keys did not move the frame"
  report+=" p$n ${pw}x${ph}: ${cw}x${ch}+$x0+$y0;"
done

# Ten presses of Right move the frame by ten canvas units: ten pixels of the
# last photo, shown at its own size on a canvas 4 units smaller (10 or 11).
before=$x0
for i in 1 2 3 4 5 6 7 8 9 10; do xdotool key Right; done
xdotool key shift+Return
moved() { origin_of "$tmp/cuts/p5.png" && [ "$x0" -ne "$before" ]; }
wait_for 100 moved || fail "ten presses of Right did not move the cut"
[ $((x0 - before)) -ge 10 ] && [ $((x0 - before)) -le 11 ] || fail "ten presses of Right moved the cut by $((x0 - before)) pixels"

# It stays on the last photo, and no cut was opened: a window opened would
# be the active one, its caption in the main window's title. The cut just
# made shows the program has handled all that came before it.
shown 5 || fail "the window left the last photo: '$(xdotool getwindowname "$wid")'"
title_has "$tmp/cuts" && fail "a cut was opened in a window"
files=$(ls "$tmp/cuts" | tr '\n' ' ')
[ "$files" = "p1.png p2.png p3.png p4.png p5.png " ] || fail "the capture folder holds $files"

echo "PASS: five photos, five Shift+Return, five cuts of their photos' pixels, no window opened:$report Right x 10: +$((x0 - before))"
exit 0
