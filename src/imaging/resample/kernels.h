// The filter kernels of the resampler. Each takes and returns a 32-bit float; the
// support (radius) is where the kernel becomes 0 for good.
#pragma once

#include <string_view>

namespace qel::resample {

using KernelFunction = float (*)(float x);
// The same kernel in double arithmetic: the same pieces and comparisons, the arguments
// that the float kernel rounds to a float rounded alike, and a result within 2^-21 of
// the float kernel's, relative to it, or within 2^-42 absolutely (the float kernel
// rounds to a float, this does not). Cheap where the float kernel takes long double
// trigonometry; the fast engine uses it to tell most weights without the float kernel.
using ApproximateFunction = double (*)(float x);

struct FilterKernel {
  std::string_view name;
  KernelFunction function;
  float radius;  // the default radius: the kernel's support
  ApproximateFunction approximate;
};

float BoxKernel(float x);
float TriangleKernel(float x);
float HermiteKernel(float x);
float BellKernel(float x);
float BSplineKernel(float x);
float Lanczos3Kernel(float x);
float MitchellKernel(float x);

// The kernel of a filter number; numbers outside 0..6 give the fallback filter.
const FilterKernel& KernelFor(int filter);
// The kernel of an exact filter number 0..6, or nullptr.
const FilterKernel* KernelOrNull(int filter);

}  // namespace qel::resample
