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

# The window's client area on the screen, in left, top, width and height.
read_geometry() {
  eval "$(xwininfo -id "$window" | awk '/Absolute upper-left X:/ {print "left=" $4} /Absolute upper-left Y:/ {print "top=" $4} /Width:/ {print "width=" $2} /Height:/ {print "height=" $2}')"
}

# The picture column shown at a point of the client area: the picture's blue is its
# column modulo 256 (green 128, red 255 minus blue).
column_at() {
  import -window root -crop "1x1+$((left + $1))+$((top + $2))" -depth 8 txt:- 2>/dev/null |
    sed -n 's/.*srgb(\([0-9]*\),\([0-9]*\),\([0-9]*\)).*/\1 \2 \3/p' |
    awk '$2 >= 126 && $2 <= 130 && ($1 + $3 >= 250) && ($1 + $3 <= 260) {print $3}'
}

# Waits until the client point shows a picture column within 3 of the expected one.
expect_column() {
  local x=$1 y=$2 expected=$3 seen=""
  for _ in $(seq 50); do
    seen=$(column_at "$x" "$y")
    if [ -n "$seen" ] && [ $(((seen - expected + 256) % 256)) -le 3 -o $(((expected - seen + 256) % 256)) -le 3 ]; then
      echo "view_test: ($x, $y) shows picture column $seen (mod 256), expected $expected ($4)"
      return 0
    fi
    sleep 0.1
  done
  fail "($x, $y) shows \"$seen\", expected picture column $expected mod 256 ($4)"
}

expect_title "300 x 200 pix [0] (wide.tga)"
read_geometry
[ "${width}x${height}" = "300x225" ] || fail "client area ${width}x${height}, expected 300x225"
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"

# 100 % around the pointer: the client centre shows picture column 600 before (drawn at
# a quarter, from the left edge) and after.
xdotool mousemove --sync $((left + 150)) $((top + 112))
xdotool key 1
expect_title "1200 x 800 pix [0] (wide.tga) - 100%"
expect_column 150 112 $((600 % 256)) "100 % around the pointer"

# A drag 100 pixels to the left brings column 700 under the centre.
xdotool mousedown 1
xdotool mousemove --sync $((left + 100)) $((top + 112))
xdotool mousemove --sync $((left + 50)) $((top + 112))
xdotool mouseup 1
expect_column 150 112 $((700 % 256)) "dragged 100 to the left"

# Ctrl+wheel and the + and - keys.
xdotool mousemove --sync $((left + 150)) $((top + 112))
xdotool keydown ctrl click 4 keyup ctrl
expect_title "1500 x 1000 pix [0] (wide.tga) - 125%"
xdotool keydown ctrl click 5 click 5 keyup ctrl
expect_title "800 x 533 pix [0] (wide.tga) - 67%"
xdotool key plus
expect_title "1200 x 800 pix [0] (wide.tga) - 100%"
xdotool key minus
expect_title "800 x 533 pix [0] (wide.tga) - 67%"

# Zoom to fit: the specified view and title, the picture in the middle.
xdotool key 0
expect_title "300 x 200 pix [0] (wide.tga)"
expect_column 0 112 0 "fitted again"

# Full screen and back (the picture fits there at its own size).
xdotool key F11
expect_title "1200 x 800 pix [0] (wide.tga)"
xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN || fail "no full-screen state: $(xprop -id "$window" _NET_WM_STATE)"
read_geometry
[ "${width}x${height}" = "1280x1024" ] || fail "full screen is ${width}x${height}"
echo "view_test: full screen ${width}x${height}"
xdotool key F11
expect_title "300 x 200 pix [0] (wide.tga)"
read_geometry
[ "${width}x${height}" = "300x225" ] || fail "back from full screen ${width}x${height}"

# The key help: F1 opens it, its "Close" button closes it; the viewer goes on.
xdotool key F1
help=""
for _ in $(seq 50); do
  help=$(xdotool search --onlyvisible --name "^Keys and gestures$" 2>/dev/null | head -n 1 || true)
  [ -n "$help" ] && break
  sleep 0.1
done
[ -n "$help" ] || fail "F1 showed no key help"
eval "$(xwininfo -id "$help" | awk '/Absolute upper-left X:/ {print "hl=" $4} /Absolute upper-left Y:/ {print "ht=" $4} /Width:/ {print "hw=" $2} /Height:/ {print "hh=" $2}')"
echo "view_test: key help shown (${hw}x${hh})"
xdotool mousemove --sync $((hl + hw - 50)) $((ht + hh - 22)) click 1
for _ in $(seq 50); do
  xdotool search --onlyvisible --name "^Keys and gestures$" >/dev/null 2>&1 || break
  sleep 0.1
done
xdotool search --onlyvisible --name "^Keys and gestures$" >/dev/null 2>&1 && fail "the key help stayed after its Close button"
kill -0 "$tool_pid" 2>/dev/null || fail "the viewer ended"
echo "view_test: the key help closed by its button"

echo "view_test: 1 passed, 0 failed"
