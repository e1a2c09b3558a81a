// WebP encoder (libwebp's simple interface): lossy at a quality, or lossless, from the
// picture's blue-green-red rows; with alpha only when the picture is transparent.
#include <webp/encode.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "output/picture_writers.h"

namespace qel {

namespace {

// The coded file, which libwebp allocated.
class EncodedWebp {
 public:
  EncodedWebp() = default;
  ~EncodedWebp() { WebPFree(data_); }
  EncodedWebp(const EncodedWebp&) = delete;
  EncodedWebp& operator=(const EncodedWebp&) = delete;

  std::uint8_t** Out() { return &data_; }
  const std::uint8_t* Data() const { return data_; }

 private:
  std::uint8_t* data_ = nullptr;
};

// The picture's rows as blue-green-red-alpha, its transparent colour (that of the
// bottom-left pixel) with alpha 0 and everything else opaque.
std::vector<std::uint8_t> RowsWithAlpha(const Picture& picture) {
  const int width = picture.Width(), height = picture.Height();
  const std::uint8_t* key = picture.Row(height - 1);
  std::vector<std::uint8_t> rows(std::size_t(width) * 4 * std::size_t(height));
  std::uint8_t* out = rows.data();
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = picture.Row(y);
    for (int x = 0; x < width; ++x, in += 3, out += 4) {
      std::memcpy(out, in, 3);
      out[3] = std::memcmp(in, key, 3) == 0 ? 0 : 255;
    }
  }
  return rows;
}

}  // namespace

void WriteWebp(const Picture& picture, TStream& stream) {
  WriteWebpWith(picture, stream, WriteOptions{});
}

void WriteWebpWith(const Picture& picture, TStream& stream, const WriteOptions& options) {
  if (picture.Empty()) throw Error("Cannot save an empty picture as WebP.");
  if (picture.Width() > WEBP_MAX_DIMENSION || picture.Height() > WEBP_MAX_DIMENSION)
    throw Error("Cannot save a picture of " + std::to_string(picture.Width()) + " x " +
                std::to_string(picture.Height()) + " pixels as WebP: at most " +
                std::to_string(WEBP_MAX_DIMENSION) + " pixels a side.");
  const float quality = float(CheckedQuality(options));
  EncodedWebp encoded;
  std::size_t size = 0;
  if (picture.Transparent()) {
    const std::vector<std::uint8_t> rows = RowsWithAlpha(picture);
    const int stride = picture.Width() * 4;
    size =
        options.lossless
            ? WebPEncodeLosslessBGRA(rows.data(), picture.Width(), picture.Height(), stride, encoded.Out())
            : WebPEncodeBGRA(rows.data(), picture.Width(), picture.Height(), stride, quality, encoded.Out());
  } else {
    const int stride = int(picture.RowSize());
    const std::uint8_t* rows = picture.Row(0);
    size = options.lossless
               ? WebPEncodeLosslessBGR(rows, picture.Width(), picture.Height(), stride, encoded.Out())
               : WebPEncodeBGR(rows, picture.Width(), picture.Height(), stride, quality, encoded.Out());
  }
  if (size == 0 || !encoded.Data()) throw Error("WebP error: the picture could not be encoded.");
  stream.Write(encoded.Data(), size);
}

}  // namespace qel
