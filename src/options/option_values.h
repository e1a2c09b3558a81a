// The option values the options window sets and the picture commands use.
#pragma once

#include <cstdint>

#include "imaging/picture.h"
#include "imaging/picture_commands.h"

namespace qel {

struct TOptionValues {
  TColor BorderColor = commands::kDefaultLineColor;          // "Line color"
  TColor FrameColor = commands::kDefaultFrameColor;          // "Frame color"
  std::int32_t BorderWidth = commands::kDefaultBorderWidth;  // "Frame width", 1 to 50
  bool Sharpen = true;                                       // "Sharpen after resize"
  std::int32_t Filter = kFilterLanczos3;                     // resampling filter, 0 to 6
  friend bool operator==(const TOptionValues&, const TOptionValues&) = default;
};

// The filter number as the resampler receives it: one byte, so that "no filter
// chosen" (-1) arrives as a number no filter has and takes the resampler's fallback.
inline int ResamplerFilter(std::int32_t filter) {
  return static_cast<std::uint8_t>(filter);
}

}  // namespace qel
