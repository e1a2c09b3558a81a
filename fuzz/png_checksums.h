// PNG targets put every chunk's checksum right before loading: a mutated file would
// otherwise almost always stop at the first checksum, and what lies behind it (chunk
// order, palettes, the row filters, interlacing, the colour conversion) is what the
// targets are for. Wrong checksums are refused as the unit tests show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "import/codecs/checksums.h"

namespace qel::fuzz {

// The file's bytes with the checksum of every whole chunk after the signature rewritten;
// the rewriting stops at the first chunk that runs past the end.
inline std::vector<std::uint8_t> WithChunkChecksumsRight(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kSignatureSize = 8;
  constexpr std::size_t kChunkFrame = 12;  // length, type, checksum
  std::vector<std::uint8_t> file(data, data + size);
  std::size_t pos = kSignatureSize;
  while (pos + kChunkFrame <= file.size()) {
    const std::size_t length = std::size_t{file[pos]} << 24 | std::size_t{file[pos + 1]} << 16 |
                               std::size_t{file[pos + 2]} << 8 | file[pos + 3];
    if (length > file.size() - pos - kChunkFrame) break;
    const std::uint32_t crc = Crc32(std::span<const std::uint8_t>(&file[pos + 4], length + 4));
    std::uint8_t* out = &file[pos + 8 + length];
    out[0] = std::uint8_t(crc >> 24);
    out[1] = std::uint8_t(crc >> 16);
    out[2] = std::uint8_t(crc >> 8);
    out[3] = std::uint8_t(crc);
    pos += kChunkFrame + length;
  }
  return file;
}

}  // namespace qel::fuzz
