// zlib streams. Input: a flush mode byte, a mode byte (bit 0 auto-reset, the rest the
// size of the pieces the input is fed in, 0 for all at once), a u24 output size (below
// 256 KiB), then the stream. The decoder is fed the way its readers feed it, and the
// pointers it advances must stay inside their buffers.
#include <algorithm>
#include <vector>

#include "codec_fuzz.h"
#include "imaging/errors.h"
#include "import/codecs/lz77_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qel::fuzz::FuzzInput in(data, size);
  const int flush = in.Byte() % 7;
  const std::uint8_t mode = in.Byte();
  const std::size_t unpacked = in.U24() % (std::size_t{1} << 18);
  const std::size_t piece = mode >> 1;
  std::vector<std::uint8_t> out(unpacked);

  qel::TLZ77Decoder decoder(flush, mode & 1);
  decoder.DecodeInit();
  const std::uint8_t* source = in.Rest();
  const std::uint8_t* const end = in.Rest() + in.RestSize();
  std::uint8_t* dest = out.data();
  std::uint8_t* const out_end = out.data() + out.size();
  // Every call either consumes input, produces output or ends the loop.
  for (int calls = 0; calls < 100000 && source < end; ++calls) {
    const std::size_t offered = piece == 0
                                    ? static_cast<std::size_t>(end - source)
                                    : std::min<std::size_t>(piece, static_cast<std::size_t>(end - source));
    const std::uint8_t* before = source;
    std::uint8_t* dest_before = dest;
    decoder.Decode(source, dest, offered, static_cast<std::size_t>(out_end - dest));
    qel::fuzz::Require(source >= before && source <= before + offered && dest >= dest_before &&
                       dest <= out_end);
    if (decoder.Result() != 0 && !(mode & 1)) break;
    if (source == before && dest == dest_before) break;
  }
  try {
    decoder.DecodeEnd();
  } catch (const qel::EGraphicCompression&) {
  }
  return 0;
}
