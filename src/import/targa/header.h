// The 18-byte header of a Truevision Targa file, fields in file order (little-endian).
#pragma once

#include <array>
#include <cstdint>

#include "import/codecs/targa_rle.h"

namespace qel {

class TStream;

enum class TargaImageType : std::uint8_t {
  kNoImage = 0,
  kColorMapped = 1,
  kTrueColor = 2,
  kGrayscale = 3,
  kColorMappedRLE = 9,
  kTrueColorRLE = 10,
  kGrayscaleRLE = 11,
};

inline constexpr std::size_t kTargaHeaderSize = 18;

// Bits of the image descriptor byte.
namespace TargaDescriptor {
inline constexpr std::uint8_t kAlphaBits = 0x0F;   // attribute (alpha) bits per pixel
inline constexpr std::uint8_t kRightFirst = 0x10;  // columns stored right to left
inline constexpr std::uint8_t kTopFirst = 0x20;    // rows stored top row first
}  // namespace TargaDescriptor

struct TargaHeader {
  std::uint8_t id_length = 0;
  std::uint8_t color_map_type = 0;  // 0 none, 1 present
  std::uint8_t image_type = 0;      // a TargaImageType value, unchecked
  std::uint16_t color_map_first = 0;
  std::uint16_t color_map_length = 0;
  std::uint8_t color_map_entry_bits = 0;
  std::uint16_t x_origin = 0;
  std::uint16_t y_origin = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint8_t pixel_depth = 0;
  std::uint8_t descriptor = 0;

  TargaImageType Type() const { return TargaImageType(image_type); }
  bool IsKnownType() const;
  bool IsEncoded() const;
  bool IsGrayscale() const;
  bool IsColorMapped() const;
  bool HasColorMap() const { return color_map_type == 1; }
  bool TopFirst() const { return (descriptor & TargaDescriptor::kTopFirst) != 0; }
  // Bytes of one stored pixel: 1 for 8 bits, 2 for 15 and 16, 3 for 24, 4 for 32; 0 otherwise.
  int BytesPerPixel() const { return TargaPixelBytes(pixel_depth); }
  // Bytes the colour map occupies in the file (whatever its entry size).
  std::uint32_t ColorMapBytes() const;
};

TargaHeader ParseTargaHeader(const std::array<std::uint8_t, kTargaHeaderSize>& bytes);
std::array<std::uint8_t, kTargaHeaderSize> SerializeTargaHeader(const TargaHeader& header);
// Reads the header at the stream's position (EReadError when the stream is too short).
TargaHeader ReadTargaHeader(TStream& stream);
void WriteTargaHeader(TStream& stream, const TargaHeader& header);

}  // namespace qel
