#!/usr/bin/env bash
# The whole capture in a real X window: framzo starts on a photo with a
# capture folder already in its settings, the frame is dragged with the
# mouse, Return cuts, and the file that lands in the capture folder must
# have the size the frame arithmetic gives, the pixels of that region of
# the photo, and be open in a second image window.
#
# usage: e2e_capture.sh /path/to/framzo
# Exit 77 (skipped) only when there is no Xvfb to run it in.
set -uo pipefail

FRAMZO=${1:?usage: e2e_capture.sh /path/to/framzo}

. "$(dirname "$0")/e2e_lib.sh"

# ---- settings, photo, capture folder ----------------------------------------
mkdir -p "$tmp/photos" "$tmp/cuts"
cat >"$tmp/config/Ketra/Framzo.conf" <<EOF
[AppSettings]
CapturePath=$tmp/cuts
PosX=0
PosY=0
SizeX=1270
SizeY=1000
Maximized=false
EOF

# 960 x 640 fits the workspace, so the canvas is laid out at the photo's own
# size, 4 units smaller: the cut is scaled by W / CW = 960 / 956. The
# window opens maximised, and the canvas is fitted into it: on the screen
# one canvas unit is U pixels, found below. Magenta marks the photo's top
# left corner and cyan its bottom right, so that the canvas can be found
# on the screen; nothing in it is blue like the title bar of the active
# image window, which is found the same way.
W=960
H=640
photo="$tmp/photos/photo.jpg"
convert -size ${W}x${H} gradient:'#a04020'-'#f0e080' \
  \( -size ${W}x${H} pattern:checkerboard -evaluate multiply 0.5 \) -compose plus -composite \
  -fill '#ff00ff' -draw 'rectangle 0,0 99,99' -fill '#00ffff' -draw "rectangle $((W - 100)),$((H - 100)) $((W - 1)),$((H - 1))" \
  -quality 92 "$photo" || fail "could not make the photo"

# ---- start framzo and find its window ---------------------------------------
start_framzo "$photo"

wait_for 200 find_window || fail "no Framzo window appeared"
wait_for 100 title_has "Path: $photo" || fail "the photo is not shown: title '$(xdotool getwindowname "$wid")'"

