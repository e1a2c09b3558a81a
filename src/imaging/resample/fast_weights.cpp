#include "imaging/resample/fast_weights.h"

#include <cmath>

#include "imaging/rounding.h"

namespace qel::resample {

std::int64_t GuardedWeight(const FilterKernel& kernel, float x, long double factor) {
  const double f = kernel.approximate(x);
  // The factor is 256 or a float times 256: exact as a double.
  const auto scale = static_cast<double>(factor);
  const double v = f * scale;
  const double below = std::floor(v);
  // The twin is within 2^-21 (relative) or 2^-42 (absolute) of the float kernel; twice
  // that keeps the product of either on the same side of every half.
  const double margin = (std::fabs(f) * 0x1p-20 + 0x1p-40) * scale;
  if (std::fabs(v - (below + 0.5)) > margin)
    return static_cast<std::int64_t>(below) + (v > below + 0.5 ? 1 : 0);
  return RoundHalfEven(static_cast<long double>(kernel.function(x)) * factor);
}

WeightTable BuildWeightTableFast(int target_length, int line_length, float s, const FilterKernel& kernel,
                                 float radius) {
  return BuildWeightTableWith(target_length, line_length, s, radius, [&kernel](float x, long double factor) {
    return GuardedWeight(kernel, x, factor);
  });
}

}  // namespace qel::resample
