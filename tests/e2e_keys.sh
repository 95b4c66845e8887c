#!/usr/bin/env bash
# Keys that must not slip, in a real X window where the popups grab the
# keyboard: Esc on the open frame-colour list closes only the list, Return
# on it picks a colour without cutting, Esc on an open menu closes only the
# menu; Ctrl+O that hides the Browse dock while a file is selected in it
# leaves the same image window in front. Esc then quits, as nothing was
# edited.
#
# usage: e2e_keys.sh /path/to/framzo
# Exit 77 (skipped) only when there is no Xvfb to run it in.
set -uo pipefail

FRAMZO=${1:?usage: e2e_keys.sh /path/to/framzo}

. "$(dirname "$0")/e2e_lib.sh"

# ---- settings and photos ----------------------------------------------------
# The frame colour is red, so that the colour list can be found on the Cut
# bar by its red icon. No capture folder: a cut would ask for one.
mkdir -p "$tmp/photos"
printf '%s\n' '[AppSettings]' 'PosX=0' 'PosY=0' 'SizeX=1270' 'SizeY=1000' 'Maximized=false' '' \
  '[CutSettings]' 'FrameColor=2' >"$tmp/config/Ketra/Framzo.conf"
# Blue photos: nothing in them is red, green or orange like the icons that
# are looked for. a.jpg is purple instead: its preview in the Browse dock
# is the only purple on the screen (its window is behind c's).
for name in a b c; do
  convert -size 640x480 gradient:'#203060'-'#60a0c0' "$tmp/photos/$name.jpg" || fail "could not make $name.jpg"
done
convert -size 640x480 xc:'#a040a0' "$tmp/photos/a.jpg" || fail "could not make a.jpg"
A="$tmp/photos/a.jpg"
C="$tmp/photos/c.jpg"

# Opened in one go, all three are maximised; the last one, c, is in front
# and its caption is in the main window's title.
start_framzo "$A" "$tmp/photos/b.jpg" "$C"
wait_for 200 find_window || fail "no Framzo window appeared"
wait_for 100 title_has "Path: $C " || fail "c.jpg is not in front: title '$(xdotool getwindowname "$wid")'"
alive() { kill -0 "$framzo_pid" 2>/dev/null; }
focus() { timeout 10 xdotool windowfocus --sync "$wid" >/dev/null 2>&1 || fail "could not focus the Framzo window"; }
BAR_BOTTOM=55 # the tool bars end above this row

