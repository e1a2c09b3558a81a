#include "imaging/sharpen.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/rounding.h"
#include "imaging/row_split.h"

namespace qel {

namespace {

// The loops below are written once and compiled twice: plainly, and for processors with
// AVX2, where the compiler turns them into vector code. The caller picks one at run time.
#if defined(__x86_64__) || defined(__i386__)
#define QEL_HAS_AVX2_CLONES 1
#define QEL_AVX2 __attribute__((target("avx2")))
#else
#define QEL_HAS_AVX2_CLONES 0
#endif

// Bytes [3, last) of an inner row of the sharpened result: each channel from the pixel
// itself (c), the four neighbours and c again in the sum, in 16.16 fixed point.
__attribute__((always_inline)) inline void SharpenBytes(const std::uint8_t* __restrict above,
                                                        const std::uint8_t* __restrict row,
                                                        const std::uint8_t* __restrict below,
                                                        std::uint8_t* __restrict target, std::size_t last,
                                                        std::int32_t a, std::int32_t b) {
  for (std::size_t i = 3; i < last; ++i) {
    const std::int32_t c = row[i];
    const std::int32_t sum = above[i] + row[i - 3] + c + row[i + 3] + below[i];
    const std::int32_t v = ((a * c + 32767) >> 16) - ((b * sum + 32767) >> 16);
    target[i] = static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
  }
}

void SharpenBytesPlain(const std::uint8_t* above, const std::uint8_t* row, const std::uint8_t* below,
                       std::uint8_t* target, std::size_t last, std::int32_t a, std::int32_t b) {
  SharpenBytes(above, row, below, target, last, a, b);
}

// The sums of the anti-alias that do not depend on the bytes it has just written: for
// each byte of an inner pixel, the pixel above (already anti-aliased), the one below
// and the one to the right (both not yet).
__attribute__((always_inline)) inline void AntiAliasSums(const std::uint8_t* __restrict above,
                                                         const std::uint8_t* __restrict row,
                                                         const std::uint8_t* __restrict below,
                                                         std::uint16_t* __restrict sums, std::size_t last) {
  for (std::size_t i = 3; i < last; ++i) sums[i] = std::uint16_t(above[i] + below[i] + row[i + 3]);
}

void AntiAliasSumsPlain(const std::uint8_t* above, const std::uint8_t* row, const std::uint8_t* below,
                        std::uint16_t* sums, std::size_t last) {
  AntiAliasSums(above, row, below, sums, last);
}

#if QEL_HAS_AVX2_CLONES
QEL_AVX2 void SharpenBytesAvx2(const std::uint8_t* above, const std::uint8_t* row, const std::uint8_t* below,
                               std::uint8_t* target, std::size_t last, std::int32_t a, std::int32_t b) {
  SharpenBytes(above, row, below, target, last, a, b);
}

QEL_AVX2 void AntiAliasSumsAvx2(const std::uint8_t* above, const std::uint8_t* row, const std::uint8_t* below,
                                std::uint16_t* sums, std::size_t last) {
  AntiAliasSums(above, row, below, sums, last);
}
#endif

bool HasAvx2() {
#if QEL_HAS_AVX2_CLONES
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

}  // namespace

void SharpenPicture(Picture& picture, float alpha) {
  const int w = picture.Width(), h = picture.Height();
  if (w <= 2 || h <= 2) throw Error(std::string(kSharpenTooSmall));
  if (!(alpha > 1.0f) || !(alpha < 6.0f)) throw Error(std::string(kSharpenBadAlpha));

  // The factors as 16.16 fixed point, rounded halves to even: for alpha 2, B = 13107
  // and A = 131072. Both products below stay under 2^31 (A x 255, B x 5 x 255).
  const float beta = static_cast<float>((static_cast<long double>(alpha) - 1) / 5);
  const auto b = static_cast<std::int32_t>(RoundHalfEven(static_cast<long double>(beta) * 65536));
  const auto a = static_cast<std::int32_t>(RoundHalfEven(static_cast<long double>(alpha) * 65536));

  // Every inner byte is computed from the unchanged picture; the outermost rows and
  // columns and the row padding stay as they are. The work is done in place, in bands
  // of rows: a band keeps the unchanged copy of the row it has just sharpened, and takes
  // the unchanged rows just outside it from copies made before any band starts.
  const std::size_t row_bytes = 3 * std::size_t(w);
  const std::size_t last = 3 * std::size_t(w - 1);
  const int inner_rows = h - 2;
  const int threads = std::int64_t(w) * h >= kPixelsForThreads ? ThreadCount(0) : 1;
  const int bands = threads == 1 ? 1 : std::min(inner_rows, 4 * threads);
  auto band_start = [&](int band) { return 1 + int(std::int64_t(inner_rows) * band / bands); };
  std::vector<std::uint8_t> edges(2 * std::size_t(bands) * row_bytes);
  for (int band = 0; band < bands; ++band) {
    std::memcpy(&edges[2 * std::size_t(band) * row_bytes], picture.Row(band_start(band) - 1), row_bytes);
    std::memcpy(&edges[(2 * std::size_t(band) + 1) * row_bytes], picture.Row(band_start(band + 1)),
                row_bytes);
  }
#if QEL_HAS_AVX2_CLONES
  const auto sharpen_bytes = HasAvx2() ? &SharpenBytesAvx2 : &SharpenBytesPlain;
#else
  const auto sharpen_bytes = &SharpenBytesPlain;
#endif
  ParallelFor(threads, bands, [&](int, int band) {
    const int first = band_start(band), end = band_start(band + 1);
    const std::uint8_t* above = &edges[2 * std::size_t(band) * row_bytes];
    const std::uint8_t* below_last = &edges[(2 * std::size_t(band) + 1) * row_bytes];
    std::vector<std::uint8_t> copies(2 * row_bytes);  // the unchanged current and previous rows
    for (int y = first; y < end; ++y) {
      std::uint8_t* row = picture.Row(y);
      std::uint8_t* unchanged = &copies[std::size_t(y - first) % 2 * row_bytes];
      std::memcpy(unchanged, row, row_bytes);
      const std::uint8_t* below = y + 1 < end ? picture.Row(y + 1) : below_last;
      sharpen_bytes(above, unchanged, below, row, last, a, b);
      above = unchanged;
    }
  });
  picture.SetTransparent(false);
}

void AntiAliasPicture(Picture& picture) {
  const int w = picture.Width(), h = picture.Height();
  if (w < 3 || h < 3) return;  // no inner pixels
#if QEL_HAS_AVX2_CLONES
  const auto anti_alias_sums = HasAvx2() ? &AntiAliasSumsAvx2 : &AntiAliasSumsPlain;
#else
  const auto anti_alias_sums = &AntiAliasSumsPlain;
#endif
  // Each row needs the one above it finished, so the rows go one after another. Within
  // a row, the sums of the three neighbours that are read before any byte of the row
  // changes come first; the left neighbours, each just written, follow in one pass with
  // the last blue, green and red kept at hand.
  const std::size_t last = 3 * std::size_t(w - 1);
  std::vector<std::uint16_t> sums(last);
  for (int y = 1; y < h - 1; ++y) {
    std::uint8_t* row = picture.Row(y);
    anti_alias_sums(picture.Row(y - 1), row, picture.Row(y + 1), sums.data(), last);
    unsigned blue = row[0], green = row[1], red = row[2];
    for (std::size_t i = 3; i < last; i += 3) {
      blue = (sums[i] + blue) >> 2;
      green = (sums[i + 1] + green) >> 2;
      red = (sums[i + 2] + red) >> 2;
      row[i] = static_cast<std::uint8_t>(blue);
      row[i + 1] = static_cast<std::uint8_t>(green);
      row[i + 2] = static_cast<std::uint8_t>(red);
    }
  }
}

}  // namespace qel
