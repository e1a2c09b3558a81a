#include "import/codecs/tiff_lzw_decoder.h"

#include "import/codecs/byte_cursor.h"

namespace qel {

namespace {
constexpr unsigned kClearCode = 256;
constexpr unsigned kEndCode = 257;
constexpr unsigned kFirstFree = 258;
constexpr unsigned kMinCodeWidth = 9;
constexpr unsigned kMaxCodeWidth = 12;
constexpr unsigned kNoCode = codec::LZWStringTable::kSize;
}  // namespace

void TTIFFLZWDecoder::Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
                             std::size_t unpacked_size) {
  codec::ByteSource in(source, packed_size);
  codec::ByteSink out(dest, unpacked_size);
  table_.Reset(kClearCode);

  unsigned width = kMinCodeWidth, next_free = kFirstFree, previous = kNoCode;
  std::uint32_t bits = 0;  // pending bits, the oldest at the top
  unsigned held = 0;
  while (!out.Full()) {
    while (held <= 24 && !in.Empty()) {
      bits |= static_cast<std::uint32_t>(in.Take()) << (24 - held);
      held += 8;
    }
    if (held < width) break;
    const unsigned code = bits >> (32 - width);
    bits <<= width;
    held -= width;

    if (code == kClearCode) {
      width = kMinCodeWidth;
      next_free = kFirstFree;
      previous = kNoCode;
      continue;
    }
    if (code == kEndCode) break;
    if (code > next_free) continue;
    if (previous == kNoCode) {
      if (code >= kClearCode) continue;
      out.Put(static_cast<std::uint8_t>(code));
      previous = code;
      continue;
    }
    if (next_free < codec::LZWStringTable::kSize) {
      const std::uint8_t first = code == next_free ? table_.First(previous) : table_.First(code);
      table_.Add(next_free, previous, first);
      ++next_free;
      if (next_free == (1u << width) - 1 && width < kMaxCodeWidth) ++width;
    }
    table_.Write(code, out);
    previous = code;
  }
}

}  // namespace qel
