#!/usr/bin/env bash
# End-to-end check of where an installed copy keeps its options: the viewer installed
# under a prefix with cmake --install and run by whoever runs the tests (root here and
# in CI, whom the kernel lets write anywhere) opens and closes its options window; the
# options land in $XDG_CONFIG_HOME/qel-image-tool/ and nothing is written beside the
# executable.
# Usage: installed_copy_test.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
check=installed_copy_test
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
[ -x "$tool" ] || { echo "$check: $tool is missing" >&2; exit 1; }
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 || fail "cmake --install: $(cat "$work/install.log")"
tool=$work/prefix/bin/qel-image-tool
need_commands Xvfb xdotool python3
write_wide_picture "$work/wide.tga"
before=$(ls -A "$work/prefix/bin")

export XDG_CONFIG_HOME=$work/config
settings=$XDG_CONFIG_HOME/qel-image-tool/qel-image-tool.dat
# shellcheck disable=SC2119  # the server needs no options here
use_server
"$tool" "$work/wide.tga" >"$work/tool.log" 2>&1 &
tool_pid=$!
find_window
wait_for_title "300 x 200 pix [0] (wide.tga)"

# Ctrl+O opens the options window; Esc closes it, which writes the options.
xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers ctrl+o
for _ in $(seq 50); do
  [ "$(xdotool search --onlyvisible --pid "$tool_pid" 2>/dev/null | wc -l)" -ge 2 ] && break
  sleep 0.1
done
[ "$(xdotool search --onlyvisible --pid "$tool_pid" 2>/dev/null | wc -l)" -ge 2 ] || fail "no options window appeared"
options=$(xdotool search --onlyvisible --pid "$tool_pid" | grep -vx "$window" | head -n 1)
xdotool windowfocus --sync "$options"
xdotool key --clearmodifiers Escape
for _ in $(seq 50); do
  [ -f "$settings" ] && break
  sleep 0.1
done
[ -f "$settings" ] || fail "no options in $settings"
grep -q '^BorderWidth=10$' "$settings" || fail "$settings holds: $(cat "$settings")"
echo "$check: the options are in \$XDG_CONFIG_HOME/qel-image-tool/qel-image-tool.dat"
[ "$(ls -A "$work/prefix/bin")" = "$before" ] || fail "written beside the executable: $(ls -A "$work/prefix/bin")"
echo "$check: nothing new beside the executable"
echo "$check: 2 passed, 0 failed"
