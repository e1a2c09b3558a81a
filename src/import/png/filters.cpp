#include "import/png/filters.h"

#include <algorithm>
#include <cstdlib>

namespace qel {

std::uint8_t PaethPredictor(std::uint8_t left, std::uint8_t above, std::uint8_t upper_left) {
  const int p = int(left) + int(above) - int(upper_left);
  const int to_left = std::abs(p - int(left));
  const int to_above = std::abs(p - int(above));
  const int to_upper_left = std::abs(p - int(upper_left));
  if (to_left <= to_above && to_left <= to_upper_left) return left;
  if (to_above <= to_upper_left) return above;
  return upper_left;
}

bool UnfilterPngRow(std::uint8_t filter, std::span<std::uint8_t> row, std::span<const std::uint8_t> previous,
                    std::size_t bytes_per_pixel) {
  const std::size_t size = std::min(row.size(), previous.size());
  const std::size_t bpp = std::max<std::size_t>(bytes_per_pixel, 1);
  const std::size_t lead = std::min(bpp, size);  // bytes without a left neighbour
  std::uint8_t* x = row.data();
  const std::uint8_t* above = previous.data();
  switch (PngRowFilter(filter)) {
    case PngRowFilter::kNone:
      return true;
    case PngRowFilter::kSub:
      for (std::size_t i = bpp; i < size; ++i) x[i] = std::uint8_t(x[i] + x[i - bpp]);
      return true;
    case PngRowFilter::kUp:
      for (std::size_t i = 0; i < size; ++i) x[i] = std::uint8_t(x[i] + above[i]);
      return true;
    case PngRowFilter::kAverage:
      for (std::size_t i = 0; i < lead; ++i) x[i] = std::uint8_t(x[i] + above[i] / 2);
      for (std::size_t i = lead; i < size; ++i) x[i] = std::uint8_t(x[i] + (x[i - bpp] + above[i]) / 2);
      return true;
    case PngRowFilter::kPaeth:
      // With left and upper-left both 0 the predictor is the byte above.
      for (std::size_t i = 0; i < lead; ++i) x[i] = std::uint8_t(x[i] + above[i]);
      for (std::size_t i = lead; i < size; ++i) {
        x[i] = std::uint8_t(x[i] + PaethPredictor(x[i - bpp], above[i], above[i - bpp]));
      }
      return true;
  }
  return false;
}

}  // namespace qel
