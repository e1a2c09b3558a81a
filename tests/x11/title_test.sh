#!/usr/bin/env bash
# End-to-end check of the viewer under a bare X server (no window manager): the title
# the X server reports for a 1200 x 800 picture in the 300 x 225 client area, and the
# title after Ctrl+X (clear) and Ctrl+U (undo) typed through the X server.
# Usage: title_test.sh BUILD_FOLDER
set -euo pipefail

build=${1:-build}
check=title_test
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
need_commands Xvfb xdotool xprop xwininfo python3

write_wide_picture "$work/wide.tga"
# shellcheck disable=SC2119  # the server needs no options here
use_server

"$tool" "$work/wide.tga" >"$work/tool.log" 2>&1 &
tool_pid=$!

find_window

# Waits until the window's title is the expected one; both xdotool and WM_NAME must agree.
expect_title() {
  local expected=$1
  wait_for_title "$expected"
  local wm_name
  wm_name=$(xprop -id "$window" WM_NAME)
  [ "$wm_name" = "WM_NAME(STRING) = \"$expected\"" ] || [ "$wm_name" = "WM_NAME(UTF8_STRING) = \"$expected\"" ] ||
    fail "WM_NAME reads $wm_name, expected \"$expected\""
  echo "title_test: title \"$expected\""
}

expect_title "300 x 200 pix [0] (wide.tga)"

# With no window manager the client area is exactly the window: 300 x 225.
geometry=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
[ "$geometry" = "300x225" ] || fail "client area $geometry, expected 300x225"
echo "title_test: client area $geometry"

xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers ctrl+x
expect_title "0 x 0 pix [0] ()"
xdotool key --clearmodifiers ctrl+u
expect_title "300 x 200 pix [0] (wide.tga)"

echo "title_test: 1 passed, 0 failed"
