// PCX run-length decoding.
#pragma once

#include "import/codecs/decoder.h"

namespace qel {

// A byte below 0xC0 is a literal pixel byte; a byte c from 0xC0 up repeats the next byte
// (c & 0x3F) times. A count of 0 (0xC0) writes nothing but still consumes both bytes.
//
// Calling contract: packed_size is the number of compressed bytes at source (the whole
// image's data may be passed at once), unpacked_size the number of bytes wanted. Decoding
// stops when the output is complete or the input is used up, whichever comes first; a
// run crossing the end of the output is cut there. Neither pointer is advanced.
class TPCXRLEDecoder : public TDecoder {
 public:
  void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
              std::size_t unpacked_size) override;
};

}  // namespace qel
