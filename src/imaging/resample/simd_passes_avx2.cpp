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

// The dot product of taps 16-bit weights with as many plane values, as eight partial
// sums. G is taps / 16 when known at compile time, 0 otherwise.
template <int G>
QEL_AVX2 inline __m256i Dot(const std::int16_t* data, const std::int16_t* weights, int taps) {
  __m256i acc = _mm256_madd_epi16(Load(data), Load(weights));
  if constexpr (G > 0) {
    for (int g = 1; g < G; ++g)
      acc = _mm256_add_epi32(acc, _mm256_madd_epi16(Load(data + 16 * g), Load(weights + 16 * g)));
  } else {
    for (int k = 16; k < taps; k += 16)
      acc = _mm256_add_epi32(acc, _mm256_madd_epi16(Load(data + k), Load(weights + k)));
  }
  return acc;
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

// Eight destination pixels from list x0 on: 24 values, blue, green, red pixel by pixel.
template <int G>
QEL_AVX2 inline void EightPixels(const LineWeights& lw, int x0, const std::int16_t* const planes[3],
                                 std::uint8_t* out24) {
  const DenseWeights& w = lw.dense;
  const int taps = w.taps;
  const std::int32_t* first = w.first.data() + x0;
  const std::int16_t* weights = w.Weights(x0);
  __m256i q[3];
#pragma GCC unroll 3
  for (int v = 0; v < 3; ++v) {
    __m256i acc[8];
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j) {
      const int value = 8 * v + j, pixel = value / 3, channel = value % 3;
      acc[j] = Dot<G>(planes[channel] + first[pixel], weights + pixel * taps, taps);
    }
    const std::size_t at = 3 * std::size_t(x0) + 8 * std::size_t(v);
    q[v] =
        DivideLimited(Total8(acc), Load(lw.limit3.data() + at), _mm256_loadu_ps(lw.reciprocal3.data() + at));
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

template <int G>
QEL_AVX2 void ResampleLineWith(const LineWeights& lw, const std::int16_t* const planes[3],
                               std::uint8_t* out) {
  const int count = lw.dense.count;
  int x0 = 0;
  for (; x0 + 8 <= count; x0 += 8) EightPixels<G>(lw, x0, planes, out + 3 * std::size_t(x0));
  if (x0 < count) {
    // The padded lists weigh nothing; their bytes go to a scratch block.
    alignas(32) std::uint8_t last[32];
    EightPixels<G>(lw, x0, planes, last);
    std::memcpy(out + 3 * std::size_t(x0), last, 3 * std::size_t(count - x0));
  }
}

QEL_AVX2 void ResampleLine(const LineWeights& lw, const std::int16_t* const planes[3], std::uint8_t* out) {
  switch (lw.dense.taps / 16) {
    case 1:
      return ResampleLineWith<1>(lw, planes, out);
    case 2:
      return ResampleLineWith<2>(lw, planes, out);
    case 3:
      return ResampleLineWith<3>(lw, planes, out);
    case 4:
      return ResampleLineWith<4>(lw, planes, out);
    default:
      return ResampleLineWith<0>(lw, planes, out);
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
  static constexpr SimdPasses kPasses = {16, 8, &SplitPlanes, &ResampleLine, &CombineRows, &DivideToBytes};
  return kPasses;
}

}  // namespace qel::resample

#endif
