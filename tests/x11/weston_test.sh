#!/usr/bin/env bash
# End-to-end check of the viewer through Wayland itself (QT_QPA_PLATFORM=wayland) under
# Weston's headless compositor, with the desktop portal's screenshot service scripted
# on a private bus: the window shows the picture; Alt+C lets the user pick the area
# through the portal (the window cannot learn where it is) without hiding the window
# (the compositor could put it back elsewhere); F11 fills the output; Esc ends the
# program. Keys reach the window through the test build of the viewer, which also
# prints its titles: the compositor has no seat to type on and no title to read.
# Usage: weston_test.sh BUILD_FOLDER
set -euo pipefail

build=${1:-build}
check=weston_test
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
tool="$build/tests/dumping_viewer"
need_commands weston dbus-daemon python3
[ -n "$(find /usr/lib -path '*qt6/plugins/platforms/libqwayland*' -print -quit)" ] || fail "qt6-wayland is missing"

write_wide_picture "$work/wide.tga"
# The portal's picture: 1600 x 1200 (any file Qt reads will do).
python3 -c "
import struct; w, h = 1600, 1200; row = bytes(w * 3)
open('$work/shot.bmp', 'wb').write(b'BM' + struct.pack('<IHHIIiiHHIIiiII', 54 + len(row) * h, 0, 0, 54, 40, w, h,
                                                       1, 24, 0, len(row) * h, 2835, 2835, 0, 0) + row * h)"

# wait_until COMMAND...: up to ten seconds for the command to succeed.
wait_until() {
  for _ in $(seq 100); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

export XDG_RUNTIME_DIR="$work/runtime" WAYLAND_DISPLAY="qel-test-$$" XDG_SESSION_TYPE=wayland
mkdir -m 700 "$XDG_RUNTIME_DIR"
weston --backend=headless-backend.so --width=1024 --height=640 --socket="$WAYLAND_DISPLAY" --idle-time=0 \
  --no-config >"$work/weston.log" 2>&1 &
helper_pids+=($!)
wait_until test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || fail "weston did not start: $(cat "$work/weston.log")"

# A bus of our own that starts no services, with the scripted portal on it.
echo "<busconfig><type>session</type><listen>unix:dir=$work</listen><auth>EXTERNAL</auth>
<policy context=\"default\"><allow send_destination=\"*\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>
</busconfig>" >"$work/bus.conf"
dbus-daemon --config-file="$work/bus.conf" --nofork --print-address=1 >"$work/bus.address" 2>"$work/bus.log" &
helper_pids+=($!)
wait_until test -s "$work/bus.address" || fail "no bus: $(cat "$work/bus.log")"
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus.address")
export DBUS_SESSION_BUS_ADDRESS
"$build/tests/scripted_portal" "$work/shot.bmp" >"$work/portal.log" 2>&1 &
helper_pids+=($!)
wait_until grep -q ready "$work/portal.log" || fail "no portal: $(cat "$work/portal.log")"

# The viewer through Wayland, reading its keys from a pipe we keep open.
mkfifo "$work/keys"
exec 3<>"$work/keys"
unset DISPLAY
QT_QPA_PLATFORM=wayland QEL_TEST_TRACE=1 QEL_TEST_DUMP="$work/picture.bmp" "$tool" "$work/wide.tga" \
  <"$work/keys" >"$work/tool.log" 2>&1 &
tool_pid=$!

latest_title() {
  grep '^title: ' "$work/tool.log" | tail -n 1 | cut -c 8-
}
title_is() {
  [ "$(latest_title)" = "$1" ]
}
# expect_title TITLE: waits until the viewer's latest title is the one given.
expect_title() {
  wait_until title_is "$1" || fail "title \"$(latest_title)\", expected \"$1\": $(cat "$work/tool.log")"
  echo "weston_test: title \"$1\""
}

expect_title "300 x 200 pix [0] (wide.tga)"
echo Alt+C >&3
expect_title "300 x 225 pix [0] ()"
[ "$(cat "$work/portal.log")" = "$(printf 'ready\nscreenshot interactive=1')" ] ||
  fail "the portal was asked: $(cat "$work/portal.log")"
grep -qx hidden "$work/tool.log" && fail "the window was hidden for the capture"
python3 -c "import struct, sys; sys.exit(struct.unpack_from('<ii', open('$work/picture.bmp', 'rb').read(), 18) != (1600, 1200))" ||
  fail "the picture is not the one the portal handed over"
echo "weston_test: the user's pick through the portal, and the window stayed"
echo F11 >&3
expect_title "853 x 640 pix [0] ()"
echo F11 >&3
expect_title "300 x 225 pix [0] ()"
echo Esc >&3
viewer_ended() {
  ! kill -0 "$tool_pid" 2>/dev/null
}
wait_until viewer_ended || fail "Esc did not end the viewer"
wait "$tool_pid" || fail "the viewer ended with status $?"
tool_pid=""
echo "weston_test: 1 passed, 0 failed"
