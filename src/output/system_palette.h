// The default 20-colour system palette of the desktop: ten colours that head a
// 256-entry system palette and ten that end it.
#pragma once

#include <array>

#include "output/color_quantizer.h"

namespace qel {

inline constexpr int kSystemColorCount = 20;

// Entries 0 to 9 are the first ten colours, 10 to 19 the last ten.
const std::array<TRGBTriple, kSystemColorCount>& SystemPaletteColors();

}  // namespace qel
