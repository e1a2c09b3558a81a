# The set-up the end-to-end checks under a display server share: the commands they
# need, a work folder and the clean-up of what they start, an X server of their own on
# a free display (bare, or with a window manager), the test picture and the viewer's
# window.
# A check sets `check` to its name and `build` to the build folder, then sources this.
# shellcheck shell=bash disable=SC2154  # check and build come from the script that sources this

tool="$build/qel-image-tool"

# fail MESSAGE: ends the check with a failure.
fail() {
  echo "$check: FAIL: $*" >&2
  exit 1
}

# need_commands COMMAND...: skips the check (exit status 77, which ctest counts as a
# skip) when a command is not installed, saying which and what installs it; fails it
# when the viewer is missing.
need_commands() {
  local command missing=()
  for command in "$@"; do
    command -v "$command" >/dev/null || missing+=("$command")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "$check: SKIP: ${missing[*]} not installed; scripts/install-deps.sh --test installs them" >&2
    exit 77
  fi
  [ -x "$tool" ] || { echo "$check: $tool is missing" >&2; exit 1; }
}

work=$(mktemp -d)
xvfb_pid=""
tool_pid=""
# Further processes a check starts (a window manager, a compositor, a bus), ended
# last-started first.
helper_pids=()
cleanup() {
  set +e
  if [ -n "$tool_pid" ]; then
    kill "$tool_pid" 2>/dev/null
    wait "$tool_pid" 2>/dev/null
  fi
  local i
  for ((i = ${#helper_pids[@]} - 1; i >= 0; i--)); do
    kill "${helper_pids[i]}" 2>/dev/null
    wait "${helper_pids[i]}" 2>/dev/null
  done
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM

# write_wide_picture PATH: a 1200 x 800 uncompressed 24-bit Targa picture with a
# horizontal colour ramp.
write_wide_picture() {
  python3 - "$1" <<'PY'
import struct, sys
w, h = 1200, 800
row = bytes(v for x in range(w) for v in (x % 256, 128, 255 - x % 256))
with open(sys.argv[1], "wb") as f:
    f.write(struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, w, h, 24, 0))
    f.write(row * h)
PY
}

# start_server [XVFB_OPTION...]: a server of our own on a free display, away from the
# low numbers other sessions use; DISPLAY names it afterwards.
start_server() {
  local display
  for _ in $(seq 20); do
    display=$((100 + RANDOM % 800))
    [ -e "/tmp/.X$display-lock" ] && continue
    # -noreset: the server would otherwise reset when the probe below disconnects, and
    # refuse the viewer that connects during the reset.
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp -noreset "$@" 2>"$work/xvfb.log" &
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

# use_server [XVFB_OPTION...]: starts the server and has Qt use it, as in an X session.
use_server() {
  start_server "$@" || fail "no X server could be started: $(cat "$work/xvfb.log")"
  unset QT_QPA_PLATFORM WAYLAND_DISPLAY
  export XDG_SESSION_TYPE=x11
}

# use_window_manager: starts openbox on the server and waits until it manages windows.
use_window_manager() {
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  helper_pids+=($!)
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && return 0
    sleep 0.1
  done
  fail "the window manager did not start: $(cat "$work/openbox.log")"
}

# find_window: waits for the viewer started as tool_pid to show its window, in `window`.
find_window() {
  window=""
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --pid "$tool_pid" 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    kill -0 "$tool_pid" 2>/dev/null || fail "the viewer ended early: $(cat "$work/tool.log")"
    sleep 0.1
  done
  [ -n "$window" ] || fail "no viewer window appeared"
}

# wait_for_title EXPECTED: waits until xdotool reads the window's title as EXPECTED.
wait_for_title() {
  local expected=$1 seen=""
  for _ in $(seq 100); do
    seen=$(xdotool getwindowname "$window")
    [ "$seen" = "$expected" ] && break
    sleep 0.1
  done
  [ "$seen" = "$expected" ] || fail "title \"$seen\", expected \"$expected\""
}
