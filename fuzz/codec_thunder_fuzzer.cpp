// ThunderScan strips. Input: a u16 row width in pixels, a u24 output size (below
// 256 KiB), then the codes.
#include "codec_fuzz.h"
#include "import/codecs/thunder_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qel::fuzz::FuzzInput in(data, size);
  const std::uint32_t width = in.U16();
  const std::size_t unpacked = in.U24() % (std::size_t{1} << 18);
  qel::TThunderDecoder decoder(width);
  qel::fuzz::RunDecoder(decoder, in, unpacked);
  return 0;
}
