// TIFF LZW strips. Input: u24 output size (below 256 KiB), then the compressed bytes.
#include "codec_fuzz.h"
#include "import/codecs/tiff_lzw_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qel::fuzz::FuzzInput in(data, size);
  const std::size_t unpacked = in.U24() % (std::size_t{1} << 18);
  qel::TTIFFLZWDecoder decoder;
  qel::fuzz::RunDecoder(decoder, in, unpacked);
  return 0;
}
