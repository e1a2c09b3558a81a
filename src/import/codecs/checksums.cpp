#include "import/codecs/checksums.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace qel {

namespace {
// zlib takes lengths as uInt: longer data goes in pieces.
constexpr std::size_t kPiece = std::numeric_limits<uInt>::max();
}  // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> data, std::uint32_t crc) {
  uLong value = crc;
  while (!data.empty()) {
    const std::size_t n = std::min(data.size(), kPiece);
    value = crc32(value, data.data(), static_cast<uInt>(n));
    data = data.subspan(n);
  }
  return static_cast<std::uint32_t>(value);
}

std::uint32_t Adler32(std::span<const std::uint8_t> data, std::uint32_t adler) {
  uLong value = adler;
  while (!data.empty()) {
    const std::size_t n = std::min(data.size(), kPiece);
    value = adler32(value, data.data(), static_cast<uInt>(n));
    data = data.subspan(n);
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace qel
