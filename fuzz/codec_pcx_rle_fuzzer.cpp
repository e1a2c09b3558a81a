// PCX run-length data. Input: u16 output size, then the compressed bytes.
#include "codec_fuzz.h"
#include "import/codecs/pcx_rle_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qel::fuzz::FuzzInput in(data, size);
  const std::size_t unpacked = in.U16();
  qel::TPCXRLEDecoder decoder;
  qel::fuzz::RunDecoder(decoder, in, unpacked);
  return 0;
}
