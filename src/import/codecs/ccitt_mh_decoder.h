// Modified Huffman fax decoding (TIFF compression 2, and 32771 with word alignment).
#pragma once

#include "import/codecs/ccitt_decoder.h"

namespace qel {

// Rows of alternating white and black runs, starting white, without end-of-line codes.
// A completed row drops the rest of its last input byte (and, word aligned, one more
// byte when that leaves an odd position), and the next row starts white. Runs of 0 and
// special codes write nothing; the colour changes after every run read.
//
// Calling contract: one strip per call. packed_size is the strip's byte count,
// unpacked_size the strip's size in bytes (rows x ((width + 7) / 8)). The output is
// zeroed first, then filled until the input is used up or every row is complete; runs
// are cut at the end of their row and nothing is written past unpacked_size. A width of
// 0 leaves the output zeroed. The input bytes are never modified (bit reversal happens
// while reading). Neither pointer is advanced.
class TCCITTMHDecoder : public TCCITTDecoder {
 public:
  using TCCITTDecoder::TCCITTDecoder;

  void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
              std::size_t unpacked_size) override;
};

}  // namespace qel
