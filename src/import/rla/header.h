// The 740-byte header of an Alias/Wavefront run-length image. All numbers are
// big-endian; texts are fixed fields padded with zero bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qel {

inline constexpr std::size_t kRlaHeaderSize = 740;
inline constexpr std::uint16_t kRlaRevision = 0xFFFE;

struct RlaWindow {
  std::int16_t left = 0, right = 0, bottom = 0, top = 0;
};

struct RlaHeader {
  RlaWindow window;
  RlaWindow active_window;  // the stored rows and columns
  std::int16_t frame = 0;
  std::int16_t storage_type = 0;
  std::int16_t channel_count = 0;
  std::int16_t matte_count = 0;
  std::int16_t auxiliary_count = 0;
  std::uint16_t revision = 0;
  std::string gamma;         // a decimal number as text
  std::string channel_kind;  // "rgb" or "xyz"
  std::int16_t channel_bits = 0;
  std::int16_t matte_bits = 0;

  std::uint32_t Width() const { return std::uint32_t(active_window.right - active_window.left + 1); }
  std::uint32_t Height() const;
  // Rows are stored from the bottom of the picture up.
  bool BottomUp() const { return active_window.bottom < active_window.top; }
  // The channel kind in lower case.
  std::string Kind() const;
  // The gamma text as a number; 1.0 when the text is not one.
  float Gamma() const;
};

RlaHeader ParseRlaHeader(const std::array<std::uint8_t, kRlaHeaderSize>& bytes);

}  // namespace qel
