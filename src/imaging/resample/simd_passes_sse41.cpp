// The passes with 128-bit integer vectors, for processors without AVX2. The same
// steps as the 256-bit kernels, four lists or sixteen bytes at a time.
#include "imaging/resample/simd_passes.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <cstring>

#include "imaging/resample/plane_masks.h"
#include "imaging/resample/scalar_sums.h"

#define QEL_SSE41 __attribute__((target("sse4.1")))

namespace qel::resample {

namespace {

QEL_SSE41 inline __m128i Load(const void* p) {
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

// Four sums divided by their positive divisors, truncated toward zero and limited to
// 0..256 (the packing that follows saturates 256 to 255), given 256 x divisor as the
// limit and the divisor's reciprocal rounded up (see DivisionReciprocal).
QEL_SSE41 inline __m128i DivideLimited(__m128i sums, __m128i limit, __m128 reciprocal) {
  const __m128i n = _mm_min_epi32(_mm_max_epi32(sums, _mm_setzero_si128()), limit);
  return _mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(n), reciprocal));
}

// ---- Horizontal pass ------------------------------------------------------------------

template <int G>
QEL_SSE41 inline __m128i Dot(const std::int16_t* data, const std::int16_t* weights, int taps) {
  __m128i acc = _mm_madd_epi16(Load(data), Load(weights));
  if constexpr (G > 0) {
    for (int g = 1; g < G; ++g)
      acc = _mm_add_epi32(acc, _mm_madd_epi16(Load(data + 8 * g), Load(weights + 8 * g)));
  } else {
    for (int k = 8; k < taps; k += 8)
      acc = _mm_add_epi32(acc, _mm_madd_epi16(Load(data + k), Load(weights + k)));
  }
  return acc;
}

QEL_SSE41 inline __m128i Total4(const __m128i* acc) {
  return _mm_hadd_epi32(_mm_hadd_epi32(acc[0], acc[1]), _mm_hadd_epi32(acc[2], acc[3]));
}

// Four destination pixels from list x0 on: 12 values, blue, green, red pixel by pixel.
template <int G>
QEL_SSE41 inline void FourPixels(const LineWeights& lw, int x0, const std::int16_t* const planes[3],
                                 std::uint8_t* out12) {
  const DenseWeights& w = lw.dense;
  const int taps = w.taps;
  const std::int32_t* first = w.first.data() + x0;
  const std::int16_t* weights = w.Weights(x0);
  __m128i q[3];
#pragma GCC unroll 3
  for (int v = 0; v < 3; ++v) {
    __m128i acc[4];
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) {
      const int value = 4 * v + j, pixel = value / 3, channel = value % 3;
      acc[j] = Dot<G>(planes[channel] + first[pixel], weights + pixel * taps, taps);
    }
    const std::size_t at = 3 * std::size_t(x0) + 4 * std::size_t(v);
    q[v] = DivideLimited(Total4(acc), Load(lw.limit3.data() + at), _mm_loadu_ps(lw.reciprocal3.data() + at));
  }
  const __m128i bytes = _mm_packus_epi16(_mm_packus_epi32(q[0], q[1]), _mm_packus_epi32(q[2], q[2]));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out12), bytes);
  const std::uint32_t tail = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 8)));
  std::memcpy(out12 + 8, &tail, 4);
}

template <int G>
QEL_SSE41 void ResampleLineWith(const LineWeights& lw, const std::int16_t* const planes[3],
                                std::uint8_t* out) {
  const int count = lw.dense.count;
  int x0 = 0;
  for (; x0 + 4 <= count; x0 += 4) FourPixels<G>(lw, x0, planes, out + 3 * std::size_t(x0));
  if (x0 < count) {
    alignas(16) std::uint8_t last[16];
    FourPixels<G>(lw, x0, planes, last);
    std::memcpy(out + 3 * std::size_t(x0), last, 3 * std::size_t(count - x0));
  }
}

