// Rounding helpers shared by the picture operations and their callers.
#pragma once

#include <cmath>
#include <cstdint>

namespace qel {

// Round to the nearest integer, halves to the even one, whatever the floating-point
// rounding mode.
inline std::int64_t RoundHalfEven(long double value) {
  const long double lower = std::floor(value);
  const long double fraction = value - lower;
  auto result = static_cast<std::int64_t>(lower);
  if (fraction > 0.5L || (fraction == 0.5L && (result & 1) != 0)) ++result;
  return result;
}

// a x b / c with a 64-bit product, rounded to the nearest integer with halves away from
// zero; -1 when c is 0, as is a result outside 32 bits.
inline std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c) {
  if (c == 0) return -1;
  std::int64_t n = std::int64_t(a) * b;
  std::int64_t d = c;
  if (d < 0) {
    n = -n;
    d = -d;
  }
  // Halves away from zero: add half the divisor to the magnitude before dividing.
  const std::int64_t q = n >= 0 ? (n + d / 2) / d : -((-n + d / 2) / d);
  if (q < INT32_MIN || q > INT32_MAX) return -1;
  return static_cast<std::int32_t>(q);
}

}  // namespace qel
