#include "import/codecs/dib_rle.h"

#include <algorithm>

#include "imaging/errors.h"
#include "import/framework/messages.h"

namespace qel {

namespace {

// Escape codes that follow a zero count.
constexpr std::uint8_t kEndOfLine = 0;
constexpr std::uint8_t kEndOfBitmap = 1;
constexpr std::uint8_t kDelta = 2;

class RleWriter {
 public:
  explicit RleWriter(const BmpRleTarget& t) : t_(t) {}

  bool Done() const { return y_ >= t_.height; }
  // Puts one index at the current position and moves right; pixels past the row's
  // end are dropped.
  void Put(std::uint8_t index) {
    if (x_ >= t_.width) return;
    Row()[x_] = index;
    ++x_;
  }
  void EndOfLine() {
    x_ = 0;
    ++y_;
  }
  void Delta(int dx, int dy) {
    x_ = std::min(x_ + dx, t_.width);
    y_ += dy;
  }

 private:
  std::uint8_t* Row() {
    const int row = t_.bottom_up ? t_.height - 1 - y_ : y_;
    return t_.pixels.data() + std::size_t(row) * t_.stride;
  }

  const BmpRleTarget& t_;
  int x_ = 0;  // stops at the width: the rest of a row's pixels are dropped
  int y_ = 0;  // rows done in stream order
};

[[noreturn]] void Truncated() {
  throw EReadError(FormatMessage(msg::kStreamReadError, {"BMP"}));
}

}  // namespace

void DecodeBmpRle(std::span<const std::uint8_t> data, bool rle4, const BmpRleTarget& target) {
  if (target.width <= 0 || target.height <= 0 || target.stride < std::size_t(target.width) ||
      target.pixels.size() < target.stride * std::size_t(target.height - 1) + std::size_t(target.width)) {
    throw EInvalidGraphic(FormatMessage(msg::kInvalidImage, {"BMP"}));
  }
  RleWriter out(target);
  std::size_t pos = 0;
  const std::size_t size = data.size();
  while (!out.Done()) {
    if (size - pos < 2) Truncated();
    const std::uint8_t count = data[pos], value = data[pos + 1];
    pos += 2;
    if (count != 0) {
      // Encoded run: one index repeated, or two alternating ones for RLE4.
      const std::uint8_t first = rle4 ? value >> 4 : value, second = rle4 ? value & 0x0F : value;
      for (int i = 0; i < count; ++i) out.Put(i & 1 ? second : first);
      continue;
    }
    switch (value) {
      case kEndOfLine:
        out.EndOfLine();
        break;
      case kEndOfBitmap:
        return;
      case kDelta:
        if (size - pos < 2) Truncated();
        out.Delta(data[pos], data[pos + 1]);
        pos += 2;
        break;
      default: {
        // Absolute run of `value` pixels, padded to a whole number of 16-bit words.
        const std::size_t bytes = rle4 ? (std::size_t(value) + 1) / 2 : value;
        if (size - pos < bytes) Truncated();
        const std::uint8_t* run = data.data() + pos;
        for (int i = 0; i < value; ++i)
          out.Put(rle4 ? (i & 1 ? run[i / 2] & 0x0F : run[i / 2] >> 4) : run[i]);
        pos += std::min(size - pos, (bytes + 1) & ~std::size_t(1));
        break;
      }
    }
  }
}

}  // namespace qel
