#include "import/codecs/ccitt_mh_decoder.h"

namespace qel {

void TCCITTMHDecoder::Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
                             std::size_t unpacked_size) {
  codec::FaxRowWriter out(dest, unpacked_size, width_);
  if (width_ == 0) return;
  codec::FaxBitReader in(source, packed_size, reverse_bits_);
  bool black = false;
  while (in.HasBit() && !out.Full()) {
    const std::int32_t run = ReadRun(in, black);
    if (run > 0) {
      out.Run(static_cast<std::uint32_t>(run), black);
      if (out.RowComplete()) {
        out.NextRow();
        in.AlignToByte();
        if (word_aligned_) in.AlignToWord();
        black = false;
        continue;
      }
    }
    black = !black;
  }
}

}  // namespace qel
