// The weight lists of the fast engine: the same lists as BuildWeightTable's, found
// mostly without the float kernel. A weight is Round(f(x) x factor); the kernel's double
// twin gives f(x) to far better than the distance at which the rounding could go the
// other way, except when the product lies within a hair of a half. Only then is the
// float kernel (long double trigonometry for Lanczos3) asked.
#pragma once

#include <cstdint>

#include "imaging/resample/kernels.h"
#include "imaging/resample/weights.h"

namespace qel::resample {

// Round(kernel.function(x) x factor), halves to even, as BuildWeightTable computes it.
std::int64_t GuardedWeight(const FilterKernel& kernel, float x, long double factor);

// Equal to BuildWeightTable(target_length, line_length, s, kernel, radius).
WeightTable BuildWeightTableFast(int target_length, int line_length, float s, const FilterKernel& kernel,
                                 float radius);

}  // namespace qel::resample
