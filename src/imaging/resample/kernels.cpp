#include "imaging/resample/kernels.h"

#include <cmath>

#include "imaging/resample.h"

namespace qel::resample {

// The kernels compute in long double and round once, on return, to a 32-bit float.
// Each comparison is a strict less-than at the upper bound of its piece.
namespace {

using Real = long double;

// Pi to the full precision of long double.
constexpr Real kPi = 3.14159265358979323846264338327950288L;

// sin(pi t) / (pi t), with pi t rounded to a 32-bit float before the sine is taken.
float Sinc(float t) {
  if (t == 0.0f) return 1.0f;
  const float pi_t = static_cast<float>(kPi * Real(t));
  return static_cast<float>(std::sin(Real(pi_t)) / Real(pi_t));
}

}  // namespace

float BoxKernel(float x) {
  // Half-open on purpose: -0.5 is outside, +0.5 inside.
  return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f;
}

float TriangleKernel(float x) {
  const Real a = std::fabs(Real(x));
  return a < 1 ? static_cast<float>(1 - a) : 0.0f;
}

float HermiteKernel(float x) {
  const Real a = std::fabs(Real(x));
  return a < 1 ? static_cast<float>((2 * a - 3) * a * a + 1) : 0.0f;
}

float BellKernel(float x) {
  const Real a = std::fabs(Real(x));
  if (a < 0.5L) return static_cast<float>(0.75L - a * a);
  if (a < 1.5L) {
    const Real t = a - 1.5L;
    return static_cast<float>(0.5L * t * t);
  }
  return 0.0f;
}

float BSplineKernel(float x) {
  const Real a = std::fabs(Real(x));
  if (a < 1) return static_cast<float>(a * a * a / 2 - a * a + Real(2) / 3);
  if (a < 2) {
    const Real t = 2 - a;
    return static_cast<float>(t * t * t / 6);
  }
  return 0.0f;
}

float Lanczos3Kernel(float x) {
  const float a = std::fabs(x);
  if (!(a < 3.0f)) return 0.0f;
  // The argument of the second factor is a / 3 as a 32-bit float.
  return static_cast<float>(Real(Sinc(a)) * Real(Sinc(static_cast<float>(Real(a) / 3))));
}

float MitchellKernel(float x) {
  // The cubic with both parameters 1/3.
  const Real a = std::fabs(Real(x));
  const Real a2 = a * a, a3 = a2 * a;
  if (a < 1) return static_cast<float>((7 * a3 - 12 * a2 + Real(16) / 3) / 6);
  if (a < 2) return static_cast<float>((-Real(7) / 3 * a3 + 12 * a2 - 20 * a + Real(32) / 3) / 6);
  return 0.0f;
}

namespace {

// The double twins of the kernels above.

double SincApproximate(float t) {
  if (t == 0.0f) return 1.0;
  const float pi_t = static_cast<float>(kPi * Real(t));
  return std::sin(double(pi_t)) / double(pi_t);
}

double BoxApproximate(float x) {
  return BoxKernel(x);
}

double TriangleApproximate(float x) {
  const double a = std::fabs(double(x));
  return a < 1 ? 1 - a : 0.0;
}

double HermiteApproximate(float x) {
  const double a = std::fabs(double(x));
  return a < 1 ? (2 * a - 3) * a * a + 1 : 0.0;
}

double BellApproximate(float x) {
  const double a = std::fabs(double(x));
  if (a < 0.5) return 0.75 - a * a;
  if (a < 1.5) return 0.5 * (a - 1.5) * (a - 1.5);
  return 0.0;
}

double BSplineApproximate(float x) {
  const double a = std::fabs(double(x));
  if (a < 1) return a * a * a / 2 - a * a + 2.0 / 3;
  if (a < 2) return (2 - a) * (2 - a) * (2 - a) / 6;
  return 0.0;
}

double Lanczos3Approximate(float x) {
  const float a = std::fabs(x);
  if (!(a < 3.0f)) return 0.0;
  return SincApproximate(a) * SincApproximate(static_cast<float>(Real(a) / 3));
}

double MitchellApproximate(float x) {
  const double a = std::fabs(double(x));
  const double a2 = a * a, a3 = a2 * a;
  if (a < 1) return (7 * a3 - 12 * a2 + 16.0 / 3) / 6;
  if (a < 2) return (-7.0 / 3 * a3 + 12 * a2 - 20 * a + 32.0 / 3) / 6;
  return 0.0;
}

// Indexed by filter number.
constexpr FilterKernel kKernels[kFilterCount] = {
    {"Box", &BoxKernel, 0.5f, &BoxApproximate},
    {"Triangle", &TriangleKernel, 1.0f, &TriangleApproximate},
    {"Hermite", &HermiteKernel, 1.0f, &HermiteApproximate},
    {"Bell", &BellKernel, 1.5f, &BellApproximate},
    {"BSpline", &BSplineKernel, 2.0f, &BSplineApproximate},
    {"Lanczos3", &Lanczos3Kernel, 3.0f, &Lanczos3Approximate},
    {"Mitchell", &MitchellKernel, 2.0f, &MitchellApproximate},
};

}  // namespace

const FilterKernel* KernelOrNull(int filter) {
  return (filter >= 0 && filter < kFilterCount) ? &kKernels[filter] : nullptr;
}

const FilterKernel& KernelFor(int filter) {
  const FilterKernel* kernel = KernelOrNull(filter);
  return kernel ? *kernel : kKernels[kFallbackFilter];
}

}  // namespace qel::resample
