#include "import/jpeg/exif_orientation.h"

#include <algorithm>
#include <optional>

namespace qel {

namespace {

constexpr std::uint16_t kOrientationTag = 274;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::size_t kEntrySize = 12;

// The TIFF structure inside the block: byte order from its header, every offset
// counted from the header's first byte.
class TiffView {
 public:
  explicit TiffView(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  // Reads the byte-order mark and the magic number 42.
  bool ReadHeader() {
    if (bytes_.size() < 8) return false;
    if (bytes_[0] == 'I' && bytes_[1] == 'I') {
      little_endian_ = true;
    } else if (bytes_[0] == 'M' && bytes_[1] == 'M') {
      little_endian_ = false;
    } else {
      return false;
    }
    return U16(2) == std::optional<std::uint16_t>(42);
  }

  std::optional<std::uint16_t> U16(std::size_t at) const {
    if (at > bytes_.size() || bytes_.size() - at < 2) return std::nullopt;
    const std::uint16_t a = bytes_[at], b = bytes_[at + 1];
    return std::uint16_t(little_endian_ ? a | b << 8 : a << 8 | b);
  }

  std::optional<std::uint32_t> U32(std::size_t at) const {
    const auto low = U16(at + (little_endian_ ? 0 : 2));
    const auto high = U16(at + (little_endian_ ? 2 : 0));
    if (!low || !high) return std::nullopt;
    return std::uint32_t(*high) << 16 | *low;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  bool little_endian_ = true;
};

}  // namespace

int ExifOrientation(std::span<const std::uint8_t> app1) {
  if (app1.size() < sizeof kExifSignature ||
      !std::equal(std::begin(kExifSignature), std::end(kExifSignature), app1.begin()))
    return 0;
  TiffView reader(app1.subspan(sizeof kExifSignature));
  if (!reader.ReadHeader()) return 0;
  const std::optional<std::uint32_t> directory = reader.U32(4);
  if (!directory) return 0;
  const std::optional<std::uint16_t> count = reader.U16(*directory);
  if (!count) return 0;
  for (std::size_t i = 0; i < *count; ++i) {
    const std::size_t entry = std::size_t(*directory) + 2 + i * kEntrySize;
    const std::optional<std::uint16_t> tag = reader.U16(entry);
    if (!tag) return 0;
    if (*tag != kOrientationTag) continue;
    const std::optional<std::uint16_t> type = reader.U16(entry + 2);
    const std::optional<std::uint32_t> values = reader.U32(entry + 4);
    // One SHORT, held in the first two bytes of the value field.
    const std::optional<std::uint16_t> value = reader.U16(entry + 8);
    if (type != kTypeShort || values != 1u || !value || *value < 1 || *value > 8) return 0;
    return *value;
  }
  return 0;
}

}  // namespace qel
