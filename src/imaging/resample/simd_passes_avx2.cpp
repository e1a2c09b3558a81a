// The passes with 256-bit integer vectors. Every function that uses them carries the
// target attribute, so the file builds for any x86-64 and runs only where the
// processor reports AVX2.
#include "imaging/resample/simd_passes.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <cstring>

#include "imaging/resample/plane_masks.h"
#include "imaging/resample/scalar_sums.h"

#define QEL_AVX2 __attribute__((target("avx2")))

namespace qel::resample {

namespace {

QEL_AVX2 inline __m256i Load(const void* p) {
  return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}

// Eight sums divided by their positive divisors, truncated toward zero and limited to
// 0..256 (the packing that follows saturates 256 to 255), given 256 x divisor as the
// limit and the divisor's reciprocal rounded up (see DivisionReciprocal).
QEL_AVX2 inline __m256i DivideLimited(__m256i sums, __m256i limit, __m256 reciprocal) {
  const __m256i n = _mm256_min_epi32(_mm256_max_epi32(sums, _mm256_setzero_si256()), limit);
  return _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(n), reciprocal));
}

// ---- Horizontal pass ------------------------------------------------------------------

// The taps of a list come in groups of 16, the width of a vector of 16-bit values, and
// possibly a last group of 8. G is the number of groups of 16 when known at compile
// time, -1 otherwise; Half says whether the group of 8 follows. Two values' groups of 8
// share one multiply-add, one in each 128-bit half.

// The dot product of the groups of 16 of one value, as eight partial sums.
template <int G>
QEL_AVX2 inline __m256i Dot(const std::int16_t* data, const std::int16_t* weights, int groups) {
  __m256i acc = _mm256_madd_epi16(Load(data), Load(weights));
  const int count = G >= 0 ? G : groups;
  for (int g = 1; g < count; ++g) {
    acc = _mm256_add_epi32(acc, _mm256_madd_epi16(Load(data + 16 * g), Load(weights + 16 * g)));
  }
  return acc;
}

// Eight 16-bit values from each of two places, the first in the low half.
QEL_AVX2 inline __m256i LoadHalves(const std::int16_t* low, const std::int16_t* high) {
  return _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(high), reinterpret_cast<const __m128i*>(low));
}

// The groups of 8 of two values, the first in the low half, the second in the high.
QEL_AVX2 inline __m256i HalfDots(const std::int16_t* data_low, const std::int16_t* weights_low,
                                 const std::int16_t* data_high, const std::int16_t* weights_high) {
  return _mm256_madd_epi16(LoadHalves(data_low, data_high), LoadHalves(weights_low, weights_high));
}

// The totals of eight vectors of partial sums, in order.
QEL_AVX2 inline __m256i Total8(const __m256i* acc) {
  const __m256i ab = _mm256_hadd_epi32(acc[0], acc[1]);
  const __m256i cd = _mm256_hadd_epi32(acc[2], acc[3]);
  const __m256i ef = _mm256_hadd_epi32(acc[4], acc[5]);
  const __m256i gh = _mm256_hadd_epi32(acc[6], acc[7]);
  const __m256i abcd = _mm256_hadd_epi32(ab, cd);  // low half: first four taps' share, high: the rest
  const __m256i efgh = _mm256_hadd_epi32(ef, gh);
  return _mm256_add_epi32(_mm256_permute2x128_si256(abcd, efgh, 0x20),
                          _mm256_permute2x128_si256(abcd, efgh, 0x31));
}

