// GIF LZW image data. Input: the initial code size, a u24 output size (below 256 KiB),
// then the data (sub-blocks already joined).
#include "codec_fuzz.h"
#include "import/codecs/gif_lzw_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qel::fuzz::FuzzInput in(data, size);
  const unsigned code_size = in.Byte() % 16;
  const std::size_t unpacked = in.U24() % (std::size_t{1} << 18);
  qel::TGIFLZWDecoder decoder(code_size);
  qel::fuzz::RunDecoder(decoder, in, unpacked);
  return 0;
}
