// Dr. Halo lines. Input: a u16 line width, then the lines (each a length word, runs and
// a closing 0), decoded one after the other as the reader does.
#include <vector>

#include "codec_fuzz.h"
#include "import/codecs/cut_rle_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qel::fuzz::FuzzInput in(data, size);
  const std::size_t width = in.U16();
  std::vector<std::uint8_t> line(width);
  qel::TCUTRLEDecoder decoder;
  const std::uint8_t* source = in.Rest();
  const std::uint8_t* const end = in.Rest() + in.RestSize();
  while (source < end) {
    const std::uint8_t* before = source;
    std::uint8_t* dest = line.data();
    decoder.Decode(source, dest, static_cast<std::size_t>(end - source), line.size());
    // The source moves on by at least a byte and never past the input.
    qel::fuzz::Require(source > before && source <= end && dest == line.data());
  }
  return 0;
}
