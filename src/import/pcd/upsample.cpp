#include "import/pcd/upsample.h"

#include <vector>

namespace qel {

void UpsampleChroma(std::span<std::uint8_t> plane, std::size_t width, std::size_t height) {
  const std::size_t half_width = width / 2;
  const std::size_t half_height = height / 2;
  std::vector<std::uint8_t> source(half_width);

  // Old row y becomes row 2y, from the last row up so that no old row is overwritten
  // before it is read.
  for (std::size_t y = half_height; y-- > 0;) {
    const std::uint8_t* in = plane.data() + y * width;
    source.assign(in, in + half_width);
    std::uint8_t* out = plane.data() + 2 * y * width;
    for (std::size_t x = 0; x + 1 < half_width; ++x) {
      out[2 * x] = source[x];
      out[2 * x + 1] = std::uint8_t((source[x] + source[x + 1] + 1) / 2);
    }
    out[width - 2] = out[width - 1] = source[half_width - 1];
  }

  // Odd rows between two spread rows.
  for (std::size_t y = 1; y + 1 < height; y += 2) {
    const std::uint8_t* above = plane.data() + (y - 1) * width;
    const std::uint8_t* below = plane.data() + (y + 1) * width;
    std::uint8_t* out = plane.data() + y * width;
    for (std::size_t x = 0; x + 2 < width; x += 2) {
      out[x] = std::uint8_t((above[x] + below[x] + 1) / 2);
      out[x + 1] = std::uint8_t((above[x] + above[x + 2] + below[x] + below[x + 2] + 2) / 4);
    }
    out[width - 2] = std::uint8_t((above[width - 2] + below[width - 2] + 1) / 2);
    out[width - 1] = std::uint8_t((above[width - 1] + below[width - 1] + 1) / 2);
  }
  // The last row has nothing below it.
  std::uint8_t* last = plane.data() + (height - 1) * width;
  const std::uint8_t* above = last - width;
  for (std::size_t x = 0; x < width; ++x) last[x] = above[x];
}

}  // namespace qel
