#include "import/png/header.h"

namespace qel {

namespace {

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

}  // namespace

PngHeader ParsePngHeader(std::span<const std::uint8_t, kPngHeaderLength> data) {
  PngHeader h;
  h.width = BigEndian32(data.data());
  h.height = BigEndian32(data.data() + 4);
  h.bit_depth = data[8];
  h.color_type = data[9];
  h.compression_method = data[10];
  h.filter_method = data[11];
  h.interlace_method = data[12];
  return h;
}

ColorScheme PngColorScheme(std::uint8_t color_type) {
  switch (color_type) {
    case PngColorType::kGray:
      return ColorScheme::schGray;
    case PngColorType::kRGB:
      return ColorScheme::schRGB;
    case PngColorType::kPalette:
      return ColorScheme::schIndexed;
    case PngColorType::kGrayAlpha:
      return ColorScheme::schGrayAlpha;
    case PngColorType::kRGBA:
      return ColorScheme::schRGBA;
    default:
      return ColorScheme::schUnknown;
  }
}

int PngSamplesPerPixel(std::uint8_t color_type) {
  switch (color_type) {
    case PngColorType::kGray:
    case PngColorType::kPalette:
      return 1;
    case PngColorType::kGrayAlpha:
      return 2;
    case PngColorType::kRGB:
      return 3;
    case PngColorType::kRGBA:
      return 4;
    default:
      return 0;
  }
}

std::optional<PngPixelLayout> PngLayoutFor(std::uint8_t color_type, std::uint8_t bit_depth) {
  const int d = bit_depth;
  const bool byte_depth = d == 8 || d == 16;
  switch (color_type) {
    case PngColorType::kGray:
      // The bitmap has no 2-bit format: 2-bit levels become 4-bit ones.
      if (d != 1 && d != 2 && d != 4 && !byte_depth) break;
      return PngPixelLayout{
          ColorScheme::schGray, ColorScheme::schGray, 1, 1, d == 2 ? 4 : d == 16 ? 8 : d, true};
    case PngColorType::kRGB:
      if (!byte_depth) break;
      return PngPixelLayout{ColorScheme::schRGB, ColorScheme::schBGR, 3, 3, 8, false};
    case PngColorType::kPalette:
      if (d != 1 && d != 2 && d != 4 && d != 8) break;
      return PngPixelLayout{ColorScheme::schIndexed, ColorScheme::schIndexed, 1, 1, d == 2 ? 4 : d, false};
    case PngColorType::kGrayAlpha:
      // Alpha is dropped: the gray level indexes a gray ramp.
      if (!byte_depth) break;
      return PngPixelLayout{ColorScheme::schGrayAlpha, ColorScheme::schIndexed, 2, 1, 8, true};
    case PngColorType::kRGBA:
      if (!byte_depth) break;
      return PngPixelLayout{ColorScheme::schRGBA, ColorScheme::schBGRA, 4, 4, 8, false};
    default:
      break;
  }
  return std::nullopt;
}

}  // namespace qel
