#!/usr/bin/env bash
# Whole-process timings of qel-convert against the peer tools on two 6000 x 4000 pictures:
# a plasma fractal (smooth gradients with fine texture everywhere) and a mosaic of the
# photographs in tests/corpus/peer. Each tool is started afresh for every run, reads its
# input file, does the work and writes its output file. Prints, for every case and
# picture, each tool's median wall time and peak memory (resident set) over the runs and,
# for the saving cases, the size of the file it wrote (MB = 10^6 bytes); then the ratio of
# qel-convert's time to the fastest peer's and to ImageMagick's and, for the saving cases,
# to the fastest peer whose file is at most 5 % larger than ours (a peer that saves time
# by compressing less does not count; PNG only: GIF files differ in their colours).
#
#   bench/compare.sh [CASE...]   CASE: downscale upscale tiff-load png-save png-save-level8
#                                gif-save webp-load webp-save (the default: all eight; the
#                                peers' PNG and GIF encoders take several seconds a run)
#
# png-save runs every tool with its own defaults; png-save-level8 asks the peers for
# zlib's level 8, the strength qel-convert's files are held to (vips compression=8,
# Pillow compress_level=8, ImageMagick and GraphicsMagick -quality 85). The WebP cases
# take the peers built with WebP.
#
# Environment: BUILD (the build folder, default build/), RUNS (runs per tool, default 5),
# WORK (where the test pictures are made and kept, default $TMPDIR/qel-compare),
# PICTURES (which pictures, default "plasma photo"), BASELINE (another qel-convert, say a
# build of an earlier commit: timed beside ours as "qel-convert before", with the ratio of
# ours to it).
#
# Needs /usr/bin/time, ImageMagick (/usr/bin/convert), GraphicsMagick (gm), libvips-tools
# (vips), Pillow (/usr/bin/python3), libtiff-tools (tiffcp) and webp (cwebp).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
RUNS=${RUNS:-5}
WORK=${WORK:-${TMPDIR:-/tmp}/qel-compare}
PICTURES=${PICTURES:-plasma photo}
BASELINE=${BASELINE:-}
QEL=$BUILD/qel-convert
IM=/usr/bin/convert
PY=/usr/bin/python3
CORPUS=$ROOT/tests/corpus/peer
# The corpus's photographs (not its drawings, charts or screenshots), the largest first.
PHOTOS=(xmp_test.jpg junk_jpeg_header.jpg exif_typeerror.jpg iptc_roundUp.jpg
  sugarshack_bad_mpo_header.jpg flower.jpg app13-multiple.jpg hopper.jpg)

[[ -x $QEL ]] || { echo "compare.sh: $QEL not built" >&2; exit 1; }
[[ -z $BASELINE || -x $BASELINE ]] || { echo "compare.sh: BASELINE $BASELINE is not a program" >&2; exit 1; }
for tool in /usr/bin/time "$IM" gm vips "$PY"; do
  command -v "$tool" >/dev/null || { echo "compare.sh: $tool is not installed" >&2; exit 1; }
done
mkdir -p "$WORK"
OUT=$WORK/out
mkdir -p "$OUT"

# ---- Test pictures ----------------------------------------------------------------------
# Tiles the photographs at their own size over a 6000 x 4000 canvas, each one put at the
# lowest point of the filled part (the leftmost when several are as low), until every
# column is full: no gaps, only photographs; the edges crop the last ones.
make_mosaic() {
  "$PY" - "$1" "$CORPUS" "${PHOTOS[@]}" <<'PYTHON'
import sys, warnings
from PIL import Image
warnings.simplefilter("ignore")
out, folder, names = sys.argv[1], sys.argv[2], sys.argv[3:]
width, height = 6000, 4000
photos = [Image.open(folder + "/" + name).convert("RGB") for name in names]
canvas = Image.new("RGB", (width, height))
filled = [0] * width
placed = 0
while min(filled) < height:
    top = min(filled)
    x = filled.index(top)
    photo = photos[placed % len(photos)]
    placed += 1
    canvas.paste(photo, (x, top))
    for column in range(x, min(width, x + photo.width)):
        filled[column] = max(filled[column], top + photo.height)
canvas.save(out, "PPM")
PYTHON
}

