#include "import/codecs/pcx_rle_decoder.h"

#include "import/codecs/byte_cursor.h"

namespace qel {

namespace {
constexpr std::uint8_t kRunFlag = 0xC0;
constexpr std::uint8_t kCountMask = 0x3F;
}  // namespace

void TPCXRLEDecoder::Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
                            std::size_t unpacked_size) {
  codec::ByteSource in(source, packed_size);
  codec::ByteSink out(dest, unpacked_size);
  while (!out.Full() && !in.Empty()) {
    const std::uint8_t c = in.Take();
    if (c < kRunFlag) {
      out.Put(c);
      continue;
    }
    if (in.Empty()) break;
    out.Fill(in.Take(), c & kCountMask);
  }
}

}  // namespace qel
