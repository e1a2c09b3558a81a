// Photo-CD luma and chroma to blue-green-red, with the coefficients Kodak defines for
// its YCC (chroma centres 156 and 137), the luma taken as it is.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qel {

class PhotoYccConverter {
 public:
  PhotoYccConverter();
  // count pixels from three planes of bytes into blue-green-red triples.
  void ConvertRow(const std::uint8_t* luma, const std::uint8_t* chroma1, const std::uint8_t* chroma2,
                  std::uint8_t* bgr, std::size_t count) const;

 private:
  // Each chroma value's share of a channel, in 1/65536 steps.
  std::array<std::int32_t, 256> blue_from_c1_{}, green_from_c1_{}, green_from_c2_{}, red_from_c2_{};
};

}  // namespace qel
