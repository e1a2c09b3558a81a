#!/usr/bin/env bash
# Whole-process timings of qel-convert against the peer tools on a 6000 x 4000
# photograph-like picture: each tool is started afresh for every run, reads its input
# file, does the work and writes its output file. Prints, for every case, each tool's
# median wall time and peak memory (resident set) over the runs, and the ratio of
# qel-convert's time to the fastest peer's.
#
#   bench/compare.sh [CASE...]        CASE: downscale upscale tiff-load png-save gif-save
#                                     webp-load webp-save (the default: all seven; the
#                                     peers' PNG and GIF encoders take several seconds
#                                     a run)
#
# Environment: BUILD (the build folder, default build/), RUNS (runs per tool, default 5),
# WORK (where the test pictures are made and kept, default $TMPDIR/qel-compare).
#
# Needs /usr/bin/time, ImageMagick (/usr/bin/convert), GraphicsMagick (gm), libvips-tools
# (vips), Pillow (/usr/bin/python3), libtiff-tools (tiffcp) and webp (cwebp).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
RUNS=${RUNS:-5}
WORK=${WORK:-${TMPDIR:-/tmp}/qel-compare}
QEL=$BUILD/qel-convert
IM=/usr/bin/convert
PY=/usr/bin/python3

[[ -x $QEL ]] || { echo "compare.sh: $QEL not built" >&2; exit 1; }
for tool in /usr/bin/time "$IM" gm vips "$PY"; do
  command -v "$tool" >/dev/null || { echo "compare.sh: $tool is not installed" >&2; exit 1; }
done
mkdir -p "$WORK"
OUT=$WORK/out
mkdir -p "$OUT"

# ---- Test pictures ----------------------------------------------------------------------
# A plasma fractal, softened a little: colour gradients with fine texture everywhere, so
# that no filter sees flat areas. Made once and kept in $WORK.
make_pictures() {
  if [[ ! -s $WORK/big.ppm ]]; then
    echo "Making the 6000 x 4000 test picture (once)..." >&2
    "$IM" -seed 7 -size 6000x4000 plasma:fractal -blur 0x2 -depth 8 "$WORK/big.tmp.ppm"
    mv "$WORK/big.tmp.ppm" "$WORK/big.ppm"
  fi
  [[ -s $WORK/small.ppm ]] || "$IM" "$WORK/big.ppm" -resize 1500x1000 -depth 8 "$WORK/small.ppm"
  # For a qel-convert without the PPM reader: the same pixels as 24-bit BMP.
  [[ -s $WORK/big.bmp ]] || "$IM" "$WORK/big.ppm" -type TrueColor "BMP3:$WORK/big.bmp"
  [[ -s $WORK/small.bmp ]] || "$IM" "$WORK/small.ppm" -type TrueColor "BMP3:$WORK/small.bmp"
  if [[ ! -s $WORK/big.tif ]] && command -v tiffcp >/dev/null; then
    "$IM" "$WORK/big.ppm" -compress None "$WORK/big.raw.tif"
    tiffcp -c lzw:2 "$WORK/big.raw.tif" "$WORK/big.tif"
    rm -f "$WORK/big.raw.tif"
  fi
}

# The input qel-convert reads: the PPM when this build reads PPM, otherwise the BMP.
qel_input() {
  local base=$1
  if "$QEL" --info "$WORK/$base.ppm" >/dev/null 2>&1; then
    echo "$WORK/$base.ppm"
  else
    echo "$WORK/$base.bmp"
  fi
}

# ---- Timing -----------------------------------------------------------------------------
# run_once NAME COMMAND...: runs the command once, appends "seconds peak_kb" to
# $WORK/NAME.times. A failing command is reported and its time left out.
run_once() {
  local name=$1
  shift
  local start end kb
  start=$(date +%s.%N)
  if ! /usr/bin/time -f "%M" -o "$WORK/$name.mem" "$@" >/dev/null 2>"$WORK/$name.err"; then
    echo "  $name failed: $(tail -n 2 "$WORK/$name.err" | tr '\n' ' ')" >&2
    return 0
  fi
  end=$(date +%s.%N)
  kb=$(tail -n 1 "$WORK/$name.mem")
  awk -v s="$start" -v e="$end" -v kb="$kb" 'BEGIN { printf "%.4f %d\n", e - s, kb }' >>"$WORK/$name.times"
}

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else print v[int((NR + 1) / 2)] }'; }

