// ThunderScan 4-bit decoding (TIFF compression 32809).
#pragma once

#include <cstdint>

#include "import/codecs/decoder.h"

namespace qel {

// Pixels are 4 bits, two a byte, high nibble first. Each row is coded on its own: the
// last pixel is 0 at its start, and codes are read until the row's pixels are there.
// By the top two bits of a code byte c: 00 repeats the last pixel c times; 01 gives up
// to three pixels from 2-bit deltas (0, +1, none, -1); 10 gives up to two pixels from
// 3-bit deltas (0, +1, +2, +3, none, -3, -2, -1); 11 gives the pixel c & 0x0F. Every
// pixel written becomes the last pixel (its low 4 bits).
//
// Calling contract: one strip per call. width (given at construction) is the row width
// in pixels; rows take (width + 1) / 2 bytes. packed_size is the strip's byte count,
// unpacked_size the strip's size in bytes; rows are decoded while output is wanted and
// input remains. A run or delta code that would cross the end of a row is cut there.
// Output bytes that the input does not reach are left as they were, and a width of 0
// decodes nothing. Neither pointer is advanced.
class TThunderDecoder : public TDecoder {
 public:
  explicit TThunderDecoder(std::uint32_t width) : width_(width) {}

  void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
              std::size_t unpacked_size) override;

 private:
  std::uint32_t width_;
};

}  // namespace qel
