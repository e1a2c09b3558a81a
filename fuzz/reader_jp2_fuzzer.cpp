// JPEG 2000 files (JP2 boxes or a bare codestream), loaded as a .jp2 file is.
//
// A blank picture of any size codes into a few hundred bytes, so the reader bounds a
// file only by the picture limits, and OpenJPEG takes four bytes a sample while it
// decodes: an input whose size marker asks for a picture beyond what the fuzzer's memory
// limit holds is passed over here rather than reported.
#include <cstdint>

#include "reader_fuzz.h"

namespace {

constexpr std::uint64_t kMostSamples = std::uint64_t(1) << 24;

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// True when some size marker (FF51) in the input asks for more than kMostSamples samples.
bool AsksForTooMuch(const std::uint8_t* data, std::size_t size) {
  for (std::size_t i = 0; i + 40 <= size; ++i) {
    if (data[i] != 0xFF || data[i + 1] != 0x51) continue;
    const std::uint8_t* siz = data + i + 4;  // after the marker and its length
    const std::uint32_t x1 = BigEndian32(siz + 2), y1 = BigEndian32(siz + 6);
    const std::uint32_t x0 = BigEndian32(siz + 10), y0 = BigEndian32(siz + 14);
    const std::uint32_t components = std::uint32_t(siz[34]) << 8 | siz[35];
    const std::uint64_t width = x1 > x0 ? x1 - x0 : 0, height = y1 > y0 ? y1 - y0 : 0;
    if (width > kMostSamples || height > kMostSamples || width * height > kMostSamples) return true;
    if (width * height * (components ? components : 1) > kMostSamples) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (AsksForTooMuch(data, size)) return 0;
  return qel::fuzz::LoadAsExtension("jp2", data, size);
}
