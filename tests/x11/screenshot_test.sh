#!/usr/bin/env bash
# The screenshots of the AppStream metainfo, taken from the real viewer under a bare X
# server: a drawn landscape in a 640 x 480 window, and the same window with its popup
# menu open. The check holds the window to showing the picture (its colours where the
# sky, the sun, the hills and the lake lie) and the committed screenshots in data/screenshots/
# to the size of fresh ones, so that a change of the window or its menu asks for new
# ones. With OUTPUT_FOLDER given, the fresh screenshots are written there too
# (tests/x11/screenshot_test.sh build data/screenshots renews the committed ones).
# Usage: screenshot_test.sh BUILD_FOLDER [OUTPUT_FOLDER]
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
output=${2:+$(realpath -m "$2")}
check=screenshot_test
screenshots=$(cd "$(dirname "$0")/../../data/screenshots" && pwd)
# shellcheck source=tests/x11/lib.sh
source "$(dirname "$0")/lib.sh"
need_commands Xvfb xdotool xsetroot import convert /usr/bin/python3

# A landscape of 1600 x 1200: sky, sun, hills and a lake.
/usr/bin/python3 - "$work/landscape.png" <<'PY'
import sys
from PIL import Image, ImageDraw
w, h = 1600, 1200
im = Image.new("RGB", (w, h))
d = ImageDraw.Draw(im)
for y in range(700):
    t = y / 700
    d.line([(0, y), (w, y)], fill=(int(40 + 200 * t), int(90 + 120 * t), int(200 - 40 * t)))
d.ellipse([1080, 180, 1320, 420], fill=(255, 214, 90))
d.polygon([(0, 700), (0, 430), (320, 250), (620, 520), (900, 330), (1250, 600), (1600, 410), (1600, 700)],
          fill=(70, 110, 90))
d.polygon([(0, 700), (0, 560), (420, 470), (800, 640), (1200, 520), (1600, 620), (1600, 700)], fill=(52, 128, 70))
for y in range(700, h):
    t = (y - 700) / 500
    d.line([(0, y), (w, y)], fill=(int(30 + 40 * t), int(80 + 50 * t), int(140 + 30 * t)))
im.save(sys.argv[1])
PY

use_server
# A plain desktop, so that the menu's screenshot can be cut to what the viewer draws.
xsetroot -solid '#dfe3e8'
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
cd "$work"
"$tool" landscape.png >"$work/tool.log" 2>&1 &
tool_pid=$!
find_window
wait_for_title "300 x 225 pix [0] (landscape.png)"
xdotool windowsize --sync "$window" 640 480
wait_for_title "640 x 480 pix [0] (landscape.png)"

# The window as it shows the picture resampled (the quick scaling first shows meanwhile:
# the colours settle once the resampled picture is in).
shown=""
for _ in $(seq 50); do
  import -window "$window" -depth 8 "$work/viewer.png" 2>/dev/null || true
  if shown=$(/usr/bin/python3 - "$work/viewer.png" 2>&1 <<'PY'
import sys
from PIL import Image
im = Image.open(sys.argv[1]).convert("RGB")
if im.size != (640, 480):
    sys.exit("the window reads back as %d x %d" % im.size)
# Where the picture has them: the sun, the top of the sky, the near hill, the lake.
for (x, y), (r, g, b) in {(480, 120): (255, 214, 90), (20, 4): (42, 92, 199), (100, 270): (52, 128, 70),
                          (320, 460): (68, 128, 168)}.items():
    seen = im.getpixel((x, y))
    if max(abs(seen[0] - r), abs(seen[1] - g), abs(seen[2] - b)) > 24:
        sys.exit("(%d, %d) shows %s, the picture has %s there" % (x, y, seen, (r, g, b)))
print("the window shows the landscape")
PY
  ); then
    break
  fi
  shown=""
  sleep 0.2
done
[ -n "$shown" ] || fail "the window does not show the picture"
echo "screenshot_test: $shown"

# The popup menu, opened by a right click near the window's top-left corner.
xdotool mousemove --window "$window" 40 30 click 3
for _ in $(seq 50); do
  [ "$(xdotool search --onlyvisible --pid "$tool_pid" 2>/dev/null | wc -l)" -ge 2 ] && break
  sleep 0.1
done
[ "$(xdotool search --onlyvisible --pid "$tool_pid" 2>/dev/null | wc -l)" -ge 2 ] || fail "no popup menu appeared"
sleep 0.5
import -window root -depth 8 "$work/screen.png"
convert "$work/screen.png" -trim +repage "$work/menu.png"
menu_size=$(identify -format %wx%h "$work/menu.png")
echo "screenshot_test: the menu's screenshot is $menu_size"
xdotool key Escape

for name in viewer menu; do
  fresh=$(identify -format %wx%h "$work/$name.png")
  committed=$(identify -format %wx%h "$screenshots/$name.png" 2>/dev/null || echo missing)
  if [ -n "$output" ]; then
    mkdir -p "$output"
    # Small files: an 8-bit palette where the colours allow it, no time stamps.
    convert "$work/$name.png" -strip -define png:exclude-chunks=date,time "$output/$name.png"
  else
    [ "$fresh" = "$committed" ] || fail "data/screenshots/$name.png is $committed, the viewer now gives $fresh: renew it"
  fi
done
echo "screenshot_test: 3 passed, 0 failed"
