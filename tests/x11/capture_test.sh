#!/usr/bin/env bash
# End-to-end check of "Capture area under window" and the translucency under a bare X
# server (no window manager): the root window is tiled with a known two-colour pattern,
# the viewer sits on it, Alt+C must give a picture of the client area's size holding
# exactly the pattern under it and nothing of the viewer, Ctrl+U must bring the earlier
# picture back, and the mouse wheel must step the window's opacity only while
# "Alphablend" is on. Then the screen is made black all over (a fresh workspace): in an
# X session Alt+C must give that black picture, never the message that capture is not
# available (where asking the desktop portal would end: there is not even a bus). The viewer writes its picture after every command to the file
# that QEL_TEST_DUMP names: the viewer build of the tests (tests/dumping_viewer) does.
# Usage: capture_test.sh BUILD_FOLDER
set -euo pipefail

build=${1:-build}
check=capture_test
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
tool="$build/tests/dumping_viewer"
need_commands Xvfb xdotool xprop xwininfo xsetroot python3

# The picture shown before the capture: 1200 x 800, uncompressed 24-bit Targa.
write_wide_picture "$work/wide.tga"

# The root window's tile: 16 x 16 bits, no two rows or columns alike, so that a
# picture taken one pixel off does not match.
python3 - "$work/tile.xbm" <<'PY'
import sys
rows = [(0x9B5D * (y + 1) ^ (0x3C71 << (y % 3))) & 0xFFFF for y in range(16)]
with open(sys.argv[1], "w") as f:
    f.write("#define tile_width 16\n#define tile_height 16\nstatic unsigned char tile_bits[] = {\n")
    f.write(", ".join("0x%02x, 0x%02x" % (r & 0xFF, r >> 8) for r in rows))
    f.write("};\n")
PY

# -noreset: the root window keeps its pattern when the last client leaves.
use_server -noreset
unset DBUS_SESSION_BUS_ADDRESS

foreground="#c81e32"
background="#14a064"
xsetroot -bitmap "$work/tile.xbm" -fg "$foreground" -bg "$background"

dump="$work/picture.bmp"
QEL_TEST_DUMP="$dump" "$tool" "$work/wide.tga" >"$work/tool.log" 2>&1 &
tool_pid=$!

find_window

expect_title() {
  wait_for_title "$1"
  echo "capture_test: title \"$1\""
}

# _NET_WM_WINDOW_OPACITY as a number, or "none" when the window does not carry it.
opacity() {
  xprop -id "$window" _NET_WM_WINDOW_OPACITY | sed -n 's/.*= \([0-9]*\)$/\1/p' | grep . || echo none
}
# The property's value for a blend value out of 255.
opacity_for() {
  python3 -c "print(round($1 / 255 * 0xFFFFFFFF))"
}
expect_opacity() {
  local expected=$1 seen=""
  for _ in $(seq 50); do
    seen=$(opacity)
    [ "$seen" = "$expected" ] && break
    sleep 0.1
  done
  [ "$seen" = "$expected" ] || fail "opacity $seen, expected $expected ($2)"
  echo "capture_test: opacity $seen ($2)"
}

