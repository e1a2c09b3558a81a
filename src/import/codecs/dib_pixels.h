// Decoding of the palette and the pixels that follow a BMP information header, shared
// by BMP files, packed bitmaps and the bitmaps inside icons.
#pragma once

#include <cstdint>

#include "imaging/picture.h"
#include "import/codecs/dib_header.h"

namespace qel {

class TStream;
class TBitmap;

// Where a bitmap's parts lie in the stream (absolute positions).
struct BmpLayout {
  std::uint64_t palette_pos = 0;  // right after the header and its masks
  std::uint64_t pixel_pos = 0;
  std::uint64_t data_end = 0;  // the pixels may not be read beyond this
};

// The layout of a packed bitmap whose header starts at header_pos: the pixels follow
// the palette directly.
BmpLayout PackedBmpLayout(const BmpInfoHeader& header, std::uint64_t header_pos, std::uint64_t data_end);

// Reads the palette of an indexed bitmap (at most 2^bits entries, fewer when the
// pixels start earlier) and the pixels into the bitmap:
// - 1, 4 and 8 bits (and RLE) give an indexed bitmap with that palette (2 bits and
//   RLE4 are widened to 8-bit indices);
// - JPEG and PNG compression (a whole file of that format in place of the pixels)
//   give what that decoder gives;
// - 16, 24 and 32 bits give a 24-bit bitmap, or a 32-bit alpha-blended transparent
//   one when an alpha mask gives some pixels an alpha below 255. An alpha mask whose
//   alpha is 0 everywhere is taken as unused: such files are opaque pictures from
//   writers that fill the mask but not the alpha.
// Pixel data shorter than the header says raises EReadError.
void DecodeBmpPixels(TStream& stream, const BmpInfoHeader& header, const BmpLayout& layout, TBitmap& bitmap);

// The palette of an indexed bitmap as DecodeBmpPixels reads it.
Palette ReadBmpPalette(TStream& stream, const BmpInfoHeader& header, const BmpLayout& layout);

}  // namespace qel