# run_case TITLE NOTE then lines "NAME|COMMAND" on standard input (the first is ours).
# The tools take turns, run after run, so that a change in the machine's load falls
# on all of them alike.
run_case() {
  local title=$1 note=$2
  local -a names commands
  local line
  while IFS= read -r line; do
    [[ -z $line ]] && continue
    names+=("${line%%|*}")
    commands+=("${line#*|}")
  done
  local i run
  for i in "${!names[@]}"; do rm -f "$WORK/${names[$i]}.times"; done
  # One untimed run each: the input file in the page cache, the tools' libraries loaded.
  for i in "${!names[@]}"; do bash -c "${commands[$i]}" >/dev/null 2>&1 || true; done
  for ((run = 1; run <= RUNS; ++run)); do
    for i in "${!names[@]}"; do run_once "${names[$i]}" bash -c "${commands[$i]}"; done
  done

  echo
  echo "== $title"
  [[ -n $note ]] && echo "   ($note)"
  printf "   %-22s %12s %12s\n" "tool" "median s" "peak MB"
  local ours="" best="" best_name="" im="" t kb
  for i in "${!names[@]}"; do
    local file=$WORK/${names[$i]}.times
    if [[ ! -s $file ]]; then
      printf "   %-22s %12s %12s\n" "${names[$i]}" "failed" "-"
      continue
    fi
    t=$(cut -d' ' -f1 "$file" | median)
    kb=$(cut -d' ' -f2 "$file" | median)
    printf "   %-22s %12.3f %12.1f\n" "${names[$i]}" "$t" "$(awk -v kb="$kb" 'BEGIN { print kb / 1024 }')"
    [[ ${names[$i]} == ImageMagick ]] && im=$t
    if ((i == 0)); then
      ours=$t
      OURS_PEAK_KB=$kb
    elif [[ -z $best ]] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then
      best=$t
      best_name=${names[$i]}
    fi
  done
  if [[ -n $ours && -n $best ]]; then
    printf "   ratio qel-convert / fastest peer (%s): %.2f\n" "$best_name" "$(awk -v o="$ours" -v b="$best" 'BEGIN { print o / b }')"
  fi
  if [[ -n $ours && -n $im ]]; then
    printf "   ratio qel-convert / ImageMagick: %.2f\n" "$(awk -v o="$ours" -v b="$im" 'BEGIN { print o / b }')"
  fi
}

# ---- Cases ------------------------------------------------------------------------------
case_downscale() {
  local in note=""
  in=$(qel_input big)
  [[ $in == *.bmp ]] && note="qel-convert reads the BMP copy: this build has no PPM reader"
  run_case "Lanczos3 downscale 6000x4000 -> 1500x1000" "$note" <<EOF
qel-convert|"$QEL" "$in" "$OUT/q.bmp" --resize 1500x1000 --filter Lanczos3 --overwrite
vips|vips resize "$WORK/big.ppm" "$OUT/v.v" 0.25 --kernel lanczos3
GraphicsMagick|gm convert "$WORK/big.ppm" -filter Lanczos -resize '1500x1000!' "$OUT/g.bmp"
ImageMagick|$IM "$WORK/big.ppm" -filter Lanczos -resize '1500x1000!' "$OUT/i.bmp"
Pillow|$PY -c "from PIL import Image; Image.open('$WORK/big.ppm').resize((1500, 1000), Image.LANCZOS).save('$OUT/p.bmp')"
EOF
  # The engine may hold the source, the intermediate picture (new width x old height)
  # and the target, and 10 % more.
  local budget_kb
  budget_kb=$(awk 'BEGIN { printf "%d", (6000 * 4000 * 3 + 1500 * 4000 * 3 + 1500 * 1000 * 3) * 1.1 / 1024 }')
  if [[ -n ${OURS_PEAK_KB:-} ]]; then
    printf "   qel-convert peak %.1f MB, budget %.1f MB (source + intermediate + target + 10 %%): %s\n" \
      "$(awk -v kb="$OURS_PEAK_KB" 'BEGIN { print kb / 1024 }')" "$(awk -v kb="$budget_kb" 'BEGIN { print kb / 1024 }')" \
      "$( ((OURS_PEAK_KB <= budget_kb)) && echo within || echo OVER)"
  fi
}