// The totals of four vectors of two values each (values 2m and 2m + 1 in vector m), in
// order. The additions leave values 0, 2, 4, 6 in the low half and 1, 3, 5, 7 in the
// high one; the permutation interleaves them.
QEL_AVX2 inline __m256i TotalPairs(const __m256i* pairs) {
  const __m256i even_odd =
      _mm256_hadd_epi32(_mm256_hadd_epi32(pairs[0], pairs[1]), _mm256_hadd_epi32(pairs[2], pairs[3]));
  return _mm256_permutevar8x32_epi32(even_odd, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

// Eight destination pixels from list x0 on: 24 values, blue, green, red pixel by pixel.
template <int G, bool Half>
QEL_AVX2 inline void EightPixels(const LineWeights& lw, int x0, const std::int16_t* const planes[3],
                                 std::uint8_t* out24) {
  const DenseWeights& w = lw.dense;
  // Known at compile time unless G is -1, which lets the weights' addresses be constant
  // offsets.
  const int taps = G >= 0 ? 16 * G + (Half ? 8 : 0) : w.taps, groups = taps / 16;
  const std::int32_t* first = w.first.data() + x0;
  const std::int16_t* weights = w.Weights(x0);
  const std::int16_t* const plane[3] = {planes[0], planes[1], planes[2]};
  auto data_of = [&](int value) { return plane[value % 3] + first[value / 3]; };
  auto weights_of = [&](int value) { return weights + (value / 3) * taps; };
  __m256i q[3];
#pragma GCC unroll 3
  for (int v = 0; v < 3; ++v) {
    __m256i totals;
    if constexpr (G != 0) {
      __m256i acc[8];
#pragma GCC unroll 8
      for (int j = 0; j < 8; ++j) acc[j] = Dot<G>(data_of(8 * v + j), weights_of(8 * v + j), groups);
      totals = Total8(acc);
    }
    if constexpr (Half) {
      const int at = 16 * groups;
      __m256i pairs[4];
#pragma GCC unroll 4
      for (int m = 0; m < 4; ++m) {
        const int low = 8 * v + 2 * m, high = low + 1;
        pairs[m] =
            HalfDots(data_of(low) + at, weights_of(low) + at, data_of(high) + at, weights_of(high) + at);
      }
      totals = G != 0 ? _mm256_add_epi32(totals, TotalPairs(pairs)) : TotalPairs(pairs);
    }
    const std::size_t at = 3 * std::size_t(x0) + 8 * std::size_t(v);
    q[v] = DivideLimited(totals, Load(lw.limit3.data() + at), _mm256_loadu_ps(lw.reciprocal3.data() + at));
  }
  // 24 quotients to 24 bytes. The packs work within 128-bit halves; the permutation
  // puts the 4-byte groups back in order.
  const __m256i words01 = _mm256_packus_epi32(q[0], q[1]);
  const __m256i words22 = _mm256_packus_epi32(q[2], q[2]);
  const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words01, words22),
                                                    _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out24), _mm256_castsi256_si128(bytes));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out24 + 16), _mm256_extracti128_si256(bytes, 1));
}

template <int G, bool Half>
QEL_AVX2 void ResampleLineWith(const LineWeights& lw, const std::int16_t* const planes[3],
                               std::uint8_t* out) {
  const int count = lw.dense.count;
  int x0 = 0;
  for (; x0 + 8 <= count; x0 += 8) EightPixels<G, Half>(lw, x0, planes, out + 3 * std::size_t(x0));
  if (x0 < count) {
    // The padded lists weigh nothing; their bytes go to a scratch block.
    alignas(32) std::uint8_t last[32];
    EightPixels<G, Half>(lw, x0, planes, last);
    std::memcpy(out + 3 * std::size_t(x0), last, 3 * std::size_t(count - x0));
  }
}

QEL_AVX2 void ResampleLine(const LineWeights& lw, const std::int16_t* const planes[3], std::uint8_t* out) {
  switch (lw.dense.taps) {
    case 8:
      return ResampleLineWith<0, true>(lw, planes, out);
    case 16:
      return ResampleLineWith<1, false>(lw, planes, out);
    case 24:
      return ResampleLineWith<1, true>(lw, planes, out);
    case 32:
      return ResampleLineWith<2, false>(lw, planes, out);
    case 40:
      return ResampleLineWith<2, true>(lw, planes, out);
    case 48:
      return ResampleLineWith<3, false>(lw, planes, out);
    default:
      return lw.dense.taps % 16 ? ResampleLineWith<-1, true>(lw, planes, out)
                                : ResampleLineWith<-1, false>(lw, planes, out);
  }
}

QEL_AVX2 void SplitPlanes(const std::uint8_t* bgr, int count, std::int16_t* blue, std::int16_t* green,
                          std::int16_t* red) {
  static constexpr PlaneMasks kMasks = MakePlaneMasks();
  std::int16_t* const planes[3] = {blue, green, red};
  int x = 0;
  for (; x + 16 <= count; x += 16) {
    const std::uint8_t* p = bgr + 3 * std::size_t(x);
    const __m128i parts[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32))};
    for (int c = 0; c < 3; ++c) {
      __m128i v = _mm_setzero_si128();
      for (int part = 0; part < 3; ++part) {
        const __m128i mask = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kMasks.bytes[c][part]));
        v = _mm_or_si128(v, _mm_shuffle_epi8(parts[part], mask));
      }
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(planes[c] + x), _mm256_cvtepu8_epi16(v));
    }
  }
  for (; x < count; ++x) {
    blue[x] = bgr[3 * x];
    green[x] = bgr[3 * x + 1];
    red[x] = bgr[3 * x + 2];
  }
}

