#!/usr/bin/env bash
# End-to-end check of the viewer through Wayland itself (QT_QPA_PLATFORM=wayland) under
# Weston's headless compositor, with the desktop portal's screenshot service scripted
# on a private bus. The window shows the picture with the specified title; Alt+C asks
# the portal to let the user pick the area (the window cannot learn where it is) and
# takes the picture it hands over, without hiding the window (the compositor could
# put it back elsewhere); F11 makes the window fill the output and F11 again brings it
# back; Esc ends the program. Keys reach the window through the test build of the
# viewer (tests/dumping_viewer), which also prints its titles: the compositor has no
# seat to type on and no way to read a title.
# Usage: weston_test.sh BUILD_FOLDER
set -euo pipefail

build=${1:-build}
check=weston_test
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
tool="$build/tests/dumping_viewer"
portal="$build/tests/scripted_portal"
need_commands weston dbus-daemon python3
[ -x "$portal" ] || fail "$portal is missing"
[ -n "$(find /usr/lib -path '*qt6/plugins/platforms/libqwayland*' -print -quit 2>/dev/null)" ] ||
  fail "Qt's Wayland platform (qt6-wayland) is not installed"

write_wide_picture "$work/wide.tga"
# The picture the portal hands over: 1600 x 1200, a BMP file (any file Qt reads will do).
python3 - "$work/shot.bmp" <<'PY'
import struct, sys
w, h = 1600, 1200
row = bytes(v for x in range(w) for v in (x % 256, 64, 200))
with open(sys.argv[1], "wb") as f:
    f.write(b"BM" + struct.pack("<IHHI", 54 + len(row) * h, 0, 0, 54))
    f.write(struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(row) * h, 2835, 2835, 0, 0))
    f.write(row * h)
PY

# The compositor, on a socket of its own in a runtime folder of its own.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export WAYLAND_DISPLAY="qel-test-$$"
weston --backend=headless-backend.so --width=1024 --height=640 --socket="$WAYLAND_DISPLAY" --idle-time=0 \
  --no-config >"$work/weston.log" 2>&1 &
helper_pids+=($!)
for _ in $(seq 100); do
  [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && break
  sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] || fail "weston did not start: $(cat "$work/weston.log")"

# A bus of our own that starts no services, and the scripted portal on it.
cat >"$work/bus.conf" <<CONF
<busconfig><type>session</type><listen>unix:dir=$work</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*"/><allow eavesdrop="true"/><allow own="*"/></policy></busconfig>
CONF
dbus-daemon --config-file="$work/bus.conf" --nofork --print-address=1 >"$work/bus.address" 2>"$work/bus.log" &
helper_pids+=($!)
for _ in $(seq 50); do
  [ -s "$work/bus.address" ] && break
  sleep 0.1
done
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus.address")
[ -n "$DBUS_SESSION_BUS_ADDRESS" ] || fail "no bus: $(cat "$work/bus.log")"
export DBUS_SESSION_BUS_ADDRESS
"$portal" "$work/shot.bmp" >"$work/portal.log" 2>&1 &
helper_pids+=($!)
for _ in $(seq 50); do
  grep -q ready "$work/portal.log" && break
  sleep 0.1
done
grep -q ready "$work/portal.log" || fail "the scripted portal did not start: $(cat "$work/portal.log")"

# The viewer through Wayland, reading its keys from a pipe we keep open.
mkfifo "$work/keys"
exec 3<>"$work/keys"
unset DISPLAY
export XDG_SESSION_TYPE=wayland
QT_QPA_PLATFORM=wayland QEL_TEST_TRACE=1 QEL_TEST_DUMP="$work/picture.bmp" "$tool" "$work/wide.tga" \
  <"$work/keys" >"$work/tool.log" 2>&1 &
tool_pid=$!

# expect_line TEXT: waits until the viewer has printed the line.
expect_line() {
  for _ in $(seq 100); do
    grep -qxF "$1" "$work/tool.log" && { echo "weston_test: $1"; return 0; }
    kill -0 "$tool_pid" 2>/dev/null || fail "the viewer ended early: $(cat "$work/tool.log")"
    sleep 0.1
  done
  fail "no line \"$1\" from the viewer: $(cat "$work/tool.log")"
}
key() {
  echo "$1" >&3
}

expect_line "title: 300 x 200 pix [0] (wide.tga)"

key Alt+C
expect_line "title: 300 x 225 pix [0] ()"
grep -qx "screenshot interactive=1" "$work/portal.log" || fail "the portal was asked: $(cat "$work/portal.log")"
grep -qx "hidden" "$work/tool.log" && fail "the window was hidden for the capture"
python3 - "$work/picture.bmp" <<'PY' || fail "the picture is not the one the portal handed over"
import struct, sys
data = open(sys.argv[1], "rb").read()
w, h = struct.unpack_from("<ii", data, 18)
if (w, h) != (1600, 1200):
    sys.exit("the picture is %d x %d" % (w, h))
PY
echo "weston_test: the picture is the 1600 x 1200 one the portal handed over, the window stayed"

key F11
expect_line "title: 853 x 640 pix [0] ()"
key F11
for _ in $(seq 100); do
  [ "$(grep '^title: ' "$work/tool.log" | tail -n 1)" = "title: 300 x 225 pix [0] ()" ] && break
  sleep 0.1
done
[ "$(grep '^title: ' "$work/tool.log" | tail -n 1)" = "title: 300 x 225 pix [0] ()" ] ||
  fail "not back from full screen: $(grep '^title: ' "$work/tool.log" | tail -n 1)"
echo "weston_test: back from full screen"

key Esc
for _ in $(seq 50); do
  kill -0 "$tool_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$tool_pid" 2>/dev/null && fail "Esc did not end the viewer"
wait "$tool_pid" || fail "the viewer ended with status $?: $(cat "$work/tool.log")"
tool_pid=""
echo "weston_test: 1 passed, 0 failed"