case_upscale() {
  local in note=""
  in=$(qel_input small)
  [[ $in == *.bmp ]] && note="qel-convert reads the BMP copy: this build has no PPM reader"
  run_case "Lanczos3 upscale 1500x1000 -> 6000x4000" "$note" <<EOF
qel-convert|"$QEL" "$in" "$OUT/q.bmp" --resize 6000x4000 --filter Lanczos3 --overwrite
vips|vips resize "$WORK/small.ppm" "$OUT/v.v" 4 --kernel lanczos3
GraphicsMagick|gm convert "$WORK/small.ppm" -filter Lanczos -resize '6000x4000!' "$OUT/g.bmp"
ImageMagick|$IM "$WORK/small.ppm" -filter Lanczos -resize '6000x4000!' "$OUT/i.bmp"
Pillow|$PY -c "from PIL import Image; Image.open('$WORK/small.ppm').resize((6000, 4000), Image.LANCZOS).save('$OUT/p.bmp')"
EOF
}

# ---- Load and save cases -----------------------------------------------------------------
# Each loads the 6000 x 4000 picture and saves it without resizing; add a case as a
# function here and a name in the list at the end.
# Reading an LZW-compressed TIFF and writing BMP. Runs once this build reads TIFF.
case_tiff_load() {
  if [[ ! -s $WORK/big.tif ]]; then
    echo && echo "== LZW TIFF load + BMP save: skipped (no tiffcp to make the file)"
    return
  fi
  if ! "$QEL" --info "$WORK/big.tif" >/dev/null 2>&1; then
    echo && echo "== LZW TIFF load + BMP save: skipped (this build does not read TIFF yet)"
    return
  fi
  run_case "LZW TIFF load 6000x4000 + BMP save" "" <<EOF
qel-convert|"$QEL" "$WORK/big.tif" "$OUT/q.bmp" --overwrite
vips|vips copy "$WORK/big.tif" "$OUT/v.v"
GraphicsMagick|gm convert "$WORK/big.tif" "$OUT/g.bmp"
ImageMagick|$IM "$WORK/big.tif" "$OUT/i.bmp"
Pillow|$PY -c "from PIL import Image; Image.open('$WORK/big.tif').save('$OUT/p.bmp')"
EOF
}

# Writing PNG (qel-convert: deflate level 8, Sub and Up row filters).
case_png_save() {
  local in note=""
  in=$(qel_input big)
  [[ $in == *.bmp ]] && note="qel-convert reads the BMP copy: this build has no PPM reader"
  run_case "PNG save 6000x4000" "$note" <<EOF
qel-convert|"$QEL" "$in" "$OUT/q.png" --overwrite
vips|vips copy "$WORK/big.ppm" "$OUT/v.png"
GraphicsMagick|gm convert "$WORK/big.ppm" "$OUT/g.png"
ImageMagick|$IM "$WORK/big.ppm" "$OUT/i.png"
Pillow|$PY -c "from PIL import Image; Image.open('$WORK/big.ppm').save('$OUT/p.png')"
EOF
}

