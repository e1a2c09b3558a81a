// GIF variable-length LZW decoding (codes packed least significant bit first).
#pragma once

#include "import/codecs/decoder.h"
#include "import/codecs/lzw_string_table.h"

namespace qel {

// Clear code = 2^initial size, end code = clear + 1, first free code = clear + 2; codes
// start one bit wider than the initial size and grow by one bit after the entry
// 2^width - 1 has been added, up to 12 bits. The end code is ignored: decoding goes on
// while input and output remain. Codes above the next free code are ignored, and so is
// a first code (at the start or after a clear code) that is not a single byte. Once all
// 4096 entries are taken the table stays as it is until the next clear code, codes keep
// 12 bits and every code still decodes to the string it was given.
//
// Calling contract: the whole image in one call. packed_size is the number of data
// bytes at source (the sub-blocks joined, without their length bytes), unpacked_size
// the number of pixels wanted (Width x Height). Decoding stops when the output is
// complete or the input is used up; a string that runs past the end of the output is
// cut there. Every call starts afresh (empty table, no previous code). An initial code
// size outside 1..11 decodes nothing. Neither pointer is advanced.
class TGIFLZWDecoder : public TDecoder {
 public:
  explicit TGIFLZWDecoder(unsigned initial_code_size) : initial_code_size_(initial_code_size) {}

  void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
              std::size_t unpacked_size) override;
  // Pixels the last Decode wrote.
  std::size_t Produced() const { return produced_; }

 private:
  unsigned initial_code_size_;
  std::size_t produced_ = 0;
  codec::LZWStringTable table_;
};

}  // namespace qel
