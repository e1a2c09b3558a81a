#include "import/codecs/ccitt_fax4_decoder.h"

namespace qel {

void TCCITTFax4Decoder::Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
                               std::size_t unpacked_size) {
  codec::FaxRowWriter out(dest, unpacked_size, width_);
  if (width_ == 0) return;
  codec::FaxBitReader in(source, packed_size, reverse_bits_);
  while (in.HasBit() && !out.Full()) {
    // Without end-of-line codes there is nothing to find the next row by after a fault.
    if (modes_.DecodeRow(in, out, *this) != codec::FaxModeDecoder::RowEnd::kComplete) return;
    out.NextRow();
  }
}

}  // namespace qel
