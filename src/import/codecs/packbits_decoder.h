// PackBits run-length decoding (TIFF, Photoshop, Paint Shop Pro).
#pragma once

#include "import/codecs/decoder.h"

namespace qel {

// Control byte n, read as signed: 0..127 copies the next n + 1 bytes, -127..-1 repeats
// the next byte 1 - n times, -128 is a no-op that consumes only itself.
//
// Calling contract: packed_size is the number of compressed bytes at source,
// unpacked_size the number of bytes wanted at dest. Decoding stops as soon as either is
// used up; a literal or a run that would cross the end of the output is cut there, a
// literal that runs past the end of the input copies what is there, and a run whose
// value byte is missing writes nothing. Neither pointer is advanced for the caller.
class TPackbitsRLEDecoder : public TDecoder {
 public:
  void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
              std::size_t unpacked_size) override;
};

}  // namespace qel
