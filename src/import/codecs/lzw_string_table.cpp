#include "import/codecs/lzw_string_table.h"

#include <algorithm>

namespace qel::codec {

void LZWStringTable::Reset(unsigned roots) {
  for (unsigned i = 0; i < roots && i < kSize; ++i) {
    prefix_[i] = 0;
    suffix_[i] = static_cast<std::uint8_t>(i);
    first_[i] = static_cast<std::uint8_t>(i);
    length_[i] = 1;
  }
}

void LZWStringTable::Write(unsigned code, ByteSink& out) const {
  const std::size_t length = length_[code];
  const std::size_t written = std::min(length, out.Room());
  // The chain yields the string back to front: skip the bytes that do not fit.
  for (std::size_t k = length; k > written; --k) code = prefix_[code];
  std::uint8_t* p = out.Position();
  for (std::size_t k = written; k > 0; --k) {
    p[k - 1] = suffix_[code];
    code = prefix_[code];
  }
  out.Advance(written);
}

}  // namespace qel::codec
