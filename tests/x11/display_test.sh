#!/usr/bin/env bash
# End-to-end check of how the viewer draws its picture, read back from a bare X server:
# a one-pixel black-and-white checkerboard of 2400 x 1800 fitted into the 300 x 225
# client area must show as an even grey (resampled, not dropped pixels), and a picture
# smaller than the window must show its pixels unchanged, in the middle of the window.
# Usage: display_test.sh BUILD_FOLDER
set -euo pipefail

build=${1:-build}
check=display_test
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
need_commands Xvfb xdotool import python3

# Uncompressed 24-bit Targa pictures, rows from the top.
python3 - "$work" <<'PY'
import struct, sys
def targa(path, w, h, bgr):
    with open(path, "wb") as f:
        f.write(struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, w, h, 24, 0x20))
        f.write(bytes(v for y in range(h) for x in range(w) for v in bgr(x, y)))
targa(sys.argv[1] + "/checker.tga", 2400, 1800, lambda x, y: (0, 0, 0) if (x + y) % 2 else (255, 255, 255))
targa(sys.argv[1] + "/small.tga", 64, 48, lambda x, y: (x * 4 % 256, y * 5 % 256, x * y % 256))
PY

# shellcheck disable=SC2119  # the server needs no options here
use_server

# show PICTURE TITLE KIND: starts the viewer on the picture and reads its window back
# until it shows the picture as KIND says ("grey": the fitted checkerboard, "exact": the
# small picture in the middle), for a few seconds while the resampling may still run.
show() {
  "$tool" "$work/$1" >"$work/tool.log" 2>&1 &
  tool_pid=$!
  find_window
  wait_for_title "$2"
  local result=""
  for _ in $(seq 50); do
    import -window "$window" -depth 8 "ppm:$work/shown.ppm" 2>/dev/null || true
    if result=$(python3 - "$work/shown.ppm" "$3" "$work/small.tga" 2>&1 <<'PY'
import sys
magic, w, h, depth, pixels = open(sys.argv[1], "rb").read().split(maxsplit=4)
if magic != b"P6" or depth != b"255":
    sys.exit("no picture read back")
w = int(w)
px = lambda x, y: tuple(pixels[(y * w + x) * 3:(y * w + x) * 3 + 3])
if sys.argv[2] == "grey":
    values = [v for y in range(225) for x in range(300) for v in px(x, y)]
    if min(values) < 96 or max(values) > 160:
        sys.exit("the checkerboard shows from %d to %d" % (min(values), max(values)))
    print("the checkerboard shows as grey from %d to %d" % (min(values), max(values)))
else:
    tga = open(sys.argv[3], "rb").read()[18:]
    left, top = (300 - 64) // 2, (225 - 48) // 2
    for y in range(48):
        for x in range(64):
            b, g, r = tga[(y * 64 + x) * 3:(y * 64 + x) * 3 + 3]
            if px(left + x, top + y) != (r, g, b):
                sys.exit("pixel (%d, %d) shows %s, expected %s" % (x, y, px(x, y), (r, g, b)))
    print("the 64 x 48 pixels show unchanged in the middle")
PY
    ); then
      echo "display_test: $result"
      kill "$tool_pid"
      wait "$tool_pid" 2>/dev/null || true
      tool_pid=""
      return 0
    fi
    sleep 0.2
  done
  fail "$result"
}

show checker.tga "300 x 225 pix [0] (checker.tga)" grey
show small.tga "64 x 48 pix [0] (small.tga)" exact
echo "display_test: 2 passed, 0 failed"
