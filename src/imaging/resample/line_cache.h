// One line of source pixels spread into three integer arrays, so that the weighted sums
// of a pass run over contiguous memory whether the line is a row or a column.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/resample/weights.h"

namespace qel::resample {

class LineCache {
 public:
  // Room for lines of up to capacity pixels.
  explicit LineCache(std::size_t capacity) : red_(capacity), green_(capacity), blue_(capacity) {}

  // Pixel i of the line: blue, green, red bytes.
  void Set(std::size_t i, const std::uint8_t* bgr) {
    blue_[i] = bgr[0];
    green_[i] = bgr[1];
    red_[i] = bgr[2];
  }

  // Writes the destination pixel of one weight list as blue, green, red bytes. The sums
  // are divided by the list's actual total (which rounding can leave at 254 or 257), so
  // flat areas stay flat. A total of 0 (weights that cancel) takes each sum as an
  // unsigned number shifted right by 8, limited to 255.
  void Apply(std::span<const WeightEntry> list, std::uint8_t* bgr) const {
    std::int32_t total = 0, red = 0, green = 0, blue = 0;
    for (const WeightEntry& e : list) {
      total += e.weight;
      red += e.weight * red_[e.source];
      green += e.weight * green_[e.source];
      blue += e.weight * blue_[e.source];
    }
    if (total != 0) {
      bgr[0] = Clamp(blue / total);
      bgr[1] = Clamp(green / total);
      bgr[2] = Clamp(red / total);
    } else {
      bgr[0] = Shifted(blue);
      bgr[1] = Shifted(green);
      bgr[2] = Shifted(red);
    }
  }

 private:
  static std::uint8_t Clamp(std::int32_t v) {
    return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
  }
  static std::uint8_t Shifted(std::int32_t sum) {
    const std::uint32_t v = static_cast<std::uint32_t>(sum) >> 8;
    return static_cast<std::uint8_t>(v > 255 ? 255 : v);
  }

  std::vector<std::int32_t> red_, green_, blue_;
};

}  // namespace qel::resample
