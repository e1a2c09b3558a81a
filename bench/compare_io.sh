#!/usr/bin/env bash
# Times what users wait for when they open and save big pictures: qel-convert against
# the common command-line tools on the same files. Every figure is the whole process
# (start-up, reading, writing), the median of several runs, with the peak resident
# memory that /usr/bin/time reports.
#
# Cases, on a 6000 x 4000 photo-like picture (a plasma fractal with a fixed seed):
#   tiff-bmp  an LZW-compressed TIFF read and written as BMP
#   png       a PPM read and written as PNG
#   gif       a PPM read and written as GIF
#
# Usage: bench/compare_io.sh [--runs N] [--work DIR] [--size WxH] [--cases LIST]
#   --runs N      runs of each tool per case (default $RUNS or 5)
#   --work DIR    where the test files are made and kept (default $WORK or
#                 $TMPDIR/qel-compare-io)
#   --size WxH    size of the test picture (default 6000x4000)
#   --cases LIST  comma-separated subset of tiff-bmp,png,gif (default all)
# The converter is $QEL_CONVERT, else qel-convert in $BUILD (default build/ of this
# checkout). Needs: imagemagick, graphicsmagick, libvips-tools, python3-pil, time.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
runs="${RUNS:-5}"
work="${WORK:-${TMPDIR:-/tmp}/qel-compare-io}"
size=6000x4000
cases=tiff-bmp,png,gif
ours="${QEL_CONVERT:-${BUILD:-$here/../build}/qel-convert}"

while [[ $# -gt 0 ]]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --work) work="$2"; shift 2 ;;
    --size) size="$2"; shift 2 ;;
    --cases) cases="$2"; shift 2 ;;
    -h|--help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done

[[ "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "--runs takes a positive number" >&2; exit 2; }
[[ "$size" =~ ^[1-9][0-9]*x[1-9][0-9]*$ ]] || { echo "--size takes WxH" >&2; exit 2; }
[[ -x "$ours" ]] || { echo "no converter at $ours (build first, or set QEL_CONVERT)" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time is missing (package time)" >&2; exit 2; }
[[ -x /usr/bin/convert ]] || { echo "/usr/bin/convert is missing (package imagemagick)" >&2; exit 2; }

mkdir -p "$work"
picture="$work/photo-$size.ppm"
tiff="$work/photo-$size.tif"
out="$work/out"
mkdir -p "$out"

# --- the test files (kept between runs; made again when the size changes) ---
if [[ ! -s "$picture" ]]; then
  echo "Making a $size test picture in $work ..." >&2
  /usr/bin/convert -seed 4711 -size "$size" plasma:fractal -depth 8 "$picture.tmp.ppm"
  mv "$picture.tmp.ppm" "$picture"
fi
if [[ ! -s "$tiff" ]]; then
  # The converter's usual LZW TIFF: strips of a few rows, horizontal differencing.
  /usr/bin/convert "$picture" -compress lzw "$tiff.tmp.tif"
  mv "$tiff.tmp.tif" "$tiff"
fi

# --- the tools ---
have_gm=0; command -v gm > /dev/null && have_gm=1
have_vips=0; command -v vips > /dev/null && have_vips=1
have_pillow=0; /usr/bin/python3 -c 'import PIL' 2> /dev/null && have_pillow=1

# vips writes BMP only through its ImageMagick saver; without it, its own format.
vips_bmp_ext=bmp
if [[ $have_vips -eq 1 ]] && ! vips copy "$picture" "$out/probe.bmp" > /dev/null 2>&1; then
  vips_bmp_ext=v
fi
rm -f "$out/probe.bmp"

pillow_convert='import sys
from PIL import Image
Image.MAX_IMAGE_PIXELS = None
Image.open(sys.argv[1]).save(sys.argv[2])'

# tool_command CASE TOOL INPUT OUTPUT-STEM: prints nothing, sets cmd=(...)
tool_command() {
  local tool="$2" input="$3" stem="$4" ext="$5"
  case "$tool" in
    qel-convert) cmd=("$ours" "$input" "$stem.$ext" --overwrite) ;;
    ImageMagick) cmd=(/usr/bin/convert "$input" "$stem.$ext") ;;
    GraphicsMagick) cmd=(gm convert "$input" "$stem.$ext") ;;
    vips)
      if [[ "$1" == tiff-bmp ]]; then
        cmd=(vips copy "$input" "$stem.$vips_bmp_ext")
      else
        cmd=(vips copy "$input" "$stem.$ext")
      fi
      ;;
    Pillow) cmd=(/usr/bin/python3 -c "$pillow_convert" "$input" "$stem.$ext") ;;
  esac
}

