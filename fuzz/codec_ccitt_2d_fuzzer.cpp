// Two-dimensional fax strips: Group 4, or Group 3 with rows coded in modes. Input: a u16
// row width, a flags byte (bit 0 reversed bit order, bit 1 Group 4), an options byte
// (the T.4 options of Group 3; two-dimensional coding is always on), a u24 output size
// (below 256 KiB), then the strip.
#include "codec_fuzz.h"
#include "import/codecs/ccitt_fax3_decoder.h"
#include "import/codecs/ccitt_fax4_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qel::fuzz::FuzzInput in(data, size);
  const std::uint32_t width = in.U16();
  const std::uint8_t flags = in.Byte();
  const std::uint32_t options = in.Byte() | 1u;
  const std::size_t unpacked = in.U24() % (std::size_t{1} << 18);
  const bool reversed = flags & 1;
  if (flags & 2) {
    qel::TCCITTFax4Decoder decoder(0, reversed, false, width);
    qel::fuzz::RunDecoder(decoder, in, unpacked);
  } else {
    qel::TCCITTFax3Decoder decoder(options, reversed, false, width);
    qel::fuzz::RunDecoder(decoder, in, unpacked);
  }
  return 0;
}
