// TIFF LZW decoding (codes packed most significant bit first).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "import/codecs/decoder.h"
#include "import/codecs/lzw_string_table.h"

namespace qel {

// Clear code 256, end code 257, first free code 258, 9 to 12 bit codes. The width
// grows as soon as the next free code reaches 2^width - 1 (511, 1023, 2047), one code
// earlier than GIF. The end code stops decoding. Codes above the next free code are
// ignored, and so is a first code (at the start or after a clear code) that is not a
// single byte; once all 4096 entries are taken no more are added until a clear code.
//
// Calling contract: one strip (or tile) per call. packed_size is the strip's byte count,
// unpacked_size the strip's uncompressed size. Decoding stops at the end code, when the
// output is complete or when the input is used up; a string that runs past the end of
// the output is cut there. Bytes of the output after the last one decoded are left as
// they were. Every call starts afresh. Neither pointer is advanced.
//
// Every string a code stands for has been written to the output already, in one piece:
// the string of a new entry is the previous code's string followed by the first byte
// that came right after it. So the table keeps where each string lies in the output
// and decoding a code is one copy from earlier output.
class TTIFFLZWDecoder : public TDecoder {
 public:
  void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
              std::size_t unpacked_size) override;

 private:
  static constexpr unsigned kTableSize = codec::LZWStringTable::kSize;
  // Where each code's string lies: in the output of the current call, or for the
  // single bytes in a constant table.
  std::array<const std::uint8_t*, kTableSize> from_{};
  std::array<std::uint16_t, kTableSize> length_{};
};

// The same decoding done the plain way: each string is rebuilt from its chain of
// prefix codes. Kept as the reference the fast decoder is checked against.
class TTIFFLZWChainDecoder : public TDecoder {
 public:
  void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
              std::size_t unpacked_size) override;

 private:
  codec::LZWStringTable table_;
};

}  // namespace qel