# The photo on the screen, from its two coloured corners, which lie outside
# the small frame it opens with and so are dimmed (to 145 of 255). Their
# outer edges are the photo's own, sharp whatever the scaling does inside.
# Eroding each colour's mask by 5 pixels drops small specks of the same
# colour in icons; the edges are then 5 pixels further out.
shown=""
find_canvas() {
  shot || return 1
  local m c
  m=$(bbox_of '#910091')
  c=$(bbox_of '#009191')
  [[ $m =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
  ox=$((BASH_REMATCH[3] - 5))
  oy=$((BASH_REMATCH[4] - 5))
  [[ $c =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
  shown_w=$((BASH_REMATCH[1] + BASH_REMATCH[3] + 5 - ox))
  shown_h=$((BASH_REMATCH[2] + BASH_REMATCH[4] + 5 - oy))
  shown="${shown_w}x${shown_h} at +$ox+$oy"
  # k screen pixels per image pixel. Fitted: larger than its own size, in
  # its own proportions.
  k=$(awk -v w="$shown_w" -v W=$W 'BEGIN { printf "%.6f", w / W }')
  [ "$shown_w" -ge "$W" ] && [ $((shown_w * H - shown_h * W)) -le $((2 * W)) ] \
    && [ $((shown_h * W - shown_w * H)) -le $((2 * W)) ]
}
wait_for 30 find_canvas || fail "the photo is not fitted to its window (found '$shown')"
CW=$((W - 4))
CH=$((H - 4))
# The screen point of the middle of canvas unit (x, y): the frame reads the
# same unit back from it. One unit is u = k W / CW screen pixels.
at() { awk -v k="$k" -v W=$W -v cw=$CW -v ox="$ox" -v oy="$oy" -v x="$1" -v y="$2" \
  'BEGIN { u = k * W / cw; printf "%d %d\n", ox + (x + 0.5) * u + 0.5, oy + (y + 0.5) * u + 0.5 }'; }

# ---- drag the frame ----------------------------------------------------------
# Handle of the untouched frame (0, 0, 32 x 32) at (24..32, 24..32): pull it
# to (400, 300). The frame is free in height by default, so it becomes
# 400 x 300 at (0, 0).
# shellcheck disable=SC2046
xdotool mousemove $(at 28 28) mousedown 1 mousemove $(at 400 300) mouseup 1 || fail "xdotool could not drag"
# Then move it by (150, 80) by grabbing it inside.
# shellcheck disable=SC2046
xdotool mousemove $(at 100 100) mousedown 1 mousemove $(at 250 180) mouseup 1 || fail "xdotool could not drag"
fx=150 fy=80 fw=400 fh=300

# The frame on the screen, from its black line (nothing in the photo is
# black; the line's light underlay and the dimmed photo are not): the
# handle press and both drags landed where the frame arithmetic expects
# them when it is fw x fh at (fx, fy) of the canvas, within the pixel a
# scaled unit may round to. (bbox_in finds colours on black: here what is
# not black turns black, the lines white.)
frame=""
frame_placed() {
  shot || return 1
  # The photo less a pixel all round: the window's sunken border next to it
  # is dark too.
  frame=$(convert "$tmp/screen.png" -crop "$((shown_w - 2))x$((shown_w * H / W - 2))+$((ox + 1))+$((oy + 1))" +repage \
    -fuzz 8% -fill white +opaque black -negate -format '%@' info: 2>/dev/null)
  [[ $frame =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
  awk -v sw="$shown_w" -v cw=$CW -v w="${BASH_REMATCH[1]}" -v h="${BASH_REMATCH[2]}" -v x="${BASH_REMATCH[3]}" \
    -v y="${BASH_REMATCH[4]}" -v fx=$fx -v fy=$fy -v fw=$fw -v fh=$fh 'function off(a, b) { return a - b > 2 || b - a > 2 }
    BEGIN { u = sw / cw; exit off(x + 1, fx * u) || off(y + 1, fy * u) || off(w, fw * u) || off(h, fh * u) }'
}
wait_for 50 frame_placed || fail "the frame is not ${fw}x${fh} at canvas ($fx, $fy) after the drags (found '$frame' on the screen)"

# ---- capture -----------------------------------------------------------------
# No window manager: keys go to the focused window only.
timeout 10 xdotool windowfocus --sync "$wid" || fail "could not focus the Framzo window"
xdotool key Return || fail "xdotool could not press Return"
out="$tmp/cuts/photo.jpg"
written() { [ -s "$out" ] && identify "$out" >/dev/null 2>&1; }
wait_for 100 written || fail "no capture was written to $out"

# The frame in image pixels: factor W / CW, truncated.
read -r ex ey ew eh < <(awk -v W=$W -v H=$H -v CW=$CW -v CH=$CH -v fx=$fx -v fy=$fy -v fw=$fw -v fh=$fh \
  'BEGIN { printf "%d %d %d %d\n", int(W / CW * fx), int(H / CH * fy), int(W / CW * fw), int(H / CH * fh) }')
size=$(identify -format '%wx%h' "$out")
[ "$size" = "${ew}x${eh}" ] || fail "capture is $size, expected ${ew}x${eh}"
[ "$(identify -format '%m' "$out")" = "JPEG" ] || fail "capture is not a JPEG like its source"

convert "$photo" -crop "${ew}x${eh}+${ex}+${ey}" +repage "$tmp/region.png"
# Normalised root mean square error; JPEG re-encoding leaves a little.
rmse=$(compare -metric RMSE "$tmp/region.png" "$out" null: 2>&1 | sed -n 's/.*(\([0-9.e-]*\)).*/\1/p')
[ -n "$rmse" ] || fail "could not compare the capture with the photo"
awk -v r="$rmse" 'BEGIN { exit !(r < 0.02) }' || fail "capture differs from the photo's region (RMSE $rmse)"
# The same comparison one pixel off must be clearly worse, or the check
# above would not notice a shifted cut.
convert "$photo" -crop "${ew}x${eh}+$((ex + 3))+${ey}" +repage "$tmp/shifted.png"
shifted=$(compare -metric RMSE "$tmp/shifted.png" "$out" null: 2>&1 | sed -n 's/.*(\([0-9.e-]*\)).*/\1/p')
awk -v r="$rmse" -v s="$shifted" 'BEGIN { exit !(s > 2 * r) }' || fail "the pixel check cannot tell a shifted cut (RMSE $rmse vs $shifted)"

# ---- the capture opened in a second image window -----------------------------
# The new window is the active one, its title bar drawn in the highlight
# blue inside the workspace (below the bars, whose icons are left out); a
# double click on it maximises it, and a maximised image window's caption
# ("Path: ...") shows in the main window's title.
maximise_new_window() {
  shot || return 1
  local b
  b=$(bbox_of '#3293d0' 60) # below the tool bar, whose arrows are blue too
  [[ $b =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
  xdotool mousemove $((BASH_REMATCH[3] + BASH_REMATCH[1] / 2)) $((BASH_REMATCH[4] + BASH_REMATCH[2] / 2)) \
    click --repeat 2 --delay 60 1
}
wait_for 30 maximise_new_window || fail "no active image window title bar found on the screen"
wait_for 100 title_has "Path: $out" || fail "the capture did not open: title '$(xdotool getwindowname "$wid")'"

echo "PASS: cut ${ew}x${eh}+${ex}+${ey} of ${W}x${H} written and opened (RMSE $rmse)"
exit 0