# The plasma: a plasma fractal, softened a little: colour gradients with fine texture
# everywhere, so that no filter sees flat areas. The photo: the mosaic above. Each is
# made once and kept in $WORK with a 1500 x 1000 copy, BMP copies and an LZW TIFF.
make_pictures() {
  local picture
  for picture in $PICTURES; do
    if [[ ! -s $WORK/$picture.ppm ]]; then
      echo "Making the 6000 x 4000 $picture picture (once)..." >&2
      case $picture in
        plasma) "$IM" -seed 7 -size 6000x4000 plasma:fractal -blur 0x2 -depth 8 "$WORK/$picture.tmp.ppm" ;;
        photo) make_mosaic "$WORK/$picture.tmp.ppm" ;;
        *) echo "compare.sh: unknown picture $picture" >&2; exit 2 ;;
      esac
      mv "$WORK/$picture.tmp.ppm" "$WORK/$picture.ppm"
    fi
    [[ -s $WORK/$picture-small.ppm ]] || "$IM" "$WORK/$picture.ppm" -resize 1500x1000 -depth 8 "$WORK/$picture-small.ppm"
    # For a qel-convert without the PPM reader: the same pixels as 24-bit BMP.
    local base
    for base in "$picture" "$picture-small"; do
      [[ -s $WORK/$base.bmp ]] || "$IM" "$WORK/$base.ppm" -type TrueColor "BMP3:$WORK/$base.bmp"
    done
    if [[ ! -s $WORK/$picture.tif ]] && command -v tiffcp >/dev/null; then
      "$IM" "$WORK/$picture.ppm" -compress None "$WORK/$picture.raw.tif"
      tiffcp -c lzw:2 "$WORK/$picture.raw.tif" "$WORK/$picture.tif"
      rm -f "$WORK/$picture.raw.tif"
    fi
  done
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

