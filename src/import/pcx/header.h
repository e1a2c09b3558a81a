// The 128-byte header of ZSoft Paintbrush files, fields in file order (little-endian).
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace qel {

inline constexpr std::size_t kPcxHeaderSize = 128;
inline constexpr std::uint8_t kPcxManufacturer = 10;
inline constexpr std::uint8_t kPcxScreenCapture = 205;
// The version whose files carry no palette of their own.
inline constexpr std::uint8_t kPcxVersionNoPalette = 3;
inline constexpr std::uint8_t kPcxEncodingRLE = 1;
inline constexpr std::uint16_t kPcxPaletteInfoGray = 2;
// A 256-colour palette may close the file: this byte, then 256 red, green, blue triples.
inline constexpr std::uint8_t kPcxPaletteMarker = 12;
inline constexpr std::size_t kPcxTrailingPaletteSize = 1 + 256 * 3;

struct PcxHeader {
  std::uint8_t manufacturer = 0;
  std::uint8_t version = 0;
  std::uint8_t encoding = 0;
  std::uint8_t bits_per_pixel = 0;  // per plane
  std::uint16_t x_min = 0;
  std::uint16_t y_min = 0;
  std::uint16_t x_max = 0;
  std::uint16_t y_max = 0;
  std::uint16_t h_dpi = 0;
  std::uint16_t v_dpi = 0;
  std::array<std::uint8_t, 48> palette16{};  // 16 red, green, blue triples
  std::uint8_t reserved = 0;
  std::uint8_t planes = 0;
  std::uint16_t bytes_per_line = 0;  // of one plane
  std::uint16_t palette_info = 0;

  bool HasKnownManufacturer() const {
    return manufacturer == kPcxManufacturer || manufacturer == kPcxScreenCapture;
  }
  bool IsCompressed() const { return encoding == kPcxEncodingRLE; }
  bool IsGrayPalette() const { return palette_info == kPcxPaletteInfoGray; }
  // Width and height from the window; 0 when the maximum lies below the minimum.
  std::uint32_t Width() const { return x_max >= x_min ? std::uint32_t(x_max - x_min) + 1 : 0; }
  std::uint32_t Height() const { return y_max >= y_min ? std::uint32_t(y_max - y_min) + 1 : 0; }
  // Bytes of one row of pixel data: every plane's line.
  std::uint32_t RowBytes() const { return std::uint32_t(planes) * bytes_per_line; }
};

PcxHeader ParsePcxHeader(std::span<const std::uint8_t, kPcxHeaderSize> bytes);

}  // namespace qel