# Checks the dumped picture: "pattern X Y" for the root tile seen from screen point
# (X, Y), or "file PATH" for the same pixels as a Targa file.
check_dump() {
  python3 - "$dump" "$work/tile.xbm" "$foreground" "$background" "$@" <<'PY'
import re, struct, sys
dump, xbm, fg, bg, kind = sys.argv[1:6]
data = open(dump, "rb").read()
if data[:2] != b"BM":
    sys.exit("the dump is no BMP file (%d bytes)" % len(data))
offset, = struct.unpack_from("<I", data, 10)
w, h, planes, bits = struct.unpack_from("<iiHH", data, 18)
if bits != 24:
    sys.exit("the dump has %d bits a pixel" % bits)
stride = (w * 3 + 3) // 4 * 4
def pixel(x, y):  # rows are stored bottom-up, bytes blue, green, red
    at = offset + (h - 1 - y) * stride + 3 * x
    return data[at + 2], data[at + 1], data[at]
if kind == "black":
    if (w, h) != (300, 225) or any(data[offset:]):
        sys.exit("the picture is %d x %d and not all black" % (w, h))
elif kind == "pattern":
    ox, oy, ew, eh = map(int, sys.argv[6:10])
    if (w, h) != (ew, eh):
        sys.exit("the picture is %d x %d, expected %d x %d" % (w, h, ew, eh))
    bits_text = open(xbm).read().split("{", 1)[1]
    tile = [int(v, 16) for v in re.findall(r"0x[0-9a-fA-F]+", bits_text)]
    colour = lambda c: tuple(int(c[i:i + 2], 16) for i in (1, 3, 5))
    on, off = colour(fg), colour(bg)
    wrong = 0
    for y in range(h):
        for x in range(w):
            sx, sy = ox + x, oy + y
            byte = tile[(sy % 16) * 2 + (sx % 16) // 8]
            expected = on if byte >> ((sx % 16) % 8) & 1 else off
            if pixel(x, y) != expected:
                if wrong < 5:
                    print("pixel (%d, %d) is %s, expected %s" % (x, y, pixel(x, y), expected))
                wrong += 1
    if wrong:
        sys.exit("%d pixels differ from the pattern under the window" % wrong)
else:
    tga = open(sys.argv[6], "rb").read()
    tw, th = struct.unpack_from("<HH", tga, 12)
    if (w, h) != (tw, th):
        sys.exit("the picture is %d x %d, expected %d x %d" % (w, h, tw, th))
    for y in range(0, h, 7):
        for x in range(0, w, 5):
            at = 18 + ((th - 1 - y) * tw + x) * 3
            if pixel(x, y) != (tga[at + 2], tga[at + 1], tga[at]):
                sys.exit("pixel (%d, %d) differs from the loaded picture" % (x, y))
PY
}

expect_title "300 x 200 pix [0] (wide.tga)"
eval "$(xwininfo -id "$window" | awk '/Absolute upper-left X:/ {print "left=" $4} /Absolute upper-left Y:/ {print "top=" $4} /Width:/ {print "width=" $2} /Height:/ {print "height=" $2}')"
[ "${width}x${height}" = "300x225" ] || fail "client area ${width}x${height}, expected 300x225"
echo "capture_test: client area at ($left, $top)"

# The wheel does nothing while alpha blending is off.
xdotool mousemove --sync $((left + 150)) $((top + 100))
xdotool click --repeat 3 --delay 50 5
sleep 0.3
expect_opacity none "wheel with alpha blending off"

# "Alphablend" through the menu: from its bottom, with a picture shown, the eighth item
# up is "Alphablend" (EXIT, Latest version, Context menu, Send to email client,
# Overwrite files, Save as...., Save, Alphablend).
xdotool click 3
for _ in $(seq 50); do
  [ "$(xdotool search --onlyvisible --pid "$tool_pid" 2>/dev/null | wc -l)" -ge 2 ] && break
  sleep 0.1
done
xdotool key --delay 50 Up Up Up Up Up Up Up Up Return
expect_opacity "$(opacity_for 200)" "alpha blending on"
xdotool mousemove --sync $((left + 160)) $((top + 110))
xdotool click --repeat 11 --delay 50 5
expect_opacity "$(opacity_for 150)" "eleven turns down"
xdotool click --repeat 21 --delay 50 4
expect_opacity "$(opacity_for 250)" "twenty-one turns up"

# The capture: the picture is the pattern under the client area, nothing of the viewer.
xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers alt+c
expect_title "300 x 225 pix [0] ()"
expect_opacity "$(opacity_for 255)" "a capture ends alpha blending"
check_dump pattern "$left" "$top" 300 225 || fail "the captured picture is not what lay under the window"
echo "capture_test: the picture is the 300 x 225 pattern under the window"

# Undo brings the loaded picture back with its name.
xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers ctrl+u
expect_title "300 x 200 pix [0] (wide.tga)"
check_dump file "$work/wide.tga" || fail "undo did not bring the loaded picture back"
echo "capture_test: undo brought the loaded picture back"

# A black screen is what the X server shows: its capture is black, with no message.
xsetroot -solid black
xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers alt+c
expect_title "300 x 225 pix [0] ()"
check_dump black || fail "the capture of the black screen is not black"
sleep 0.5
[ "$(xdotool search --onlyvisible --pid "$tool_pid" | wc -l)" -eq 1 ] || fail "a message came up"
echo "capture_test: the black screen gives a black picture"

echo "capture_test: 1 passed, 0 failed"
