// SGI run-length rows. Input: a byte whose bit 0 selects 16-bit samples, a u16 output
// size, then the compressed row.
#include "codec_fuzz.h"
#include "import/codecs/sgi_rle_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qel::fuzz::FuzzInput in(data, size);
  const unsigned bits = (in.Byte() & 1) ? 16 : 8;
  const std::size_t unpacked = in.U16();
  qel::TSGIRLEDecoder decoder(bits);
  qel::fuzz::RunDecoder(decoder, in, unpacked);
  return 0;
}
