#include "imaging/resample/weights.h"

#include <algorithm>
#include <cmath>

namespace qel::resample {

// Every product and difference below is taken in long double and rounded to a 32-bit
// float only where a value is stored as one (centre, reach, kernel argument). The
// difference or sum of two floats is exact in long double, so Floor and Ceil see the
// exact value.
using Real = long double;

constexpr int kReservedEntriesPerList = 64;

float AxisScale(int target, int source) {
  if (source == 1 || target == 1) return static_cast<float>(Real(target) / Real(source));
  return static_cast<float>(Real(target - 1) / Real(source - 1));
}

std::int32_t ReflectIndex(std::int64_t j, std::int32_t length) {
  // Reflecting about pixel 0 and about the edge past the last pixel repeats with a
  // period of 2 x length - 1; reduce by that first so that far candidates take no loop.
  if (j < 0) j = -j;
  const std::int64_t period = 2 * std::int64_t(length) - 1;
  j %= period;
  if (j >= length) j = period - j;
  return static_cast<std::int32_t>(j);
}

WeightTable BuildWeightTable(int target_length, int line_length, float s, const FilterKernel& kernel,
                             float radius) {
  WeightTable table;
  const bool reducing = s < 1.0f;
  const float reach = reducing ? static_cast<float>(Real(radius) / Real(s)) : radius;
  // Room for Trunc(2 x reach + 1) entries a list, which a list rarely passes. Reducing
  // by large factors most of those candidates weigh 0, so the reservation stops at a
  // modest size and the table grows as needed beyond it.
  const Real per_list = std::min(std::floor(2 * Real(reach) + 1), Real(kReservedEntriesPerList));
  table.entries_.reserve(std::size_t(target_length) * std::size_t(per_list));
  table.offsets_.reserve(std::size_t(target_length) + 1);

  for (int i = 0; i < target_length; ++i) {
    const float centre = static_cast<float>(Real(i) / Real(s));
    const auto first = static_cast<std::int64_t>(std::floor(Real(centre) - Real(reach)));
    const auto last = static_cast<std::int64_t>(std::ceil(Real(centre) + Real(reach)));
    const std::size_t list_start = table.entries_.size();
    for (std::int64_t j = first; j <= last; ++j) {
      std::int64_t weight;
      if (reducing) {
        const float x = static_cast<float>((Real(centre) - Real(j)) * Real(s));
        weight = RoundHalfEven(Real(kernel.function(x)) * Real(s) * 256);
      } else {
        const float x = static_cast<float>(Real(centre) - Real(j));
        weight = RoundHalfEven(Real(kernel.function(x)) * 256);
      }
      if (weight == 0) continue;
      table.entries_.push_back({static_cast<std::int32_t>(weight), ReflectIndex(j, line_length)});
    }
    if (table.entries_.size() == list_start) {
      const auto nearest = static_cast<std::int64_t>(std::floor(Real(centre) + 0.5L));
      table.entries_.push_back({256, ReflectIndex(nearest, line_length)});
    }
    table.offsets_.push_back(table.entries_.size());
  }
  return table;
}

}  // namespace qel::resample
