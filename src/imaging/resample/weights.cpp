#include "imaging/resample/weights.h"

#include <algorithm>
#include <cmath>

namespace qel::resample {

using Real = long double;

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
  // Reducing, the factor is s x 256: f(x) x s x 256 is exact in long double, as the
  // product of two floats and a power of two.
  return BuildWeightTableWith(target_length, line_length, s, radius, [&kernel](float x, Real factor) {
    return RoundHalfEven(Real(kernel.function(x)) * factor);
  });
}

}  // namespace qel::resample
