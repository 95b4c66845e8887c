#!/usr/bin/env bash
# Undo and Redo in a real X window: Ctrl+Right turns the photo, Ctrl+Z
# shows it as before, Ctrl+Shift+Z and Ctrl+Y turn it again; once every
# edit is undone, Esc quits at once, with no question about unsaved edits.
#
# usage: e2e_undo.sh /path/to/framzo
# Exit 77 (skipped) only when there is no Xvfb to run it in.
set -uo pipefail

FRAMZO=${1:?usage: e2e_undo.sh /path/to/framzo}

. "$(dirname "$0")/e2e_lib.sh"

mkdir -p "$tmp/photos"
printf '%s\n' '[AppSettings]' 'PosX=0' 'PosY=0' 'SizeX=1270' 'SizeY=1000' 'Maximized=false' \
  >"$tmp/config/Ketra/Framzo.conf"
photo="$tmp/photos/wide.png"
convert -size 640x480 gradient:'#203060'-'#60a0c0' "$photo" || fail "could not make the photo"

start_framzo "$photo"
wait_for 200 find_window || fail "no Framzo window appeared"
# The window is maximised: its caption, with the photo's size, is in the
# main window's title.
wide() { title_has "Path: $photo Size: 640x480 pixel"; }
tall() { title_has "Path: $photo Size: 480x640 pixel"; }
wait_for 100 wide || fail "the photo is not shown: title '$(xdotool getwindowname "$wid")'"
timeout 10 xdotool windowfocus --sync "$wid" >/dev/null 2>&1 || fail "could not focus the Framzo window"

press() {
  local keys=$1 until=$2 what=$3
  xdotool key "$keys"
  wait_for 100 "$until" || fail "$what: title '$(xdotool getwindowname "$wid")'"
}
press ctrl+Right tall "Ctrl+Right did not turn the photo"
press ctrl+z wide "Ctrl+Z did not undo the turn"
press ctrl+shift+z tall "Ctrl+Shift+Z did not redo the turn"
press ctrl+z wide "Ctrl+Z did not undo the turn again"
press ctrl+y tall "Ctrl+Y did not redo the turn"
press ctrl+z wide "Ctrl+Z did not undo the redone turn"

# Nothing is left to save: Esc quits without asking.
xdotool key Escape
gone() { ! kill -0 "$framzo_pid" 2>/dev/null; }
if ! wait_for 100 gone; then
  xdotool search --onlyvisible --pid "$framzo_pid" --name 'Framzo' >/dev/null 2>&1 && shot
  fail "Esc did not quit after every edit was undone (a question about unsaved edits?)"
fi
framzo_pid=""
echo "PASS: turn, undo, redo with Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y; Esc quits with nothing to save"
