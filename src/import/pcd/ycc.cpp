#include "import/pcd/ycc.h"

#include <algorithm>
#include <cmath>

namespace qel {

namespace {

constexpr int kChroma1Centre = 156;
constexpr int kChroma2Centre = 137;
// Kodak's factors for the luma scaled by 1.3584, divided through by that scale so that
// the luma is used as stored: blue = Y + 2.2179 / 1.3584 (C1 - 156), red = Y + 1.8215 /
// 1.3584 (C2 - 137), green = Y - (0.4302726 (C1 - 156) + 0.9271435 (C2 - 137)) / 1.3584.
constexpr double kLumaScale = 1.3584;
constexpr double kBlueC1 = 2.2179 / kLumaScale;
constexpr double kGreenC1 = -0.4302726 / kLumaScale;
constexpr double kGreenC2 = -0.9271435 / kLumaScale;
constexpr double kRedC2 = 1.8215 / kLumaScale;
constexpr double kFixedOne = 65536.0;

std::int32_t Fixed(double v) {
  return std::int32_t(std::lround(v * kFixedOne));
}

std::uint8_t Channel(std::int32_t luma, std::int32_t share) {
  const std::int32_t v = ((luma << 16) + share + (1 << 15)) >> 16;
  return std::uint8_t(std::clamp(v, 0, 255));
}

}  // namespace

PhotoYccConverter::PhotoYccConverter() {
  for (int i = 0; i < 256; ++i) {
    blue_from_c1_[std::size_t(i)] = Fixed(kBlueC1 * (i - kChroma1Centre));
    green_from_c1_[std::size_t(i)] = Fixed(kGreenC1 * (i - kChroma1Centre));
    green_from_c2_[std::size_t(i)] = Fixed(kGreenC2 * (i - kChroma2Centre));
    red_from_c2_[std::size_t(i)] = Fixed(kRedC2 * (i - kChroma2Centre));
  }
}

void PhotoYccConverter::ConvertRow(const std::uint8_t* luma, const std::uint8_t* chroma1,
                                   const std::uint8_t* chroma2, std::uint8_t* bgr, std::size_t count) const {
  for (std::size_t x = 0; x < count; ++x, bgr += 3) {
    const std::int32_t y = luma[x];
    bgr[0] = Channel(y, blue_from_c1_[chroma1[x]]);
    bgr[1] = Channel(y, green_from_c1_[chroma1[x]] + green_from_c2_[chroma2[x]]);
    bgr[2] = Channel(y, red_from_c2_[chroma2[x]]);
  }
}

}  // namespace qel
