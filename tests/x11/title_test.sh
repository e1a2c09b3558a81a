#!/usr/bin/env bash
# End-to-end check of the viewer under a bare X server (no window manager): the title
# the X server reports for a 1200 x 800 picture in the 300 x 225 client area, and the
# title after Ctrl+X (clear) and Ctrl+U (undo) typed through the X server.
# Usage: title_test.sh BUILD_FOLDER
set -euo pipefail

build=${1:-build}
tool="$build/qel-image-tool"
for command in Xvfb xdotool xprop xwininfo python3; do
  command -v "$command" >/dev/null || { echo "title_test: $command is not installed" >&2; exit 1; }
done
[ -x "$tool" ] || { echo "title_test: $tool is missing" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=""
tool_pid=""
cleanup() {
  set +e
  if [ -n "$tool_pid" ]; then
    kill "$tool_pid" 2>/dev/null
    wait "$tool_pid" 2>/dev/null
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM

fail() {
  echo "title_test: FAIL: $*" >&2
  exit 1
}

# A 1200 x 800 uncompressed 24-bit Targa picture with a horizontal colour ramp.
python3 - "$work/wide.tga" <<'PY'
import struct, sys
w, h = 1200, 800
row = bytes(v for x in range(w) for v in (x % 256, 128, 255 - x % 256))
with open(sys.argv[1], "wb") as f:
    f.write(struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, w, h, 24, 0))
    f.write(row * h)
PY

# A server of our own on a free display, away from the low numbers other sessions use.
start_server() {
  local display
  for _ in $(seq 20); do
    display=$((100 + RANDOM % 800))
    [ -e "/tmp/.X$display-lock" ] && continue
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp 2>"$work/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 50); do
      kill -0 "$xvfb_pid" 2>/dev/null || break
      if DISPLAY=":$display" xdotool getdisplaygeometry >/dev/null 2>&1; then
        export DISPLAY=":$display"
        return 0
      fi
      sleep 0.1
    done
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
  done
  return 1
}
start_server || fail "no X server could be started: $(cat "$work/xvfb.log")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

"$tool" "$work/wide.tga" >"$work/tool.log" 2>&1 &
tool_pid=$!

window=""
for _ in $(seq 100); do
  window=$(xdotool search --onlyvisible --pid "$tool_pid" 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  kill -0 "$tool_pid" 2>/dev/null || fail "the viewer ended early: $(cat "$work/tool.log")"
  sleep 0.1
done
[ -n "$window" ] || fail "no viewer window appeared"

title() { xdotool getwindowname "$window"; }
# Waits until the window's title is the expected one; both xdotool and WM_NAME must agree.
expect_title() {
  local expected=$1 seen=""
  for _ in $(seq 100); do
    seen=$(title)
    [ "$seen" = "$expected" ] && break
    sleep 0.1
  done
  [ "$seen" = "$expected" ] || fail "title \"$seen\", expected \"$expected\""
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
