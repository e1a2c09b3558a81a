#include "import/codecs/packbits_decoder.h"

#include "import/codecs/byte_cursor.h"

namespace qel {

void TPackbitsRLEDecoder::Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
                                 std::size_t unpacked_size) {
  codec::ByteSource in(source, packed_size);
  codec::ByteSink out(dest, unpacked_size);
  while (!out.Full() && !in.Empty()) {
    const auto n = static_cast<std::int8_t>(in.Take());
    if (n >= 0) {
      out.CopyFrom(in, static_cast<std::size_t>(n) + 1);
    } else if (n != -128) {
      if (in.Empty()) break;
      out.Fill(in.Take(), static_cast<std::size_t>(1 - n));
    }
  }
}

}  // namespace qel
