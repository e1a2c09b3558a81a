#include "output/system_palette.h"

namespace qel {

namespace {

constexpr std::array<TRGBTriple, kSystemColorCount> kSystemColors = {{
    // The first ten.
    {0, 0, 0},
    {128, 0, 0},
    {0, 128, 0},
    {128, 128, 0},
    {0, 0, 128},
    {128, 0, 128},
    {0, 128, 128},
    {192, 192, 192},
    {192, 220, 192},  // money green
    {166, 202, 240},  // sky blue
    // The last ten.
    {255, 251, 240},  // cream
    {160, 160, 164},  // medium grey
    {128, 128, 128},
    {255, 0, 0},
    {0, 255, 0},
    {255, 255, 0},
    {0, 0, 255},
    {255, 0, 255},
    {0, 255, 255},
    {255, 255, 255},
}};

}  // namespace

const std::array<TRGBTriple, kSystemColorCount>& SystemPaletteColors() {
  return kSystemColors;
}

}  // namespace qel
