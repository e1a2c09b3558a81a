#!/usr/bin/python3
"""Decodes a picture with Pillow and writes it as a binary PPM (P6), transparent and
partly transparent parts composited onto white, the way the tool shows pictures. JPEG
files are turned upright by their Exif orientation, as the tool turns them.

usage: pillow_decode.py INPUT OUTPUT.ppm [--keep-alpha-ignored]
  --keep-alpha-ignored  drop the alpha channel instead of compositing (for readers that
                        keep alpha in the bitmap without drawing with it)
Exit status 3 when Pillow cannot decode the file.
"""
import sys

from PIL import Image, ImageOps


def main():
    src, dst = sys.argv[1], sys.argv[2]
    ignore_alpha = "--keep-alpha-ignored" in sys.argv[3:]
    try:
        im = Image.open(src)
        im.load()
    except Exception as e:  # Pillow's refusal is an answer, not a test failure
        print("pillow: %s" % e, file=sys.stderr)
        sys.exit(3)
    if im.format == "JPEG":
        im = ImageOps.exif_transpose(im)
    if im.mode in ("I;16", "I;16B", "I;16L", "I"):
        # 16-bit gray: the tool keeps the high byte.
        im = im.point(lambda v: v / 256).convert("L") if im.mode != "I" else im.convert("L")
    has_alpha = im.mode in ("RGBA", "LA", "PA") or (im.mode in ("P", "L", "RGB") and "transparency" in im.info)
    if has_alpha and not ignore_alpha:
        rgba = im.convert("RGBA")
        white = Image.new("RGBA", rgba.size, (255, 255, 255, 255))
        out = Image.alpha_composite(white, rgba).convert("RGB")
    else:
        out = im.convert("RGB")
    out.save(dst, "PPM")


if __name__ == "__main__":
    main()
