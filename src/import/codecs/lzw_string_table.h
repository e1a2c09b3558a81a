// The string table shared by the GIF and TIFF LZW decoders: 4096 entries of
// { prefix code, last byte }, with each string's first byte and length kept so that a
// string can be written straight into the output and cut at its end.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "import/codecs/byte_cursor.h"

namespace qel::codec {

class LZWStringTable {
 public:
  static constexpr unsigned kSize = 4096;

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

 private:
  std::array<std::uint16_t, kSize> prefix_{};
  std::array<std::uint8_t, kSize> suffix_{};
  std::array<std::uint8_t, kSize> first_{};
  std::array<std::uint16_t, kSize> length_{};
};

}  // namespace qel::codec
