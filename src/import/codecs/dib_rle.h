// Run-length decoding of BMP pixel data (RLE8 and RLE4) into 8-bit palette indices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qel {

struct BmpRleTarget {
  std::span<std::uint8_t> pixels;  // one index byte a pixel
  std::size_t stride = 0;          // bytes from one row to the next
  int width = 0;
  int height = 0;
  bool bottom_up = true;  // the stream's first row is the picture's bottom row
};

// Decodes the stream into the target, which the caller has filled with the index the
// skipped pixels keep (0). Runs past the end of a row are cut at the row's end and
// deltas past the picture's edge end the decoding: nothing is ever written outside
// the target. A stream that ends before the end-of-bitmap code while rows are still
// missing raises EReadError; a target smaller than its size says raises EInvalidGraphic.
void DecodeBmpRle(std::span<const std::uint8_t> data, bool rle4, const BmpRleTarget& target);

}  // namespace qel
