// Photo-CD Huffman residuals. Input: a u16 row length (below 4096), a byte of plane
// rows (1..64), a u16 stop row, then the stream (tables and rows).
#include <vector>

#include "fuzz_input.h"
#include "imaging/stream.h"
#include "import/codecs/pcd_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qel::fuzz::FuzzInput in(data, size);
  const std::uint32_t row_length = in.U16() % 4096;
  const std::uint32_t rows = in.Byte() % 64 + 1;
  const std::uint32_t stop_row = in.U16();
  const std::size_t plane = std::size_t{row_length} * rows;
  std::vector<std::uint8_t> luma(plane), chroma1(plane), chroma2(plane);
  qel::TMemoryStream stream(std::span<const std::uint8_t>(in.Rest(), in.RestSize()));
  qel::TPCDDecoder decoder(stream, row_length);
  decoder.DecodePlanes(luma, chroma1, chroma2, stop_row, row_length);
  return 0;
}
