#!/usr/bin/env bash
# End-to-end check of the view under an X server with a window manager (openbox), by
# keyboard and mouse through the server: 100 % (1) around the pointer, panning by drag,
# Ctrl+wheel and + / - zooming, zoom to fit (0) back to the specified title, full screen
# (F11) and back, and the key help (F1) opened by its key and closed by a click.
# Usage: view_test.sh BUILD_FOLDER
set -euo pipefail

build=${1:-build}
check=view_test
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
need_commands Xvfb openbox xdotool xprop xwininfo import python3

write_wide_picture "$work/wide.tga"
# shellcheck disable=SC2119  # the server needs no options here
use_server
use_window_manager
"$tool" "$work/wide.tga" >"$work/tool.log" 2>&1 &
tool_pid=$!
find_window

expect_title() {
  wait_for_title "$1"
  echo "view_test: title \"$1\""
}
# geometry WINDOW: its client area as left, top, width and height.
geometry() {
  eval "$(xwininfo -id "$1" | awk '/Absolute upper-left X:/ {print "left=" $4} /Absolute upper-left Y:/ {print "top=" $4} /Width:/ {print "width=" $2} /Height:/ {print "height=" $2}')"
}
# expect_column X Y COLUMN WHAT: the client point shows that picture column (its blue
# is the column modulo 256), give or take 3.
expect_column() {
  local seen=""
  for _ in $(seq 50); do
    seen=$(import -window root -crop "1x1+$((left + $1))+$((top + $2))" -depth 8 txt:- 2>/dev/null |
      sed -n 's/.*srgb([0-9]*,128,\([0-9]*\)).*/\1/p')
    [ -n "$seen" ] && [ $(((seen - $3 + 259) % 256)) -le 6 ] && { echo "view_test: column $seen ($4)"; return 0; }
    sleep 0.1
  done
  fail "($1, $2) shows \"$seen\", expected picture column $3 ($4)"
}

expect_title "300 x 200 pix [0] (wide.tga)"
geometry "$window"
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"

# 100 % around the pointer keeps picture column 600 under the client's centre; a drag
# 100 pixels to the left brings column 700 there.
xdotool mousemove --sync $((left + 150)) $((top + 112)) key 1
expect_title "1200 x 800 pix [0] (wide.tga) - 100%"
expect_column 150 112 $((600 % 256)) "100 % around the pointer"
xdotool mousedown 1 mousemove --sync $((left + 100)) $((top + 112)) mousemove --sync $((left + 50)) $((top + 112)) mouseup 1
expect_column 150 112 $((700 % 256)) "dragged 100 to the left"

xdotool mousemove --sync $((left + 150)) $((top + 112)) keydown ctrl click 4 keyup ctrl
expect_title "1500 x 1000 pix [0] (wide.tga) - 125%"
xdotool keydown ctrl click 5 click 5 keyup ctrl
expect_title "800 x 533 pix [0] (wide.tga) - 67%"
xdotool key plus
expect_title "1200 x 800 pix [0] (wide.tga) - 100%"
xdotool key minus
expect_title "800 x 533 pix [0] (wide.tga) - 67%"
xdotool key 0
expect_title "300 x 200 pix [0] (wide.tga)"

# Full screen (the picture fits there at its own size) and back.
xdotool key F11
expect_title "1200 x 800 pix [0] (wide.tga)"
xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN || fail "no full-screen state"
xdotool key F11
expect_title "300 x 200 pix [0] (wide.tga)"

# The key help: F1 opens it, a click on its "Close" button (bottom right) closes it.
xdotool key F1
for _ in $(seq 50); do
  help=$(xdotool search --onlyvisible --name "^Keys and gestures$" 2>/dev/null | head -n 1) && break
  sleep 0.1
done
[ -n "${help:-}" ] || fail "F1 showed no key help"
geometry "$help"
xdotool mousemove --sync $((left + width - 50)) $((top + height - 22)) click 1
for _ in $(seq 50); do
  xdotool search --onlyvisible --name "^Keys and gestures$" >/dev/null 2>&1 || break
  sleep 0.1
done
xdotool search --onlyvisible --name "^Keys and gestures$" >/dev/null 2>&1 && fail "the key help stayed"
kill -0 "$tool_pid" 2>/dev/null || fail "the viewer ended"
echo "view_test: the key help came with F1 and went with a click"
echo "view_test: 1 passed, 0 failed"
