// The string table shared by the GIF and TIFF LZW decoders: 4096 entries of
// { prefix code, last byte }, with each string's first byte and length kept so that a
// string can be written straight into the output and cut at its end, and the step both
// decoders take for each code that stands for a string.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "import/codecs/byte_cursor.h"

namespace qel::codec {

class LZWStringTable {
 public:
  static constexpr unsigned kSize = 4096;
  // The previous code after a reset or a clear code: there is none.
  static constexpr unsigned kNoCode = kSize;

  // Makes entries 0 .. roots - 1 the single bytes 0 .. roots - 1 (roots <= 256).
  void Reset(unsigned roots);

  // Adds the string of prefix followed by suffix at code. Requires prefix < code < kSize
  // and prefix to be a defined entry; this keeps every prefix chain finite.
  void Add(unsigned code, unsigned prefix, std::uint8_t suffix) {
    prefix_[code] = static_cast<std::uint16_t>(prefix);
    suffix_[code] = suffix;
    first_[code] = first_[prefix];
    length_[code] = static_cast<std::uint16_t>(length_[prefix] + 1);
  }

  std::uint8_t First(unsigned code) const { return first_[code]; }

  // Writes the string of code, cut at the end of the sink.
  void Write(unsigned code, ByteSink& out) const;

  // Decodes code, which is neither a clear nor an end code and not above next_free.
  // The first code after a reset (previous == kNoCode) must be one of the roots single
  // bytes and is skipped otherwise. A later code first adds the entry next_free, the
  // previous string and the first byte of code's string, while the table has room.
  // Then code's string is written and code becomes previous. Answers whether the
  // entry was added; the caller moves next_free on and widens its codes.
  bool DecodeCode(unsigned code, unsigned roots, unsigned next_free, unsigned& previous, ByteSink& out) {
    if (previous == kNoCode) {
      if (code >= roots) return false;
      out.Put(static_cast<std::uint8_t>(code));
      previous = code;
      return false;
    }
    const bool added = next_free < kSize;
    if (added) {
      // For code == next_free the new entry is the previous string plus its own first
      // byte, which is also the string to write.
      Add(next_free, previous, code == next_free ? First(previous) : First(code));
    }
    Write(code, out);
    previous = code;
    return added;
  }

 private:
  std::array<std::uint16_t, kSize> prefix_{};
  std::array<std::uint8_t, kSize> suffix_{};
  std::array<std::uint8_t, kSize> first_{};
  std::array<std::uint16_t, kSize> length_{};
};

}  // namespace qel::codec
