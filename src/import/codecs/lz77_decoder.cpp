#include "import/codecs/lz77_decoder.h"

#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <limits>

#include "imaging/errors.h"
#include "import/framework/messages.h"

namespace qel {

namespace {
constexpr int kWindowBits = 15;
}  // namespace

// An inflate stream that is released with its owner.
struct TLZ77Decoder::Stream {
  z_stream z{};
  bool open = false;

  ~Stream() {
    if (open) inflateEnd(&z);
  }
};

TLZ77Decoder::TLZ77Decoder(int flush_mode, bool auto_reset)
    : stream_(std::make_unique<Stream>()), flush_mode_(flush_mode), auto_reset_(auto_reset) {}

TLZ77Decoder::~TLZ77Decoder() = default;

void TLZ77Decoder::DecodeInit() {
  if (stream_->open) inflateEnd(&stream_->z);
  stream_->z = z_stream{};
  stream_->open = false;
  result_ = inflateInit2(&stream_->z, kWindowBits);
  if (result_ != Z_OK) throw EGraphicCompression(msg::kLZ77DecompressionError);
  stream_->open = true;
}

void TLZ77Decoder::DecodeEnd() {
  if (!stream_->open) return;
  stream_->open = false;
  if (inflateEnd(&stream_->z) != Z_OK) throw EGraphicCompression(msg::kLZ77DecompressionError);
}

void TLZ77Decoder::Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
                          std::size_t unpacked_size) {
  if (!stream_->open) throw EGraphicCompression(msg::kLZ77DecompressionError);
  z_stream& z = stream_->z;
  constexpr std::size_t kMaxChunk = std::numeric_limits<uInt>::max();
  z.next_in = source;
  z.avail_in = static_cast<uInt>(std::min(packed_size, kMaxChunk));
  if (auto_reset_) {
    result_ = inflateReset(&z);
    if (result_ != Z_OK) return;
  }
  if (result_ != Z_OK) return;
  z.next_out = dest;
  z.avail_out = static_cast<uInt>(std::min(unpacked_size, kMaxChunk));
  result_ = inflate(&z, flush_mode_);
  source = z.next_in;
  dest = z.next_out;
}

std::size_t TLZ77Decoder::AvailableInput() const {
  return stream_->z.avail_in;
}
std::size_t TLZ77Decoder::AvailableOutput() const {
  return stream_->z.avail_out;
}

}  // namespace qel
