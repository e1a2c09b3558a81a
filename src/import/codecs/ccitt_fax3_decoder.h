// CCITT Group 3 fax decoding (TIFF compression 3), one- and two-dimensional rows.
#pragma once

#include "import/codecs/ccitt_decoder.h"
#include "import/codecs/ccitt_mode_decoder.h"

namespace qel {

// Every row follows an end-of-line code (eleven or more 0 bits, then a 1). Before a row
// the decoder searches for that code, unless the previous row already ended on one.
// When the options ask for two-dimensional coding, a tag bit follows each end-of-line
// code: 1 for a row of runs in the modified Huffman codes, 0 for a row coded in modes
// against the row before (the first row of a strip is read against a white row). A row
// ends when it is complete, at an end-of-line code or at an invalid code; a row cut
// short keeps its remaining pixels white and the next row starts on the following
// output row. An end-of-line code that ends a row before any pixel (as in the closing
// sequence of the data) does not count as a row.
//
// Calling contract: one strip per call. packed_size is the strip's byte count,
// unpacked_size the strip's size in bytes (rows x ((width + 7) / 8)). The output is
// zeroed first, then filled until the input is used up or every row is done; nothing
// is written past unpacked_size. A width of 0 leaves the output zeroed. The input bytes
// are never modified. Neither pointer is advanced.
class TCCITTFax3Decoder : public TCCITTDecoder {
 public:
  using TCCITTDecoder::TCCITTDecoder;

  void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
              std::size_t unpacked_size) override;

 private:
  // Reads up to and including the 1 bit of the next end-of-line code.
  static void SkipToEndOfLine(codec::FaxBitReader& in);

  codec::FaxModeDecoder modes_;
};

}  // namespace qel
