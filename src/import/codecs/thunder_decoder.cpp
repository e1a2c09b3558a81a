#include "import/codecs/thunder_decoder.h"

#include <algorithm>

#include "import/codecs/byte_cursor.h"

namespace qel {

namespace {

constexpr unsigned kCodeMask = 0xC0;
constexpr unsigned kRun = 0x00;
constexpr unsigned kTwoBitDeltas = 0x40;
constexpr unsigned kThreeBitDeltas = 0x80;
constexpr int kSkip = 100;
constexpr int kTwoBitDelta[4] = {0, 1, kSkip, -1};
constexpr int kThreeBitDelta[8] = {0, 1, 2, 3, kSkip, -3, -2, -1};

// Writes 4-bit pixels into one row, high nibble first, never past the row's end.
class NibbleRow {
 public:
  NibbleRow(std::uint8_t* row, std::uint32_t pixels) : row_(row), pixels_(pixels) {}
  bool Complete() const { return written_ >= pixels_; }
  void Put(unsigned pixel) {
    if (Complete()) return;
    std::uint8_t& byte = row_[written_ / 2];
    if (written_ % 2 == 0)
      byte = static_cast<std::uint8_t>((pixel << 4) | (byte & 0x0F));
    else
      byte = static_cast<std::uint8_t>((byte & 0xF0) | pixel);
    ++written_;
  }

 private:
  std::uint8_t* row_;
  std::uint32_t pixels_;
  std::uint32_t written_ = 0;
};

}  // namespace

void TThunderDecoder::Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
                             std::size_t unpacked_size) {
  if (width_ == 0) return;
  codec::ByteSource in(source, packed_size);
  const std::size_t row_bytes = (static_cast<std::size_t>(width_) + 1) / 2;
  for (std::size_t offset = 0; offset < unpacked_size && !in.Empty(); offset += row_bytes) {
    // The last row may be cut short by the output size.
    const std::size_t bytes = std::min(row_bytes, unpacked_size - offset);
    const auto pixels = static_cast<std::uint32_t>(std::min<std::size_t>(width_, bytes * 2));
    NibbleRow row(dest + offset, pixels);
    unsigned last = 0;
    auto put = [&](int pixel) {
      last = static_cast<unsigned>(pixel) & 0x0F;
      row.Put(last);
    };
    while (!row.Complete() && !in.Empty()) {
      const unsigned c = in.Take();
      switch (c & kCodeMask) {
        case kRun:
          for (unsigned n = c & 0x3F; n > 0 && !row.Complete(); --n) row.Put(last);
          break;
        case kTwoBitDeltas:
          for (int shift = 4; shift >= 0; shift -= 2) {
            const int delta = kTwoBitDelta[(c >> shift) & 0x03];
            if (delta != kSkip) put(static_cast<int>(last) + delta);
          }
          break;
        case kThreeBitDeltas:
          for (int shift = 3; shift >= 0; shift -= 3) {
            const int delta = kThreeBitDelta[(c >> shift) & 0x07];
            if (delta != kSkip) put(static_cast<int>(last) + delta);
          }
          break;
        default:
          put(static_cast<int>(c & 0x0F));
          break;
      }
    }
  }
}

}  // namespace qel