# Writing GIF: a colour reduction to 256 colours, then LZW.
case_gif_save() {
  local in note=""
  in=$(qel_input big)
  [[ $in == *.bmp ]] && note="qel-convert reads the BMP copy: this build has no PPM reader"
  run_case "GIF save 6000x4000" "$note" <<EOF
qel-convert|"$QEL" "$in" "$OUT/q.gif" --overwrite
vips|vips copy "$WORK/big.ppm" "$OUT/v.gif"
GraphicsMagick|gm convert "$WORK/big.ppm" "$OUT/g.gif"
ImageMagick|$IM "$WORK/big.ppm" "$OUT/i.gif"
Pillow|$PY -c "from PIL import Image; Image.open('$WORK/big.ppm').save('$OUT/p.gif')"
EOF
}

# ---- WebP cases ---------------------------------------------------------------------------
# The peers that read and write WebP here (a peer built without it is left out).
# (The lists are taken whole first: grep -q stopping early would fail the pipe.)
webp_peers() {
  grep -q webpload <<<"$(vips -l 2>/dev/null)" && echo vips
  grep -q '^ *WEBP.* rw' <<<"$("$IM" -list format 2>/dev/null)" && echo ImageMagick
  grep -q '^ *WEBP.* rw' <<<"$(gm convert -list format 2>/dev/null)" && echo GraphicsMagick
  "$PY" -c "from PIL import features; import sys; sys.exit(not features.check('webp'))" 2>/dev/null && echo Pillow
  return 0
}

# Passes on the lines of run_case for qel-convert and the peers that handle WebP.
only_webp_peers() {
  local peers line
  peers=$(webp_peers)
  while IFS= read -r line; do
    if [[ ${line%%|*} == qel-convert ]] || grep -qx "${line%%|*}" <<<"$peers"; then echo "$line"; fi
  done
}

# Reading a lossy WebP (cwebp, quality 90) and writing BMP.
case_webp_load() {
  if ! command -v cwebp >/dev/null; then
    echo && echo "== WebP load + BMP save: skipped (no cwebp to make the file)"
    return
  fi
  [[ -s $WORK/big.webp ]] || cwebp -quiet -q 90 "$WORK/big.ppm" -o "$WORK/big.webp"
  only_webp_peers <<EOF | run_case "WebP load 6000x4000 + BMP save" ""
qel-convert|"$QEL" "$WORK/big.webp" "$OUT/q.bmp" --overwrite
vips|vips copy "$WORK/big.webp" "$OUT/v.v"
GraphicsMagick|gm convert "$WORK/big.webp" "$OUT/g.bmp"
ImageMagick|$IM "$WORK/big.webp" "$OUT/i.bmp"
Pillow|$PY -c "from PIL import Image; Image.open('$WORK/big.webp').save('$OUT/p.bmp')"
EOF
}

# Writing a lossy WebP at quality 90 (qel-convert's default).
case_webp_save() {
  local in note=""
  in=$(qel_input big)
  [[ $in == *.bmp ]] && note="qel-convert reads the BMP copy: this build has no PPM reader"
  only_webp_peers <<EOF | run_case "WebP save 6000x4000, quality 90" "$note"
qel-convert|"$QEL" "$in" "$OUT/q.webp" --overwrite
vips|vips copy "$WORK/big.ppm" "$OUT/v.webp[Q=90]"
GraphicsMagick|gm convert "$WORK/big.ppm" -quality 90 "$OUT/g.webp"
ImageMagick|$IM "$WORK/big.ppm" -quality 90 "$OUT/i.webp"
Pillow|$PY -c "from PIL import Image; Image.open('$WORK/big.ppm').save('$OUT/p.webp', quality=90)"
EOF
}

# ---- Main -------------------------------------------------------------------------------
cases=("$@")
((${#cases[@]})) || cases=(downscale upscale tiff-load png-save gif-save webp-load webp-save)
make_pictures
echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), $RUNS runs per tool, median wall time"
for c in "${cases[@]}"; do
  case $c in
    downscale) case_downscale ;;
    upscale) case_upscale ;;
    tiff-load) case_tiff_load ;;
    png-save) case_png_save ;;
    gif-save) case_gif_save ;;
    webp-load) case_webp_load ;;
    webp-save) case_webp_save ;;
    *) echo "compare.sh: unknown case $c" >&2; exit 2 ;;
  esac
done
