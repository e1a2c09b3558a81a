// Modified Huffman fax strips. Input: a u16 row width, a flags byte (bit 0 reversed bit
// order, bit 1 word alignment), a u24 output size (below 256 KiB), then the strip.
#include "codec_fuzz.h"
#include "import/codecs/ccitt_mh_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qel::fuzz::FuzzInput in(data, size);
  const std::uint32_t width = in.U16();
  const std::uint8_t flags = in.Byte();
  const std::size_t unpacked = in.U24() % (std::size_t{1} << 18);
  qel::TCCITTMHDecoder decoder(0, flags & 1, flags & 2, width);
  qel::fuzz::RunDecoder(decoder, in, unpacked);
  return 0;
}
