// The header of a Photoshop file and the places of its sections. All numbers are
// big-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace qel {

class TStream;

inline constexpr std::size_t kPsdHeaderSize = 26;

enum class PsdColorMode : std::uint16_t {
  kBitmap = 0,
  kGrayscale = 1,
  kIndexed = 2,
  kRGB = 3,
  kCMYK = 4,
  kMultichannel = 7,
  kDuotone = 8,
  kLab = 9,
};

enum class PsdCompression : std::uint16_t { kRaw = 0, kPackBits = 1, kZip = 2, kZipPredicted = 3 };

struct PsdHeader {
  std::array<std::uint8_t, 4> signature{};  // "8BPS"
  std::uint16_t version = 0;                // 1; 2 is the large-document variant
  std::uint16_t channels = 0;
  std::uint32_t rows = 0;
  std::uint32_t columns = 0;
  std::uint16_t depth = 0;  // bits of one sample: 1, 8, 16 or 32
  std::uint16_t color_mode = 0;

  bool HasSignature() const { return signature == std::array<std::uint8_t, 4>{'8', 'B', 'P', 'S'}; }
  PsdColorMode Mode() const { return PsdColorMode(color_mode); }
};

PsdHeader ParsePsdHeader(const std::array<std::uint8_t, kPsdHeaderSize>& bytes);

// Where the parts of a file lie, as offsets in the stream.
struct PsdLayout {
  PsdHeader header;
  std::uint64_t color_data_start = 0;
  std::uint32_t color_data_length = 0;
  std::uint16_t compression = 0;
  std::uint64_t image_data_start = 0;  // just after the compression word
};

// Reads the header from the stream's position and walks the colour-mode data, image
// resources and layer sections up to the image data. Answers nullopt (without
// raising) when the signature or version is wrong, the header holds no image, or a
// section claims more bytes than the stream has.
std::optional<PsdLayout> ReadPsdLayout(TStream& stream);

}  // namespace qel
