// Scaling of integer coordinates between the drawn picture and its pixels.
#pragma once

#include <cstdint>

namespace qel {

// a x b / c with a 64-bit intermediate, rounded to the nearest integer with halves
// away from zero. Gives -1 when c is 0 or when the result does not fit 32 bits.
std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c);

}  // namespace qel
