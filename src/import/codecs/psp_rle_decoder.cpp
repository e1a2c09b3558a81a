#include "import/codecs/psp_rle_decoder.h"

#include "import/codecs/byte_cursor.h"

namespace qel {

namespace {
constexpr std::uint8_t kRunBase = 128;
}  // namespace

void TPSPRLEDecoder::Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
                            std::size_t unpacked_size) {
  codec::ByteSource in(source, packed_size);
  codec::ByteSink out(dest, unpacked_size);
  while (!out.Full() && !in.Empty()) {
    const std::uint8_t a = in.Take();
    if (a >= kRunBase) {
      if (in.Empty()) break;
      out.Fill(in.Take(), a - kRunBase);  // a = 128: a run of nothing
    } else {
      out.CopyFrom(in, a);
    }
  }
}

}  // namespace qel
