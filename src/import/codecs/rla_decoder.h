// Alias/Wavefront run-length decoding.
#pragma once

#include "import/codecs/decoder.h"

namespace qel {

// Signed byte n: negative copies the next -n bytes, zero or positive repeats the next
// byte n + 1 times.
//
// Calling contract: one channel of one row per call; packed_size is the channel's
// stored length, unpacked_size the row width in bytes. Decoding stops when either is
// used up; runs and literals are cut at the end of the output, literals also at the end
// of the input. Neither pointer is advanced.
class TRLADecoder : public TDecoder {
 public:
  void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
              std::size_t unpacked_size) override;
};

}  // namespace qel
