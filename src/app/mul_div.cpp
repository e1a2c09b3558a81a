#include "app/mul_div.h"

#include <limits>

namespace qel {

std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c) {
  if (c == 0) return -1;
  const std::int64_t product = std::int64_t(a) * std::int64_t(b);
  const std::int64_t divisor = c;
  std::int64_t quotient = product / divisor;
  const std::int64_t remainder = product % divisor;
  // The remainder carries the sign of the product; a half or more moves one step
  // away from zero in the direction of the true quotient.
  const std::int64_t abs_remainder = remainder < 0 ? -remainder : remainder;
  const std::int64_t abs_divisor = divisor < 0 ? -divisor : divisor;
  if (2 * abs_remainder >= abs_divisor) quotient += ((product < 0) != (divisor < 0)) ? -1 : 1;
  if (quotient > std::numeric_limits<std::int32_t>::max() ||
      quotient < std::numeric_limits<std::int32_t>::min())
    return -1;
  return std::int32_t(quotient);
}

}  // namespace qel
