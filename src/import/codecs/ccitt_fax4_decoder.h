// CCITT Group 4 fax decoding (TIFF compression 4, ITU-T T.6).
#pragma once

#include "import/codecs/ccitt_decoder.h"
#include "import/codecs/ccitt_mode_decoder.h"

namespace qel {

// Every row is coded in modes against the row before; the first row of a strip is read
// against a white row. There are no end-of-line codes between rows: an end-of-line code
// (the end of the facsimile block), an invalid code or a change left of the coding
// position ends the strip, and the rows not reached stay white. The options are not
// used.
//
// Calling contract: one strip (or tile) per call. packed_size is the strip's byte
// count, unpacked_size the strip's size in bytes (rows x ((width + 7) / 8)). The output
// is zeroed first, then filled row by row until the input is used up or every row is
// done; nothing is written past unpacked_size. A width of 0 leaves the output zeroed.
// The input bytes are never modified (bit reversal happens while reading). Neither
// pointer is advanced.
class TCCITTFax4Decoder : public TCCITTDecoder {
 public:
  using TCCITTDecoder::TCCITTDecoder;

  void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
              std::size_t unpacked_size) override;

 private:
  codec::FaxModeDecoder modes_;
};

}  // namespace qel
