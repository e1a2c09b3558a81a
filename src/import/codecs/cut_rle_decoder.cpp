#include "import/codecs/cut_rle_decoder.h"

#include "import/codecs/byte_cursor.h"

namespace qel {

namespace {
constexpr std::size_t kLineLengthBytes = 2;
constexpr std::uint8_t kCountMask = 0x7F;
constexpr std::uint8_t kRunFlag = 0x80;
}  // namespace

void TCUTRLEDecoder::Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
                            std::size_t unpacked_size) {
  codec::ByteSource in(source, packed_size);
  codec::ByteSink out(dest, unpacked_size);
  in.Skip(kLineLengthBytes);
  while (!in.Empty()) {
    const std::uint8_t c = in.Take();
    if (c == 0) break;
    const std::size_t count = c & kCountMask;
    if (c & kRunFlag) {
      if (in.Empty()) break;
      out.Fill(in.Take(), count);  // cut at the end of the scanline
    } else {
      const std::size_t copied = out.Room() < count ? out.Room() : count;
      out.CopyFrom(in, copied);
      in.Skip(count - copied);  // pixels beyond the scanline are dropped
    }
  }
  source = in.Position();
}

}  // namespace qel