# measure CASE INPUT EXT: runs every tool RUNS times, round robin so that a busy
# moment of the machine falls on all tools alike, and prints the table.
measure() {
  local case_name="$1" input="$2" ext="$3"
  local tools=(qel-convert ImageMagick)
  [[ $have_gm -eq 1 ]] && tools+=(GraphicsMagick)
  [[ $have_vips -eq 1 ]] && tools+=(vips)
  [[ $have_pillow -eq 1 ]] && tools+=(Pillow)
  local log="$out/$case_name.times"
  : > "$log"
  local r tool
  for ((r = 0; r < runs; ++r)); do
    for tool in "${tools[@]}"; do
      tool_command "$case_name" "$tool" "$input" "$out/$case_name-${tool}" "$ext"
      local stat="$out/time.txt"
      if /usr/bin/time -f '%e %M' -o "$stat" "${cmd[@]}" > /dev/null 2> "$out/stderr.txt"; then
        echo "$tool $(tail -n 1 "$stat")" >> "$log"
      else
        echo "$tool failed: $(head -c 300 "$out/stderr.txt")" >&2
      fi
      rm -f "$out/$case_name-${tool}".*
    done
  done
  awk -v runs="$runs" '
    function median(list, n,   i, j, t, a) {
      split(list, a, " ")
      for (i = 1; i <= n; ++i) for (j = i + 1; j <= n; ++j) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
      return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    {
      if (!($1 in count)) order[++tools] = $1
      times[$1] = times[$1] " " $2; ++count[$1]
      if ($3 > peak[$1]) peak[$1] = $3
    }
    END {
      printf "%-16s %10s %12s\n", "tool", "median s", "peak MiB"
      for (i = 1; i <= tools; ++i) {
        t = order[i]; m[t] = median(times[t], count[t])
        printf "%-16s %10.3f %12.1f\n", t, m[t], peak[t] / 1024
      }
      ours = m["qel-convert"]; fastest = ""
      for (i = 1; i <= tools; ++i) {
        t = order[i]
        if (t != "qel-convert" && (fastest == "" || m[t] < m[fastest])) fastest = t
      }
      if (ours == "") { print "qel-convert gave no result"; exit }
      if ("ImageMagick" in m && m["ImageMagick"] > 0)
        printf "ours / ImageMagick:          %.2f\n", ours / m["ImageMagick"]
      if (fastest != "" && m[fastest] > 0)
        printf "ours / fastest peer (%s): %.2f\n", fastest, ours / m[fastest]
    }' "$log"
}

echo "Pictures: $size, $runs runs a tool, whole process (median), peak resident memory (largest)."
echo "vips writes the BMP case as .$vips_bmp_ext."
IFS=, read -r -a wanted <<< "$cases"
for c in "${wanted[@]}"; do
  case "$c" in
    tiff-bmp) echo; echo "== LZW TIFF read, BMP written =="; measure tiff-bmp "$tiff" bmp ;;
    png) echo; echo "== PPM read, PNG written =="; measure png "$picture" png ;;
    gif) echo; echo "== PPM read, GIF written =="; measure gif "$picture" gif ;;
    *) echo "unknown case: $c" >&2; exit 2 ;;
  esac
done
