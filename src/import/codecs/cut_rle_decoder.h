// Dr. Halo run-length decoding, one line per call.
#pragma once

#include "import/codecs/decoder.h"

namespace qel {

// A line is a 2-byte length (skipped), then runs, then a 0 byte. Control byte c: 0 ends
// the line; count = c & 0x7F; with bit 7 set the next byte is repeated count times,
// otherwise count literal bytes follow.
//
// Calling contract: source points at the line's length word and packed_size is the
// number of bytes left in the buffer from there (the rest of the file may be passed);
// dest is the scanline and unpacked_size its width in bytes. The caller's source pointer
// is advanced past the line's terminating 0 byte, so consecutive calls decode
// consecutive lines; when the input ends before a 0 byte it is left at the end of the
// input. A line that holds more pixels than unpacked_size is still read up to its 0 byte
// (the extra pixels are dropped) so that the next line starts where it should. The
// destination pointer is not advanced.
class TCUTRLEDecoder : public TDecoder {
 public:
  void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
              std::size_t unpacked_size) override;
};

}  // namespace qel
