// The PNG header chunk (IHDR) and the pixel layouts its colour type and bit depth
// stand for.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "import/framework/image_properties.h"

namespace qel {

inline constexpr std::uint32_t kPngHeaderLength = 13;

// Colour types of the header.
namespace PngColorType {
inline constexpr std::uint8_t kGray = 0;
inline constexpr std::uint8_t kRGB = 2;
inline constexpr std::uint8_t kPalette = 3;
inline constexpr std::uint8_t kGrayAlpha = 4;
inline constexpr std::uint8_t kRGBA = 6;
}  // namespace PngColorType

// The fields of IHDR in file order (big-endian in the file).
struct PngHeader {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint8_t bit_depth = 0;
  std::uint8_t color_type = 0;
  std::uint8_t compression_method = 0;
  std::uint8_t filter_method = 0;
  std::uint8_t interlace_method = 0;

  bool Interlaced() const { return interlace_method != 0; }
};

// data holds the 13 bytes of an IHDR chunk.
PngHeader ParsePngHeader(std::span<const std::uint8_t, kPngHeaderLength> data);

// How the samples of one colour type and bit depth are converted into the bitmap.
struct PngPixelLayout {
  ColorScheme source_scheme;
  ColorScheme target_scheme;
  int source_samples;  // samples of one pixel in the file
  int target_samples;
  int target_bits;
  bool gray_palette;  // the bitmap gets a gray ramp (gray and gray-with-alpha images)

  // Bytes of one row of n pixels in the file, without the filter-type byte.
  std::size_t RowBytes(std::uint32_t pixels, int bit_depth) const {
    return (std::size_t(pixels) * std::size_t(bit_depth) * std::size_t(source_samples) + 7) / 8;
  }
  // The distance, in bytes, to the byte that row filters take as "left".
  static std::size_t FilterBytesPerPixel(int bit_depth, int samples) {
    return std::max<std::size_t>(1, std::size_t(bit_depth) * std::size_t(samples) / 8);
  }
};

// The layout of a colour type and bit depth; nullopt for combinations PNG does not have.
std::optional<PngPixelLayout> PngLayoutFor(std::uint8_t color_type, std::uint8_t bit_depth);

// The colour scheme that the header's colour type names (schUnknown for others).
ColorScheme PngColorScheme(std::uint8_t color_type);
// Samples of one pixel of the colour type (0 for unknown types).
int PngSamplesPerPixel(std::uint8_t color_type);

}  // namespace qel
