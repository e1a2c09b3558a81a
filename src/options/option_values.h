// The option values the options window sets and the picture commands use.
#pragma once

#include <cstdint>

#include "imaging/picture.h"

namespace qel {

struct TOptionValues {
  TColor BorderColor = 0x808080;  // "Line color"
  TColor FrameColor = 0xFFFFFF;   // "Frame color"
  std::int32_t BorderWidth = 10;  // "Frame width", 1 to 50
  bool Sharpen = true;            // "Sharpen after resize"
  std::int32_t Filter = 5;        // resampling filter, 0 to 6 (5: Lanczos3)
  friend bool operator==(const TOptionValues&, const TOptionValues&) = default;
};

// The strength of every sharpen the picture commands make, "Sharpen after resize" too.
inline constexpr float kSharpenStrength = 2.0f;

// The filter number as the resampler receives it: one byte, so that "no filter
// chosen" (-1) arrives as a number no filter has and takes the resampler's fallback.
inline int ResamplerFilter(std::int32_t filter) {
  return static_cast<std::uint8_t>(filter);
}

}  // namespace qel
