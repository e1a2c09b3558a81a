// The row converters behind TColorManager and the small pieces they share. Each
// converter handles one family of layouts; TColorManager picks one when the source or
// target description changes and calls it once per row.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qel::color_convert {

inline constexpr std::size_t kMaxChannels = 4;

// Where the samples of source pixel j are: channel c of pixel j starts at
// channel[c] + j * step. Interleaved rows have one cursor per channel inside the same
// buffer; planar rows have one buffer per channel. Bit-packed rows (indexed and gray
// below 8 bits) use channel[0] only and count in bits.
struct SourceCursor {
  std::array<const std::uint8_t*, kMaxChannels> channel{};
  std::size_t step = 0;
};

// Contributions of the two chroma samples to red, green and blue, by sample value.
struct ChromaTables {
  std::array<std::int32_t, 256> red_from_cr{};
  std::array<std::int32_t, 256> blue_from_cb{};
  std::array<std::int32_t, 256> green_from_cr{};
  std::array<std::int32_t, 256> green_from_cb{};
};

// Everything a converter needs to know about one row: depths, layouts, options and
// the tables prepared by the colour manager.
struct RowSetup {
  int source_bits = 8;
  int target_bits = 8;
  int target_channels = 3;  // samples in one target pixel, alpha included
  bool source_alpha = false;
  bool target_alpha = false;
  bool source_bgr = false;  // colour sources: blue comes first
  bool target_bgr = true;   // colour targets: blue goes first
  bool byte_swap = false;   // 16-bit samples are exchanged byte-wise (big-endian data)
  bool lab_byte_range = false;
  bool lab_chroma_offset = false;
  // Colour samples of 8 bits pass this table; it is the identity when gamma is off.
  const std::array<std::uint8_t, 256>* gamma = nullptr;
  // Repacking: source value -> target value (entries up to 2^source bits - 1).
  const std::array<std::uint8_t, 256>* index_scale = nullptr;
  const ChromaTables* chroma = nullptr;
};

// Converts count target pixels; pixel i is converted when bit (7 - i mod 8) of mask is
// set, and only converted pixels consume source samples.
using RowConverter = void (*)(const RowSetup& setup, const SourceCursor& source, std::uint8_t* target,
                              std::size_t count, std::uint8_t mask);

// Indexed and gray, 1 to 8 bits on both sides.
void RepackRow(const RowSetup&, const SourceCursor&, std::uint8_t*, std::size_t, std::uint8_t);
// Indexed, 16 bits on both sides.
void Copy16Row(const RowSetup&, const SourceCursor&, std::uint8_t*, std::size_t, std::uint8_t);
// Indexed, 16 bits to 1..8 bits.
void Indexed16ToNRow(const RowSetup&, const SourceCursor&, std::uint8_t*, std::size_t, std::uint8_t);
// Indexed, 1..8 bits to 16 bits.
void IndexedNTo16Row(const RowSetup&, const SourceCursor&, std::uint8_t*, std::size_t, std::uint8_t);
// Gray or gray-alpha, 8 or 16 bits, to one 8 or 16-bit gray sample.
void GrayRow(const RowSetup&, const SourceCursor&, std::uint8_t*, std::size_t, std::uint8_t);
// RGB or BGR (with or without alpha) to RGB or BGR, 8 or 16 bits.
void RgbFamilyRow(const RowSetup&, const SourceCursor&, std::uint8_t*, std::size_t, std::uint8_t);
// CMYK, 8 or 16 bits, to RGB or BGR.
void CmykRow(const RowSetup&, const SourceCursor&, std::uint8_t*, std::size_t, std::uint8_t);
// CIE L*a*b* (D50 white), 8 or 16 bits, to sRGB or its BGR order.
void LabRow(const RowSetup&, const SourceCursor&, std::uint8_t*, std::size_t, std::uint8_t);
// YCbCr or Photo-CD YCC, 8 or 16 bits, to RGB or BGR.
void YCbCrRow(const RowSetup&, const SourceCursor&, std::uint8_t*, std::size_t, std::uint8_t);

// Builds the chroma tables for the luma weights kr, kg, kb around the chroma centres.
void BuildChromaTables(ChromaTables& tables, double kr, double kg, double kb, int red_center,
                       int blue_center);

// --- Shared arithmetic --------------------------------------------------------------

// The gamma table of a conversion without gamma.
inline constexpr std::array<std::uint8_t, 256> kIdentityTable = [] {
  std::array<std::uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = std::uint8_t(i);
  return t;
}();

inline bool Selected(std::uint8_t mask, std::size_t i) {
  return (mask & (0x80u >> (i & 7u))) != 0;
}

// 16-bit samples are little-endian in memory unless big_endian is set.
inline std::uint16_t Load16(const std::uint8_t* p, bool big_endian) {
  return big_endian ? std::uint16_t((p[0] << 8) | p[1]) : std::uint16_t(p[0] | (p[1] << 8));
}
inline void Store16(std::uint8_t* p, std::uint16_t v, bool big_endian) {
  if (big_endian) {
    p[0] = std::uint8_t(v >> 8);
    p[1] = std::uint8_t(v);
  } else {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
  }
}

// floor(v * 255 / 65535): only 65535 gives 255.
inline std::uint8_t Scale16To8(std::uint16_t v) {
  return std::uint8_t(std::uint32_t(v) * 255u / 65535u);
}
inline std::uint16_t Scale8To16(std::uint8_t v) {
  return std::uint16_t(v * 257u);
}

inline std::uint8_t Clamp8(std::int32_t v) {
  return std::uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace qel::color_convert
