#include "import/codecs/sgi_rle_decoder.h"

#include <algorithm>

#include "import/codecs/byte_cursor.h"

namespace qel {

namespace {
constexpr unsigned kCountMask = 0x7F;
constexpr unsigned kLiteralFlag = 0x80;
}  // namespace

void TSGIRLEDecoder::Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
                            std::size_t unpacked_size) {
  if (sample_bytes_ == 2)
    Decode16(source, dest, packed_size, unpacked_size);
  else
    Decode8(source, dest, packed_size, unpacked_size);
}

void TSGIRLEDecoder::Decode8(const std::uint8_t* source, std::uint8_t* dest, std::size_t packed_size,
                             std::size_t unpacked_size) const {
  codec::ByteSource in(source, packed_size);
  codec::ByteSink out(dest, unpacked_size);
  while (!out.Full() && !in.Empty()) {
    const unsigned control = in.Take();
    const unsigned count = control & kCountMask;
    if (count == 0) break;
    if (control & kLiteralFlag) {
      out.CopyFrom(in, count);
    } else {
      if (in.Empty()) break;
      out.Fill(in.Take(), count);
    }
  }
}

void TSGIRLEDecoder::Decode16(const std::uint8_t* source, std::uint8_t* dest, std::size_t packed_size,
                              std::size_t unpacked_size) const {
  codec::ByteSource in(source, packed_size);
  codec::ByteSink out(dest, unpacked_size);
  while (out.Room() >= 2 && in.Left() >= 2) {
    const unsigned high = in.Take();
    const unsigned control = (high << 8) | in.Take();
    const unsigned count = control & kCountMask;
    if (count == 0) break;
    if (control & kLiteralFlag) {
      // Whole samples only: a trailing half sample of input is not copied.
      const std::size_t samples = std::min<std::size_t>(count, in.Left() / 2);
      out.CopyFrom(in, samples * 2);
      if (samples < count) break;
    } else {
      if (in.Left() < 2) break;
      const std::uint8_t first = in.Take();
      const std::uint8_t second = in.Take();
      for (unsigned i = 0; i < count && out.Room() >= 2; ++i) {
        out.Put(first);
        out.Put(second);
      }
    }
  }
}

}  // namespace qel
