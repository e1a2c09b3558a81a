// PNG files read by the import library's own PNG class. The viewer opens .png files with
// the libpng class registered after it, so this target loads the class directly.
//
// Every chunk's checksum is put right before loading: a mutated file would otherwise
// almost always stop at the first checksum, and what lies behind it (chunk order,
// palettes, the five row filters, interlacing, the colour conversion) is what this target
// is for. Wrong checksums are refused as the unit tests show.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "import/codecs/checksums.h"
#include "import/png_reader.h"
#include "reader_fuzz.h"

namespace {

constexpr std::size_t kSignatureSize = 8;

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// Rewrites the checksum of every whole chunk after the signature; stops at the first
// chunk that runs past the end.
void FixChunkChecksums(std::vector<std::uint8_t>& file) {
  std::size_t pos = kSignatureSize;
  while (pos + 12 <= file.size()) {
    const std::size_t length = BigEndian32(&file[pos]);
    if (length > file.size() - pos - 12) break;
    const std::uint32_t crc = qel::Crc32(std::span<const std::uint8_t>(&file[pos + 4], length + 4));
    std::uint8_t* out = &file[pos + 8 + length];
    out[0] = std::uint8_t(crc >> 24);
    out[1] = std::uint8_t(crc >> 16);
    out[2] = std::uint8_t(crc >> 8);
    out[3] = std::uint8_t(crc);
    pos += 12 + length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> file(data, data + size);
  FixChunkChecksums(file);
  qel::RegisterStartupFormats();
  return qel::fuzz::LoadWithClass(qel::TPNGGraphic::StaticClass(), file.data(), file.size());
}
