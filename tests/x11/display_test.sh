#!/usr/bin/env bash
# End-to-end check of how the viewer draws its picture under a bare X server: a
# one-pixel black-and-white checkerboard of 2400 x 1800 fitted into the 300 x 225
# client area must show as an even grey (the program's own resampler, not dropped
# pixels), and a picture smaller than the window must show its pixels unchanged. The
# window's pixels are read back from the X server.
# Usage: display_test.sh BUILD_FOLDER
set -euo pipefail

build=${1:-build}
check=display_test
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
need_commands Xvfb xdotool import python3

# Uncompressed 24-bit Targa pictures: the checkerboard, and a small one whose every
# pixel differs from its neighbours.
python3 - "$work" <<'PY'
import struct, sys
def targa(path, w, h, pixel):
    with open(path, "wb") as f:
        # Descriptor 0x20: rows from the top.
        f.write(struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, w, h, 24, 0x20))
        f.write(bytes(v for y in range(h) for x in range(w) for v in pixel(x, y)))
targa(sys.argv[1] + "/checker.tga", 2400, 1800, lambda x, y: (0, 0, 0) if (x + y) % 2 else (255, 255, 255))
targa(sys.argv[1] + "/small.tga", 64, 48, lambda x, y: ((x * 4) % 256, (y * 5) % 256, (x * y) % 256))
PY

# shellcheck disable=SC2119  # the server needs no options here
use_server

# check_shown KIND: reads the window back and checks it, "grey" for the fitted
# checkerboard, "exact" for the small picture at the top-left; retries while the
# resampled picture may still be on its way.
check_shown() {
  local kind=$1 result=""
  for _ in $(seq 50); do
    import -window "$window" -depth 8 "ppm:$work/shown.ppm" 2>/dev/null || true
    if result=$(python3 - "$work/shown.ppm" "$kind" "$work/small.tga" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
parts = data.split(maxsplit=4)
if parts[0] != b"P6" or parts[3] != b"255":
    sys.exit("no picture read back")
w, h = int(parts[1]), int(parts[2])
pixels = parts[4]
px = lambda x, y: pixels[(y * w + x) * 3:(y * w + x) * 3 + 3]
if sys.argv[2] == "grey":
    values = [v for y in range(225) for x in range(300) for v in px(x, y)]
    low, high = min(values), max(values)
    if low < 96 or high > 160:
        sys.exit("the checkerboard shows from %d to %d" % (low, high))
    print("grey from %d to %d" % (low, high))
else:
    tga = open(sys.argv[3], "rb").read()[18:]
    for y in range(48):
        for x in range(64):
            b, g, r = tga[(y * 64 + x) * 3:(y * 64 + x) * 3 + 3]
            if tuple(px(x, y)) != (r, g, b):
                sys.exit("pixel (%d, %d) shows %s, expected %s" % (x, y, tuple(px(x, y)), (r, g, b)))
    print("64 x 48 pixels unchanged")
PY
    2>&1); then
      echo "display_test: $result"
      return 0
    fi
    sleep 0.2
  done
  fail "$result"
}

start_viewer() {
  "$tool" "$1" >"$work/tool.log" 2>&1 &
  tool_pid=$!
  find_window
  wait_for_title "$2"
}

stop_viewer() {
  kill "$tool_pid"
  wait "$tool_pid" 2>/dev/null || true
  tool_pid=""
}

start_viewer "$work/checker.tga" "300 x 225 pix [0] (checker.tga)"
check_shown grey
stop_viewer

start_viewer "$work/small.tga" "64 x 48 pix [0] (small.tga)"
check_shown exact
stop_viewer

echo "display_test: 2 passed, 0 failed"
