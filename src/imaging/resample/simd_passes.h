// The vector kernels of the fast engine, one set per instruction set. Each computes
// exactly what the scalar passes compute: the integer sums of the weight lists, the
// division by each list's total truncated toward zero, the limit to 0..255.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/resample/dense_weights.h"
#include "imaging/resample/simd_level.h"

namespace qel::resample {

// The horizontal lists with 256 x their divisors (the limit of the sums) and their
// reciprocals repeated for blue, green and red, in the order the pixels' bytes come:
// value 3i + c belongs to list i.
struct LineWeights {
  DenseWeights dense;
  std::vector<std::int32_t> limit3;
  std::vector<float> reciprocal3;
};

LineWeights MakeLineWeights(DenseWeights dense);

struct SimdPasses {
  // The horizontal lists must have taps a multiple of tap_block and be padded to a
  // multiple of list_block lists.
  int tap_block;
  int list_block;

  // Spreads count BGR pixels into three planes of 16-bit values.
  void (*split_planes)(const std::uint8_t* bgr, int count, std::int16_t* blue, std::int16_t* green,
                       std::int16_t* red);

  // Writes 3 x weights.dense.count bytes, the pixels of every list, from the planes
  // (blue, green, red), each holding the line followed by at least taps zeros.
  void (*resample_line)(const LineWeights& weights, const std::int16_t* const planes[3], std::uint8_t* out);

  // Bytes [begin, end) of one destination row of the vertical pass: the weighted sum of
  // the rows rows[0] .. rows[length - 1], divided by the positive divisor.
  void (*combine_rows)(const std::uint8_t* const* rows, const std::int16_t* weights, int length,
                       std::int32_t divisor, float reciprocal, std::uint8_t* out, std::size_t begin,
                       std::size_t end);

  // out[i] = sums[i] / divisor[i] truncated toward zero and limited to 0..255, for
  // divisors from 1 to kMaxDenseDivisor with their reciprocals: the division the two
  // passes run, offered on its own so that it can be checked on its own.
  void (*divide_to_bytes)(const std::int32_t* sums, const std::int32_t* divisor, const float* reciprocal,
                          std::uint8_t* out, std::size_t count);
};

// The kernels of a level, or nullptr for the scalar level (which has none: the scalar
// engine serves it).
const SimdPasses* SimdPassesFor(SimdLevel level);

#if defined(__x86_64__) || defined(__i386__)
const SimdPasses& Avx2Passes();
const SimdPasses& Sse41Passes();
#endif

}  // namespace qel::resample
