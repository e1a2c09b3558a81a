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

}  // namespace qel
