// The weighted sums of dense lists one value at a time: for the few bytes at the end of
// a range that a vector does not cover, and for the lists whose total is 0.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/resample/dense_weights.h"

namespace qel::resample {

// Sum over k < length of weights[k] x rows[k][offset].
inline std::int32_t ColumnSum(const std::uint8_t* const* rows, const std::int16_t* weights, int length,
                              std::size_t offset) {
  std::int32_t sum = 0;
  for (int k = 0; k < length; ++k) sum += weights[k] * rows[k][offset];
  return sum;
}

// Bytes [begin, end) of a destination row of the vertical pass, one at a time.
inline void CombineRowsScalar(const std::uint8_t* const* rows, const std::int16_t* weights, int length,
                              std::int32_t divisor, std::uint8_t* out, std::size_t begin, std::size_t end) {
  for (std::size_t i = begin; i < end; ++i)
    out[i] = QuotientValue(ColumnSum(rows, weights, length, i), divisor);
}

}  // namespace qel::resample