# run_case TITLE NOTE [lossless] then lines "NAME|OUTPUT|COMMAND" on standard input, ours
# first. OUTPUT is the file the command writes, for the saving cases (its size is
# printed), or empty. For a lossless format ("lossless"), the peers whose files are at
# most 5 % larger than ours are compared on their own. With BASELINE set, "qel-convert before" runs the same command as ours with the
# baseline program, writing beside ours. The tools take turns, run after run, so that a
# change in the machine's load falls on all of them alike.
run_case() {
  local title=$1 note=$2 lossless=${3:-}
  local -a names outputs commands
  local line
  while IFS= read -r line; do
    [[ -z $line ]] && continue
    names+=("${line%%|*}")
    line=${line#*|}
    outputs+=("${line%%|*}")
    commands+=("${line#*|}")
    if [[ -n $BASELINE && ${#names[@]} -eq 1 ]]; then
      local before=${commands[0]//"$QEL"/"$BASELINE"} before_output=""
      if [[ -n ${outputs[0]} ]]; then
        before_output=${outputs[0]%.*}-before.${outputs[0]##*.}
        before=${before//"${outputs[0]}"/"$before_output"}
      fi
      names+=("qel-convert before")
      outputs+=("$before_output")
      commands+=("$before")
    fi
  done
  local i run
  for i in "${!names[@]}"; do
    rm -f "$WORK/${names[$i]}.times"
    [[ -z ${outputs[$i]} ]] || rm -f "${outputs[$i]}"
  done
  # One untimed run each: the input file in the page cache, the tools' libraries loaded.
  for i in "${!names[@]}"; do bash -c "${commands[$i]}" >/dev/null 2>&1 || true; done
  for ((run = 1; run <= RUNS; ++run)); do
    for i in "${!names[@]}"; do run_once "${names[$i]}" bash -c "${commands[$i]}"; done
  done

  echo
  echo "== $title"
  [[ -n $note ]] && echo "   ($note)"
  printf "   %-22s %12s %12s %12s\n" "tool" "median s" "peak MB" "file MB"
  local ours="" ours_size="" before="" best="" best_name="" like="" like_name="" im="" t kb size shown
  for i in "${!names[@]}"; do
    local file=$WORK/${names[$i]}.times
    if [[ ! -s $file ]]; then
      printf "   %-22s %12s %12s %12s\n" "${names[$i]}" "failed" "-" "-"
      continue
    fi
    t=$(cut -d' ' -f1 "$file" | median)
    kb=$(cut -d' ' -f2 "$file" | median)
    size="" shown="-"
    if [[ -n ${outputs[$i]} && -s ${outputs[$i]} ]]; then
      size=$(stat -c %s "${outputs[$i]}")
      shown=$(awk -v b="$size" 'BEGIN { printf "%.2f", b / 1e6 }')
    fi
    printf "   %-22s %12.3f %12.1f %12s\n" "${names[$i]}" "$t" "$(awk -v kb="$kb" 'BEGIN { print kb / 1024 }')" "$shown"
    [[ ${names[$i]} == ImageMagick ]] && im=$t
    if ((i == 0)); then
      ours=$t
      ours_size=$size
      OURS_PEAK_KB=$kb
      continue
    fi
    if [[ ${names[$i]} == "qel-convert before" ]]; then
      before=$t
      continue
    fi
    if [[ -z $best ]] || faster "$t" "$best"; then
      best=$t
      best_name=${names[$i]}
    fi
    if [[ -n $size && -n $ours_size ]] && awk -v s="$size" -v o="$ours_size" 'BEGIN { exit !(s <= 1.05 * o) }' &&
      { [[ -z $like ]] || faster "$t" "$like"; }; then
      like=$t
      like_name=${names[$i]}
    fi
  done
  [[ -z $ours || -z $best ]] || echo "   ratio qel-convert / fastest peer ($best_name): $(ratio "$ours" "$best")"
  [[ -z $ours || -z $im ]] || echo "   ratio qel-convert / ImageMagick: $(ratio "$ours" "$im")"
  if [[ -n $lossless && -n $ours && -n $ours_size ]]; then
    if [[ -n $like ]]; then
      echo "   ratio qel-convert / fastest peer whose file is at most 5 % larger ($like_name): $(ratio "$ours" "$like")"
    else
      echo "   every peer's file is more than 5 % larger than ours"
    fi
  fi
  [[ -z $ours || -z $before ]] || echo "   ratio qel-convert / qel-convert before: $(ratio "$ours" "$before")"
  return 0
}

faster() { awk -v t="$1" -v b="$2" 'BEGIN { exit !(t < b) }'; }
ratio() { awk -v o="$1" -v b="$2" 'BEGIN { printf "%.2f", o / b }'; }

# ---- Cases ------------------------------------------------------------------------------
# Each case takes the picture's name (plasma or photo).
bmp_note() {
  [[ $1 != *.bmp ]] || echo "qel-convert reads the BMP copy: this build has no PPM reader"
}

case_downscale() {
  local p=$1 in
  in=$(qel_input "$p")
  run_case "Lanczos3 downscale 6000x4000 -> 1500x1000, $p" "$(bmp_note "$in")" <<EOF
qel-convert||"$QEL" "$in" "$OUT/q.bmp" --resize 1500x1000 --filter Lanczos3 --overwrite
vips||vips resize "$WORK/$p.ppm" "$OUT/v.v" 0.25 --kernel lanczos3
GraphicsMagick||gm convert "$WORK/$p.ppm" -filter Lanczos -resize '1500x1000!' "$OUT/g.bmp"
ImageMagick||$IM "$WORK/$p.ppm" -filter Lanczos -resize '1500x1000!' "$OUT/i.bmp"
Pillow||$PY -c "from PIL import Image; Image.open('$WORK/$p.ppm').resize((1500, 1000), Image.LANCZOS).save('$OUT/p.bmp')"
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
  local p=$1 in
  in=$(qel_input "$p-small")
  run_case "Lanczos3 upscale 1500x1000 -> 6000x4000, $p" "$(bmp_note "$in")" <<EOF
qel-convert||"$QEL" "$in" "$OUT/q.bmp" --resize 6000x4000 --filter Lanczos3 --overwrite
vips||vips resize "$WORK/$p-small.ppm" "$OUT/v.v" 4 --kernel lanczos3
GraphicsMagick||gm convert "$WORK/$p-small.ppm" -filter Lanczos -resize '6000x4000!' "$OUT/g.bmp"
ImageMagick||$IM "$WORK/$p-small.ppm" -filter Lanczos -resize '6000x4000!' "$OUT/i.bmp"
Pillow||$PY -c "from PIL import Image; Image.open('$WORK/$p-small.ppm').resize((6000, 4000), Image.LANCZOS).save('$OUT/p.bmp')"
EOF
}

# ---- Load and save cases -----------------------------------------------------------------
# Each loads the 6000 x 4000 picture and saves it without resizing; add a case as a
# function here and a name in the lists at the end.
# Reading an LZW-compressed TIFF and writing BMP. Runs once this build reads TIFF.
case_tiff_load() {
  local p=$1
  if [[ ! -s $WORK/$p.tif ]]; then
    echo && echo "== LZW TIFF load + BMP save, $p: skipped (no tiffcp to make the file)"
    return
  fi
  if ! "$QEL" --info "$WORK/$p.tif" >/dev/null 2>&1; then
    echo && echo "== LZW TIFF load + BMP save, $p: skipped (this build does not read TIFF yet)"
    return
  fi
  run_case "LZW TIFF load 6000x4000 + BMP save, $p" "" <<EOF
qel-convert||"$QEL" "$WORK/$p.tif" "$OUT/q.bmp" --overwrite
vips||vips copy "$WORK/$p.tif" "$OUT/v.v"
GraphicsMagick||gm convert "$WORK/$p.tif" "$OUT/g.bmp"
ImageMagick||$IM "$WORK/$p.tif" "$OUT/i.bmp"
Pillow||$PY -c "from PIL import Image; Image.open('$WORK/$p.tif').save('$OUT/p.bmp')"
EOF
}

# Writing PNG, every tool at its defaults (qel-convert: Sub and Up row filters, deflated
# at least as tightly as zlib's level 8).
case_png_save() {
  local p=$1 in
  in=$(qel_input "$p")
  run_case "PNG save 6000x4000, $p" "$(bmp_note "$in")" lossless <<EOF
qel-convert|$OUT/q.png|"$QEL" "$in" "$OUT/q.png" --overwrite
vips|$OUT/v.png|vips copy "$WORK/$p.ppm" "$OUT/v.png"
GraphicsMagick|$OUT/g.png|gm convert "$WORK/$p.ppm" "$OUT/g.png"
ImageMagick|$OUT/i.png|$IM "$WORK/$p.ppm" "$OUT/i.png"
Pillow|$OUT/p.png|$PY -c "from PIL import Image; Image.open('$WORK/$p.ppm').save('$OUT/p.png')"
EOF
}

# Writing PNG with the peers asked for zlib's level 8, the strength ours is held to
# (ImageMagick's and GraphicsMagick's quality 85: level 8, their adaptive row filters).
case_png_save_level8() {
  local p=$1 in
  in=$(qel_input "$p")
  run_case "PNG save 6000x4000, $p, peers at zlib level 8" "$(bmp_note "$in")" lossless <<EOF
qel-convert|$OUT/q8.png|"$QEL" "$in" "$OUT/q8.png" --overwrite
vips|$OUT/v8.png|vips copy "$WORK/$p.ppm" "$OUT/v8.png[compression=8]"
GraphicsMagick|$OUT/g8.png|gm convert "$WORK/$p.ppm" -quality 85 "$OUT/g8.png"
ImageMagick|$OUT/i8.png|$IM "$WORK/$p.ppm" -quality 85 "$OUT/i8.png"
Pillow|$OUT/p8.png|$PY -c "from PIL import Image; Image.open('$WORK/$p.ppm').save('$OUT/p8.png', compress_level=8)"
EOF
}

# Writing GIF: a colour reduction to 256 colours, then LZW.
case_gif_save() {
  local p=$1 in
  in=$(qel_input "$p")
  run_case "GIF save 6000x4000, $p" "$(bmp_note "$in")" <<EOF
qel-convert|$OUT/q.gif|"$QEL" "$in" "$OUT/q.gif" --overwrite
vips|$OUT/v.gif|vips copy "$WORK/$p.ppm" "$OUT/v.gif"
GraphicsMagick|$OUT/g.gif|gm convert "$WORK/$p.ppm" "$OUT/g.gif"
ImageMagick|$OUT/i.gif|$IM "$WORK/$p.ppm" "$OUT/i.gif"
Pillow|$OUT/p.gif|$PY -c "from PIL import Image; Image.open('$WORK/$p.ppm').save('$OUT/p.gif')"
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
  local p=$1
  if ! command -v cwebp >/dev/null; then
    echo && echo "== WebP load + BMP save, $p: skipped (no cwebp to make the file)"
    return
  fi
  [[ -s $WORK/$p.webp ]] || cwebp -quiet -q 90 "$WORK/$p.ppm" -o "$WORK/$p.webp"
  only_webp_peers <<EOF | run_case "WebP load 6000x4000 + BMP save, $p" ""
qel-convert||"$QEL" "$WORK/$p.webp" "$OUT/q.bmp" --overwrite
vips||vips copy "$WORK/$p.webp" "$OUT/v.v"
GraphicsMagick||gm convert "$WORK/$p.webp" "$OUT/g.bmp"
ImageMagick||$IM "$WORK/$p.webp" "$OUT/i.bmp"
Pillow||$PY -c "from PIL import Image; Image.open('$WORK/$p.webp').save('$OUT/p.bmp')"
EOF
}

# Writing a lossy WebP at quality 90 (qel-convert's default).
case_webp_save() {
  local p=$1 in
  in=$(qel_input "$p")
  only_webp_peers <<EOF | run_case "WebP save 6000x4000, quality 90, $p" "$(bmp_note "$in")"
qel-convert|$OUT/q.webp|"$QEL" "$in" "$OUT/q.webp" --overwrite
vips|$OUT/v.webp|vips copy "$WORK/$p.ppm" "$OUT/v.webp[Q=90]"
GraphicsMagick|$OUT/g.webp|gm convert "$WORK/$p.ppm" -quality 90 "$OUT/g.webp"
ImageMagick|$OUT/i.webp|$IM "$WORK/$p.ppm" -quality 90 "$OUT/i.webp"
Pillow|$OUT/p.webp|$PY -c "from PIL import Image; Image.open('$WORK/$p.ppm').save('$OUT/p.webp', quality=90)"
EOF
}

# ---- Main -------------------------------------------------------------------------------
all_cases=(downscale upscale tiff-load png-save png-save-level8 gif-save webp-load webp-save)
cases=("$@")
((${#cases[@]})) || cases=("${all_cases[@]}")
for c in "${cases[@]}"; do
  [[ " ${all_cases[*]} " == *" $c "* ]] || { echo "compare.sh: unknown case $c" >&2; exit 2; }
done
make_pictures
echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), $RUNS runs per tool, median wall time"
for c in "${cases[@]}"; do
  for p in $PICTURES; do
    "case_${c//-/_}" "$p"
  done
done