// ---- Vertical pass --------------------------------------------------------------------

// Bytes offset .. offset + 31 of a destination row from `length` source rows. Rows go in pairs: their bytes
// are interleaved and widened so that one multiply-add takes a byte of each with the pair's two weights.
QEL_AVX2 inline void CombineChunk(const std::uint8_t* const* rows, std::size_t offset,
                                  const std::int16_t* weights, int length, __m256i limit, __m256 reciprocal,
                                  std::uint8_t* out) {
  const __m256i zero = _mm256_setzero_si256();
  // acc0 holds bytes 0-3 and 16-19, acc1 4-7 and 20-23, acc2 8-11 and 24-27, acc3 the rest.
  __m256i acc0 = zero, acc1 = zero, acc2 = zero, acc3 = zero;
  for (int k = 0; k < length; k += 2) {
    const __m256i top = Load(rows[k] + offset);
    __m256i bottom = zero;
    std::int32_t pair;
    if (k + 1 < length) {
      bottom = Load(rows[k + 1] + offset);
      std::memcpy(&pair, weights + k, sizeof pair);  // low half: weight k, high half: weight k + 1
    } else {
      pair = static_cast<std::uint16_t>(weights[k]);
    }
    const __m256i w = _mm256_set1_epi32(pair);
    const __m256i low = _mm256_unpacklo_epi8(top, bottom), high = _mm256_unpackhi_epi8(top, bottom);
    acc0 = _mm256_add_epi32(acc0, _mm256_madd_epi16(_mm256_unpacklo_epi8(low, zero), w));
    acc1 = _mm256_add_epi32(acc1, _mm256_madd_epi16(_mm256_unpackhi_epi8(low, zero), w));
    acc2 = _mm256_add_epi32(acc2, _mm256_madd_epi16(_mm256_unpacklo_epi8(high, zero), w));
    acc3 = _mm256_add_epi32(acc3, _mm256_madd_epi16(_mm256_unpackhi_epi8(high, zero), w));
  }
  const __m256i words01 =
      _mm256_packus_epi32(DivideLimited(acc0, limit, reciprocal), DivideLimited(acc1, limit, reciprocal));
  const __m256i words23 =
      _mm256_packus_epi32(DivideLimited(acc2, limit, reciprocal), DivideLimited(acc3, limit, reciprocal));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_packus_epi16(words01, words23));
}

QEL_AVX2 void CombineRows(const std::uint8_t* const* rows, const std::int16_t* weights, int length,
                          std::int32_t divisor, float reciprocal, std::uint8_t* out, std::size_t begin,
                          std::size_t end) {
  if (end - begin < 32) return CombineRowsScalar(rows, weights, length, divisor, out, begin, end);
  const __m256i limit = _mm256_set1_epi32(divisor << 8);
  const __m256 r = _mm256_set1_ps(reciprocal);
  std::size_t i = begin;
  for (; i + 32 <= end; i += 32) CombineChunk(rows, i, weights, length, limit, r, out + i);
  // The last bytes: one more chunk ending at `end`, which recomputes a few bytes of the
  // one before it with the same result.
  if (i < end) CombineChunk(rows, end - 32, weights, length, limit, r, out + end - 32);
}

QEL_AVX2 void DivideToBytes(const std::int32_t* sums, const std::int32_t* divisor, const float* reciprocal,
                            std::uint8_t* out, std::size_t count) {
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i q = DivideLimited(Load(sums + i), _mm256_slli_epi32(Load(divisor + i), 8),
                                    _mm256_loadu_ps(reciprocal + i));
    const __m256i words = _mm256_packus_epi32(q, q);
    const __m256i bytes = _mm256_packus_epi16(words, words);
    const std::uint32_t low = static_cast<std::uint32_t>(_mm256_cvtsi256_si32(bytes));
    const std::uint32_t high = static_cast<std::uint32_t>(_mm256_extract_epi32(bytes, 4));
    std::memcpy(out + i, &low, 4);
    std::memcpy(out + i + 4, &high, 4);
  }
  for (; i < count; ++i) out[i] = QuotientValue(sums[i], divisor[i]);
}

}  // namespace

const SimdPasses& Avx2Passes() {
  static constexpr SimdPasses kPasses = {8, 8, &SplitPlanes, &ResampleLine, &CombineRows, &DivideToBytes};
  return kPasses;
}

}  // namespace qel::resample

#endif
