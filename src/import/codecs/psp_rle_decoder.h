// Paint Shop Pro run-length decoding.
#pragma once

#include "import/codecs/decoder.h"

namespace qel {

// Byte a above 128 repeats the next byte a - 128 times; a = 128 consumes itself and the
// next byte and writes nothing; a below 128 copies the next a bytes.
//
// Calling contract: packed_size is the channel's compressed length, unpacked_size the
// size of the channel buffer. Decoding stops when either is used up; runs and literals
// are cut at the end of the output, literals also at the end of the input. Neither
// pointer is advanced.
class TPSPRLEDecoder : public TDecoder {
 public:
  void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
              std::size_t unpacked_size) override;
};

}  // namespace qel
