#!/usr/bin/env bash
# Zoom, full screen and fast steps in a real X window, on a 24 MP JPEG whose
# pixels alternate black and white: fitted, its pixels blend to grey;
# Ctrl+1 shows them one to one (neighbouring screen pixels differ all the
# way); Ctrl+0 fits it again; F11 shows it alone on the screen and Esc
# leaves full screen without quitting. Then 20 Page Ups 25 ms apart
# through a folder of photos: no screenshot taken meanwhile shows the
# empty canvas where the photo was.
#
# usage: e2e_zoom.sh /path/to/framzo
# Exit 77 (skipped) only when there is no Xvfb to run it in.
# E2E_SHOTS=folder keeps the screenshots of each step there.
set -uo pipefail

FRAMZO=${1:?usage: e2e_zoom.sh /path/to/framzo}

. "$(dirname "$0")/e2e_lib.sh"

mkdir -p "$tmp/photos"
printf '%s\n' '[AppSettings]' 'PosX=0' 'PosY=0' 'SizeX=1270' 'SizeY=1000' 'Maximized=false' \
  '[ToolSettings]' 'CutBar=false' >"$tmp/config/Ketra/Framzo.conf"
photo="$tmp/photos/a00.jpg"
convert -size 6000x4000 pattern:gray50 -sampling-factor 1x1 -quality 100 "$photo" || fail "could not make the photo"
# The folder stepped through: small photos of one size, each its own colour.
for i in $(seq 1 21); do
  convert -size 1200x800 "xc:rgb($((40 + i * 9)),$((200 - i * 7)),90)" "$tmp/photos/b$(printf %02d "$i").jpg" \
    || fail "could not make the photos"
done

keep() { [ -n "${E2E_SHOTS:-}" ] && cp "$tmp/screen.png" "$E2E_SHOTS/$1.png"; return 0; }
# The mean difference between each screen pixel and its right neighbour in
# a 200 x 200 square in the middle of the screen, 0..1.
contrast() {
  convert "$tmp/screen.png" -gravity center -crop 200x200+0+0 +repage -colorspace gray \
    \( +clone -roll +1+0 \) -compose difference -composite -format '%[fx:mean]' info: 2>/dev/null
}
sharp() { shot && awk -v c="$(contrast)" 'BEGIN { exit !(c > 0.8) }'; }
blended() { shot && awk -v c="$(contrast)" 'BEGIN { exit !(c < 0.1) }'; }

start_framzo "$photo"
wait_for 200 find_window || fail "no Framzo window appeared"
wait_for 150 title_has "Path: $photo Size: 6000x4000" || fail "the photo is not shown: title '$(xdotool getwindowname "$wid")'"
timeout 10 xdotool windowfocus --sync "$wid" >/dev/null 2>&1 || fail "could not focus the Framzo window"

wait_for 100 blended || fail "fitted, the photo's pixels are not blended (contrast $(contrast))"
keep fit
xdotool key ctrl+1
wait_for 100 sharp || fail "Ctrl+1 did not show the photo's pixels one to one (contrast $(contrast))"
keep actual-pixels
xdotool key ctrl+0
wait_for 100 blended || fail "Ctrl+0 did not fit the photo again (contrast $(contrast))"

# Full screen: the photo fills the screen (no menu bar above it), and Esc
# leaves it, and only it.
screen_w=$(xdotool getdisplaygeometry | cut -d' ' -f1)
full() { [ "$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p')" = "$screen_w" ]; }
xdotool key F11
wait_for 100 full || fail "F11 did not show the photo full screen"
shot && keep full-screen
xdotool key Escape
wait_for 100 eval '! full' || fail "Esc did not leave full screen"
kill -0 "$framzo_pid" 2>/dev/null || fail "Esc in full screen quit the program"

# ---- 20 Page Ups without pause ----------------------------------------------
# Page Up goes on to the next name: from a00 through b01..b20.
shots=()
(
  for i in $(seq 1 30); do
    import -window root "$tmp/burst$i.png" 2>/dev/null
  done
) &
shooter=$!
for i in $(seq 1 20); do
  xdotool key Prior
  sleep 0.025
done
wait "$shooter"
wait_for 100 title_has "Path: $tmp/photos/b20.jpg" || fail "20 Page Ups did not reach b20: title '$(xdotool getwindowname "$wid")'"
# The canvas colour (192, 192, 192) in the middle of the screen would be an
# empty canvas.
empty=0
for f in "$tmp"/burst*.png; do
  [ -s "$f" ] || continue
  c=$(convert "$f" -gravity center -crop 40x40+0+0 +repage -format '%[fx:int(255*mean.r)],%[fx:int(255*mean.g)],%[fx:int(255*mean.b)]' info: 2>/dev/null)
  if [ "$c" = "192,192,192" ]; then
    empty=$((empty + 1))
    [ -n "${E2E_SHOTS:-}" ] && cp "$f" "$E2E_SHOTS/empty-$(basename "$f")"
  fi
  shots+=("$c")
done
[ "${#shots[@]}" -ge 5 ] || fail "too few screenshots during the Page Ups (${#shots[@]})"
[ "$empty" -eq 0 ] || fail "$empty of ${#shots[@]} screenshots during the Page Ups show an empty canvas"
echo "PASS: fitted blends, Ctrl+1 one to one, Ctrl+0 fits, F11 and Esc; ${#shots[@]} screenshots in 20 Page Ups, none empty"