# ---- the frame-colour list ----------------------------------------------------
find_list_button() {
  shot || return 1
  local box
  box=$(bbox_in '#ff0000' 0 0 1279 "$BAR_BOTTOM" 2) # the list's 8 x 8 icon, not the red specks of other icons
  [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
  lx=$((BASH_REMATCH[3] + BASH_REMATCH[1] / 2))
  ly=$((BASH_REMATCH[4] + BASH_REMATCH[2] / 2))
}
# The open list shows the blue entry's icon below the bar (no frame or
# photo here is that blue).
list_open() { shot && [ -n "$(bbox_in '#0000ff' 0 "$BAR_BOTTOM" 1279 400 2)" ]; }
list_closed() { shot && [ -z "$(bbox_in '#0000ff' 0 "$BAR_BOTTOM" 1279 400 2)" ]; }

focus
wait_for 30 find_list_button || fail "the frame-colour list (red) is not on the Cut bar"
xdotool mousemove "$lx" "$ly" click 1
wait_for 50 list_open || fail "the frame-colour list did not open"
xdotool key Escape
wait_for 50 list_closed || fail "Esc did not close the frame-colour list"
# The list opens again: the program has handled the Esc, and is still there.
xdotool mousemove "$lx" "$ly" click 1
wait_for 50 list_open || { alive || fail "Esc on the open frame-colour list ended the program"; fail "the frame-colour list did not open again"; }
find_window || fail "Esc on the open frame-colour list closed the main window"
echo "ok: Esc on the open frame-colour list closed only the list"

# Down and Return pick "green" and cut nothing: a cut would ask for the
# capture folder first.
xdotool key Down Return
wait_for 50 list_closed || fail "Return did not close the frame-colour list"
green_chosen() { shot && [ -n "$(bbox_in '#00ff00' 0 0 1279 "$BAR_BOTTOM" 2)" ]; }
wait_for 50 green_chosen || fail "Return did not pick the green frame"

# ---- a menu -------------------------------------------------------------------
# The open File menu is a window of its own, beside the main window.
others() { xdotool search --onlyvisible --pid "$framzo_pid" 2>/dev/null | grep -vx "$wid"; }
menu_open() { [ -n "$(others)" ]; }
menu_closed() { [ -z "$(others)" ]; }
focus
xdotool key alt+f
wait_for 50 menu_open || { alive || fail "Return on the frame-colour list ended the program"; fail "Alt+F did not open the File menu"; }
# The menu is open: the program has handled the Return before, and a cut
# would have asked for its folder then.
[ -z "$(xdotool search --onlyvisible --name 'Choose' 2>/dev/null)" ] || fail "Return on the frame-colour list started a cut"
echo "ok: Return on the frame-colour list picked a colour and cut nothing"
xdotool key Escape
wait_for 50 menu_closed || fail "Esc did not close the File menu"
# The menu bar keeps the keyboard after its menu closed: a second Esc
# leaves it. That the program handled both and is still there shows when
# the Browse dock below comes up.
xdotool key Escape

# ---- hiding the Browse dock ----------------------------------------------------
# Ctrl+O shows the dock with the photos' folder open; a click on the first
# file's row (a.jpg, found by its JPEG icon) selects it and puts the
# keyboard focus into the tree. Ctrl+O again hides the dock.
focus
xdotool key ctrl+o
esc_kept() {
  alive && find_window || fail "Esc on the open File menu, or then on the menu bar, ended the program"
  echo "ok: Esc on the open File menu closed only the menu"
}
find_first_file() {
  shot || return 1
  local box right
  box=$(bbox_in '#d9601a' 0 "$BAR_BOTTOM" 600 1000)
  [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
  # An open folder's icon has an orange edge too; the JPEG icons of the
  # files, a level deeper, are the orange furthest right.
  right=$((BASH_REMATCH[3] + BASH_REMATCH[1] - 1))
  box=$(bbox_in '#d9601a' $((right - 4)) "$BAR_BOTTOM" "$right" 1000)
  [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
  rx=$((right + 21))
  ry=$((BASH_REMATCH[4] + 3))
}
# Found at the same place twice running: the tree has stopped moving as the
# dock took its place.
rx="" ry=""
first_file_settled() {
  local was="$rx,$ry"
  find_first_file && [ "$rx,$ry" = "$was" ]
}
wait_for 50 first_file_settled || { esc_kept; fail "no JPEG files shown in the Browse dock"; }
esc_kept
xdotool mousemove "$rx" "$ry" click 1
# Selected, a.jpg shows its preview in the dock: the program has done what
# selecting does.
previewed() { shot && [ -n "$(bbox_in '#a040a0' 0 "$BAR_BOTTOM" 1279 1000 2)" ]; }
wait_for 50 previewed || fail "selecting a.jpg in the tree showed no preview of it"
title_has "Path: $C " || fail "selecting a file in the tree changed the window in front: '$(xdotool getwindowname "$wid")'"
focus
xdotool key ctrl+o
dock_hidden() { shot && [ -z "$(bbox_in '#d9601a' 0 "$BAR_BOTTOM" 600 1000)" ]; }
wait_for 50 dock_hidden || fail "Ctrl+O did not hide the Browse dock"
# The File menu opens: the program has handled the Ctrl+O and what the
# dock's hiding set off. Esc closes the menu, and a second one leaves the
# menu bar.
xdotool key alt+f
wait_for 50 menu_open || fail "Alt+F did not open the File menu after the dock was hidden"
title_has "Path: $C " || fail "hiding the dock put another window in front: '$(xdotool getwindowname "$wid")'"
echo "ok: hiding the Browse dock left c.jpg in front"
xdotool key Escape
wait_for 50 menu_closed || fail "Esc did not close the File menu"
xdotool key Escape

# ---- Esc quits: nothing was edited ------------------------------------------------
focus
xdotool key Escape
gone() { ! alive; }
wait_for 100 gone || fail "Esc did not end the program"
wait "$framzo_pid"
status=$?
framzo_pid=""
[ "$status" = 0 ] || fail "framzo ended with status $status"
echo "PASS: Esc, Return and Ctrl+O kept to what they are for"
exit 0
