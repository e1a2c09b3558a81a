#include "import/codecs/gif_lzw_decoder.h"

#include "import/codecs/byte_cursor.h"

namespace qel {

namespace {
constexpr unsigned kMaxCodeWidth = 12;
constexpr unsigned kNoCode = codec::LZWStringTable::kNoCode;
}  // namespace

void TGIFLZWDecoder::Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
                            std::size_t unpacked_size) {
  produced_ = 0;
  if (initial_code_size_ < 1 || initial_code_size_ >= kMaxCodeWidth) return;
  codec::ByteSource in(source, packed_size);
  codec::ByteSink out(dest, unpacked_size);

  const unsigned clear_code = 1u << initial_code_size_;
  const unsigned end_code = clear_code + 1;
  unsigned width = 0, mask = 0, next_free = 0, previous = kNoCode;
  auto restart = [&] {
    width = initial_code_size_ + 1;
    mask = (1u << width) - 1;
    next_free = clear_code + 2;
    previous = kNoCode;
  };
  restart();
  table_.Reset(clear_code);

  std::uint32_t bits = 0;  // pending bits, the oldest at the bottom
  unsigned held = 0;
  while (!in.Empty() && !out.Full()) {
    bits |= static_cast<std::uint32_t>(in.Take()) << held;
    held += 8;
    while (held >= width && !out.Full()) {
      const unsigned code = bits & mask;
      bits >>= width;
      held -= width;

      if (code == clear_code) {
        restart();
        continue;
      }
      if (code == end_code || code > next_free) continue;
      if (table_.DecodeCode(code, clear_code, next_free, previous, out)) {
        if (next_free == mask && width < kMaxCodeWidth) {
          ++width;
          mask = (1u << width) - 1;
        }
        ++next_free;
      }
    }
  }
  produced_ = std::size_t(out.Position() - dest);
}

}  // namespace qel