QEL_SSE41 void ResampleLine(const LineWeights& lw, const std::int16_t* const planes[3], std::uint8_t* out) {
  switch (lw.dense.taps / 8) {
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

QEL_SSE41 void SplitPlanes(const std::uint8_t* bgr, int count, std::int16_t* blue, std::int16_t* green,
                           std::int16_t* red) {
  static constexpr PlaneMasks kMasks = MakePlaneMasks();
  std::int16_t* const planes[3] = {blue, green, red};
  int x = 0;
  for (; x + 16 <= count; x += 16) {
    const std::uint8_t* p = bgr + 3 * std::size_t(x);
    const __m128i parts[3] = {Load(p), Load(p + 16), Load(p + 32)};
    for (int c = 0; c < 3; ++c) {
      __m128i v = _mm_setzero_si128();
      for (int part = 0; part < 3; ++part)
        v = _mm_or_si128(v, _mm_shuffle_epi8(parts[part], Load(kMasks.bytes[c][part])));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(planes[c] + x), _mm_cvtepu8_epi16(v));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(planes[c] + x + 8),
                       _mm_cvtepu8_epi16(_mm_srli_si128(v, 8)));
    }
  }
  for (; x < count; ++x) {
    blue[x] = bgr[3 * x];
    green[x] = bgr[3 * x + 1];
    red[x] = bgr[3 * x + 2];
  }
}

// ---- Vertical pass --------------------------------------------------------------------

QEL_SSE41 inline void CombineChunk(const std::uint8_t* const* rows, std::size_t offset,
                                   const std::int16_t* weights, int length, __m128i limit, __m128 reciprocal,
                                   std::uint8_t* out) {
  const __m128i zero = _mm_setzero_si128();
  __m128i acc0 = zero, acc1 = zero, acc2 = zero, acc3 = zero;  // bytes 0-3, 4-7, 8-11, 12-15
  for (int k = 0; k < length; k += 2) {
    const __m128i top = Load(rows[k] + offset);
    __m128i bottom = zero;
    std::int32_t pair;
    if (k + 1 < length) {
      bottom = Load(rows[k + 1] + offset);
      std::memcpy(&pair, weights + k, sizeof pair);
    } else {
      pair = static_cast<std::uint16_t>(weights[k]);
    }
    const __m128i w = _mm_set1_epi32(pair);
    const __m128i low = _mm_unpacklo_epi8(top, bottom), high = _mm_unpackhi_epi8(top, bottom);
    acc0 = _mm_add_epi32(acc0, _mm_madd_epi16(_mm_unpacklo_epi8(low, zero), w));
    acc1 = _mm_add_epi32(acc1, _mm_madd_epi16(_mm_unpackhi_epi8(low, zero), w));
    acc2 = _mm_add_epi32(acc2, _mm_madd_epi16(_mm_unpacklo_epi8(high, zero), w));
    acc3 = _mm_add_epi32(acc3, _mm_madd_epi16(_mm_unpackhi_epi8(high, zero), w));
  }
  const __m128i words01 =
      _mm_packus_epi32(DivideLimited(acc0, limit, reciprocal), DivideLimited(acc1, limit, reciprocal));
  const __m128i words23 =
      _mm_packus_epi32(DivideLimited(acc2, limit, reciprocal), DivideLimited(acc3, limit, reciprocal));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words01, words23));
}

QEL_SSE41 void CombineRows(const std::uint8_t* const* rows, const std::int16_t* weights, int length,
                           std::int32_t divisor, float reciprocal, std::uint8_t* out, std::size_t begin,
                           std::size_t end) {
  if (end - begin < 16) return CombineRowsScalar(rows, weights, length, divisor, out, begin, end);
  const __m128i limit = _mm_set1_epi32(divisor << 8);
  const __m128 r = _mm_set1_ps(reciprocal);
  std::size_t i = begin;
  for (; i + 16 <= end; i += 16) CombineChunk(rows, i, weights, length, limit, r, out + i);
  if (i < end) CombineChunk(rows, end - 16, weights, length, limit, r, out + end - 16);
}

QEL_SSE41 void DivideToBytes(const std::int32_t* sums, const std::int32_t* divisor, const float* reciprocal,
                             std::uint8_t* out, std::size_t count) {
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i q =
        DivideLimited(Load(sums + i), _mm_slli_epi32(Load(divisor + i), 8), _mm_loadu_ps(reciprocal + i));
    const __m128i words = _mm_packus_epi32(q, q);
    const std::uint32_t bytes = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
    std::memcpy(out + i, &bytes, 4);
  }
  for (; i < count; ++i) out[i] = QuotientValue(sums[i], divisor[i]);
}

}  // namespace

const SimdPasses& Sse41Passes() {
  static constexpr SimdPasses kPasses = {8, 4, &SplitPlanes, &ResampleLine, &CombineRows, &DivideToBytes};
  return kPasses;
}

}  // namespace qel::resample

#endif
