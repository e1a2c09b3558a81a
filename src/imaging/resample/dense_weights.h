// The weight lists of one axis recast for vector code. List i covers the consecutive
// source indices first[i] .. first[i] + taps - 1, with a weight (possibly 0) for each:
// the weights of an index that the list names more than once (reflection at the edges)
// are added up, and indices the list does not name weigh 0. The integer sums come out
// the same as the list's, term for term regrouped.
//
// Each list also carries the divisor of its sums: its total, made positive by negating
// every weight of a list whose total is negative (which leaves each quotient as it
// was), and the reciprocal of that divisor for the vector division.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "imaging/resample/weights.h"

namespace qel::resample {

struct DenseWeights {
  int count = 0;                    // lists, one per destination index
  int padded_count = 0;             // count rounded up to the list block; the extra lists weigh nothing
  int taps = 0;                     // weights stored per list: the longest window rounded up to the tap block
  std::vector<std::int32_t> first;  // padded_count: the first source index of each window
  std::vector<std::int32_t> length;   // padded_count: the window's true length, at most taps
  std::vector<std::int16_t> weights;  // padded_count x taps
  std::vector<std::int32_t> divisor;  // padded_count, each at least 1
  std::vector<float> reciprocal;      // padded_count: DivisionReciprocal(divisor)
  // Lists whose weights total 0: their pixels are the sums shifted right by 8 (limited
  // to 255) instead of a quotient. Their divisor above is 1, so that vector code can run
  // over them harmlessly before the pixels are put right.
  std::vector<int> zero_total;

  const std::int16_t* Weights(int list) const {
    return weights.data() + std::size_t(list) * std::size_t(taps);
  }
};

// The division of the vector kernels. A sum n is first brought into 0..256 x divisor,
// which changes no quotient once limited to 0..255. There, with r the reciprocal of the
// divisor rounded up to a float, the product of the float n and r, rounded to a float
// and truncated, is the quotient of n by the divisor truncated toward zero, for every
// divisor up to kMaxDenseDivisor: the product rounds monotonically in n, so it is enough
// that it reaches q at n = q x divisor and stays below q + 1 at n = (q + 1) x divisor - 1,
// which the tests check for every such divisor and q.
inline constexpr std::int32_t kMaxDenseDivisor = 1 << 14;

// The smallest float not below 1 / divisor.
float DivisionReciprocal(std::int32_t divisor);

// Recasts a table over a line of line_length pixels, with taps a multiple of
// tap_block and the list count padded to a multiple of list_block. nullopt when a
// merged weight leaves 16 bits, a total leaves +/-kMaxDenseDivisor or the dense form
// would be unreasonably large; the caller then takes the scalar pass. Lists total about
// 256 for every kernel and radius; the divisor limit is far away.
std::optional<DenseWeights> MakeDenseWeights(const WeightTable& table, int line_length, int tap_block,
                                             int list_block);

// The pixel value of a zero-total list from its sum: the sum read as unsigned, shifted
// right by 8, limited to 255.
inline std::uint8_t ZeroTotalValue(std::int32_t sum) {
  const std::uint32_t v = static_cast<std::uint32_t>(sum) >> 8;
  return static_cast<std::uint8_t>(v > 255 ? 255 : v);
}

// The pixel value of an ordinary list: the sum divided by the positive divisor,
// truncated toward zero, limited to 0..255.
inline std::uint8_t QuotientValue(std::int32_t sum, std::int32_t divisor) {
  const std::int32_t q = sum / divisor;
  return static_cast<std::uint8_t>(q < 0 ? 0 : q > 255 ? 255 : q);
}

}  // namespace qel::resample
