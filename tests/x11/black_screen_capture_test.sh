#!/usr/bin/env bash
# End-to-end check that in an X session the capture reads the X server whatever it
# shows: on a screen that is black all over (a fresh workspace), Alt+C gives a black
# picture of the client area's size, and never the message that capture is not
# available in this session (which the desktop portal's way would end in here: there is
# no portal, not even a session bus).
# Usage: black_screen_capture_test.sh BUILD_FOLDER
set -euo pipefail

build=${1:-build}
check=black_screen_capture_test
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
tool="$build/tests/dumping_viewer"
need_commands Xvfb xdotool python3

write_wide_picture "$work/wide.tga"
use_server -br
unset DBUS_SESSION_BUS_ADDRESS

dump="$work/picture.bmp"
QEL_TEST_DUMP="$dump" "$tool" "$work/wide.tga" >"$work/tool.log" 2>&1 &
tool_pid=$!
find_window
wait_for_title "300 x 200 pix [0] (wide.tga)"

xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers alt+c
wait_for_title "300 x 225 pix [0] ()"
echo "black_screen_capture_test: title \"300 x 225 pix [0] ()\""
sleep 0.5
windows=$(xdotool search --onlyvisible --pid "$tool_pid" 2>/dev/null | wc -l)
[ "$windows" -eq 1 ] || fail "$windows windows are shown: a message came up ($(xdotool search --onlyvisible --pid "$tool_pid" getwindowname %@ 2>/dev/null | tr '\n' ' '))"

python3 - "$dump" <<'PY' || fail "the captured picture is not the black screen"
import struct, sys
data = open(sys.argv[1], "rb").read()
if data[:2] != b"BM":
    sys.exit("the dump is no BMP file (%d bytes)" % len(data))
offset, = struct.unpack_from("<I", data, 10)
w, h = struct.unpack_from("<ii", data, 18)
if (w, h) != (300, 225):
    sys.exit("the picture is %d x %d" % (w, h))
if any(data[offset:]):
    sys.exit("the picture is not black")
PY
echo "black_screen_capture_test: the picture is the 300 x 225 black screen"
echo "black_screen_capture_test: 1 passed, 0 failed"
