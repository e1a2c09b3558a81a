// The fast resampling engine against the scalar one: the same bytes for every input,
// whatever the instruction set and the thread count.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/resample.h"
#include "imaging/resample/dense_weights.h"
#include "imaging/resample/engine.h"
#include "imaging/resample/fast_weights.h"
#include "imaging/resample/kernels.h"
#include "imaging/resample/line_cache.h"
#include "imaging/resample/passes.h"
#include "imaging/resample/simd_passes.h"
#include "imaging/resample/weights.h"
#include "imaging/rounding.h"

namespace qel {
namespace {

using namespace resample;

// The instruction sets this processor runs, each with its kernels.
std::vector<SimdLevel> VectorLevels() {
  std::vector<SimdLevel> levels;
  for (SimdLevel level : {SimdLevel::kSse41, SimdLevel::kAvx2}) {
    if (DetectSimdLevel() >= level) levels.push_back(level);
  }
  return levels;
}

Picture RandomPicture(int w, int h, std::mt19937& rng) {
  Picture p = NewPicture(w, h, kNoColor);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < 3 * w; ++x) p.Row(y)[x] = static_cast<std::uint8_t>(rng());
  }
  return p;
}

// Black and white pixels in a checkerboard: the largest overshoots of the negative lobes,
// so that the limits to 0..255 are taken on every side.
Picture Checkerboard(int w, int h) {
  Picture p = NewPicture(w, h, kNoColor);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) p.SetPixel(x, y, (x + y) % 2 ? 0xFFFFFF : 0);
  }
  return p;
}

// Every byte alike, the row padding included.
bool SameBytes(const Picture& a, const Picture& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() && a.GetPalette() == b.GetPalette() &&
         a.Bytes().size() == b.Bytes().size() &&
         std::memcmp(a.Bytes().data(), b.Bytes().data(), a.Bytes().size()) == 0;
}

struct Resize {
  int width, height, filter;
  float radius;
};

std::string Describe(const Picture& source, const Resize& r, SimdLevel level, int threads) {
  return std::to_string(source.Width()) + "x" + std::to_string(source.Height()) + " -> " +
         std::to_string(r.width) + "x" + std::to_string(r.height) + " filter " + std::to_string(r.filter) +
         " radius " + std::to_string(r.radius) + " " + SimdLevelName(level) + " threads " +
         std::to_string(threads);
}

// The fast engine at every level and the given thread counts against the scalar engine.
void ExpectSameAsReference(const Picture& source, const Resize& r, std::initializer_list<int> thread_counts) {
  Picture expected;
  ResampleIntoReference(r.width, r.height, r.filter, r.radius, source, expected);
  for (SimdLevel level : VectorLevels()) {
    for (int threads : thread_counts) {
      Picture actual = NewPicture(2, 2, 0x123456);
      ResampleIntoFast(r.width, r.height, r.filter, r.radius, source, actual, EngineOptions{threads, level});
      ASSERT_TRUE(SameBytes(actual, expected)) << Describe(source, r, level, threads);
    }
  }
}

TEST(ResampleFastDivision, ExactAtEveryStepOfEveryDivisor) {
  // The product of n and the rounded-up reciprocal rounds monotonically in n, so the
  // quotient is right for every n once it is right where it steps: at n = q x d, and at
  // n = (q + 1) x d - 1 just below the next step. Both are checked for every divisor
  // the kernels take and every quotient up to the limit, along with sums below 0 and
  // far beyond 255 x d.
  for (SimdLevel level : VectorLevels()) {
    const SimdPasses& passes = *SimdPassesFor(level);
    std::vector<std::int32_t> sums, divisors;
    std::vector<float> reciprocals;
    std::vector<std::uint8_t> out;
    auto check = [&] {
      out.assign(sums.size(), 0);
      passes.divide_to_bytes(sums.data(), divisors.data(), reciprocals.data(), out.data(), sums.size());
      for (std::size_t i = 0; i < sums.size(); ++i) {
        ASSERT_EQ(out[i], QuotientValue(sums[i], divisors[i]))
            << SimdLevelName(level) << ": " << sums[i] << " / " << divisors[i];
      }
      sums.clear();
      divisors.clear();
      reciprocals.clear();
    };
    for (std::int32_t d = 1; d <= kMaxDenseDivisor; ++d) {
      const float r = DivisionReciprocal(d);
      auto add = [&](std::int64_t n) {
        sums.push_back(static_cast<std::int32_t>(n));
        divisors.push_back(d);
        reciprocals.push_back(r);
      };
      for (std::int64_t q = 0; q <= 256; ++q) {
        add(q * d);
        add((q + 1) * d - 1);
      }
      const std::int64_t far_sums[] = {
          -1, -std::int64_t(d), -255 * std::int64_t(d) - 7, 1000 * std::int64_t(d), INT32_MAX, INT32_MIN};
      for (const std::int64_t n : far_sums) add(n);
      if (sums.size() > (1u << 20)) check();
    }
    check();
  }
}

TEST(ResampleFastDivision, ReciprocalIsTheSmallestFloatNotBelow) {
  for (std::int32_t d = 1; d <= kMaxDenseDivisor; ++d) {
    const float r = DivisionReciprocal(d);
    ASSERT_GE(double(r) * d, 1.0) << d;
    ASSERT_LT(double(std::nextafter(r, 0.0f)) * d, 1.0) << d;
  }
}

TEST(ResampleFastWeights, GuardedWeightsAreTheKernelsOwn) {
  // The double twins decide a weight alone only far from a half; near one the float
  // kernel decides. Checked on random arguments and factors for every kernel, on
  // arguments packed around the kernels' breakpoints and on the factors that real
  // reductions use.
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> argument(-6.0f, 6.0f);
  std::uniform_real_distribution<float> scale(0.0001f, 1.0f);
  for (int f = 0; f < kFilterCount; ++f) {
    const FilterKernel& kernel = KernelFor(f);
    const int samples = f == kFilterLanczos3 ? 60000 : 400000;
    for (int i = 0; i < samples; ++i) {
      const float x = argument(rng);
      const long double factor = i % 2 ? 256.0L : static_cast<long double>(scale(rng)) * 256;
      ASSERT_EQ(GuardedWeight(kernel, x, factor),
                RoundHalfEven(static_cast<long double>(kernel.function(x)) * factor))
          << kernel.name << " at " << x << " factor " << static_cast<double>(factor);
    }
    for (float centre : {0.0f, 0.5f, 1.0f, 1.5f, 2.0f, 3.0f}) {
      float x = centre;
      for (int i = 0; i < 2000; ++i) x = std::nextafter(x, 0.0f);
      for (int i = 0; i < 4000; ++i, x = std::nextafter(x, 10.0f)) {
        for (long double factor : {256.0L, 0.25L * 256, static_cast<long double>(1499.0f / 5999.0f) * 256}) {
          ASSERT_EQ(GuardedWeight(kernel, x, factor),
                    RoundHalfEven(static_cast<long double>(kernel.function(x)) * factor))
              << kernel.name << " at " << x;
          ASSERT_EQ(GuardedWeight(kernel, -x, factor),
                    RoundHalfEven(static_cast<long double>(kernel.function(-x)) * factor))
              << kernel.name << " at " << -x;
        }
      }
    }
  }
}

TEST(ResampleFastWeights, TablesEqualTheScalarEngines) {
  std::mt19937 rng(12);
  for (int f = 0; f < kFilterCount; ++f) {
    const FilterKernel& kernel = KernelFor(f);
    for (int i = 0; i < 60; ++i) {
      const int target = 1 + int(rng() % 300), line = 1 + int(rng() % 300);
      const float radius = i % 3 == 0 ? kernel.radius : 0.2f + float(rng() % 60) / 10.0f;
      const float s = AxisScale(target, line);
      ASSERT_TRUE(BuildWeightTableFast(target, line, s, kernel, radius) ==
                  BuildWeightTable(target, line, s, kernel, radius))
          << kernel.name << " " << line << " -> " << target << " radius " << radius;
    }
    for (auto [target, line] : {std::pair{1500, 6000}, {1000, 4000}, {6000, 1500}, {1, 3000}, {3000, 1}}) {
      const float s = AxisScale(target, line);
      ASSERT_TRUE(BuildWeightTableFast(target, line, s, kernel, kernel.radius) ==
                  BuildWeightTable(target, line, s, kernel, kernel.radius))
          << kernel.name << " " << line << " -> " << target;
    }
  }
}

TEST(ResampleFast, RandomSizesFiltersRadiiAndThreads) {
  std::mt19937 rng(13);
  const float radii[] = {0.0f, 0.3f, 0.7f, 1.3f, 2.5f, 3.7f, 5.1f, 9.5f};
  for (int i = 0; i < 400; ++i) {
    const Picture source = RandomPicture(1 + int(rng() % 70), 1 + int(rng() % 70), rng);
    const Resize r{1 + int(rng() % 150), 1 + int(rng() % 150), int(rng() % 9) - 1, radii[rng() % 8]};
    ExpectSameAsReference(source, r, {1, 2, 3, 5});
  }
}

TEST(ResampleFast, SameSizeOnePixelSidesAndHugeFactors) {
  std::mt19937 rng(14);
  struct Case {
    int sw, sh, tw, th;
  };
  const Case cases[] = {
      {37, 23, 37, 23}, {1, 1, 1, 1},       {1, 1, 500, 3},     {1, 1, 3, 500},  {3000, 2, 2, 1},
      {2, 3000, 1, 3},  {5000, 1, 1, 1},    {1, 5000, 1, 1},    {7, 1, 1000, 1}, {1, 7, 1, 1000},
      {2, 2, 1, 1},     {1, 9, 5, 2},       {300, 200, 1, 1},   {64, 64, 4, 4},  {9, 700, 13, 2},
      {700, 9, 2, 13},  {250, 180, 31, 22}, {31, 22, 250, 180}, {2, 1, 3, 2},    {3, 2, 2, 1},
  };
  for (const Case& c : cases) {
    const Picture random = RandomPicture(c.sw, c.sh, rng);
    const Picture board = Checkerboard(c.sw, c.sh);
    for (int f = 0; f < kFilterCount; ++f) {
      ExpectSameAsReference(random, {c.tw, c.th, f, 0.0f}, {1, 2, 7});
      ExpectSameAsReference(board, {c.tw, c.th, f, 0.0f}, {1, 3});
    }
  }
}

TEST(ResampleFast, LargePicturesWithManyRunsPerThread) {
  // Enough destination rows for every thread to take several runs, each starting its
  // ring of intermediate rows afresh; reducing by a large factor in height takes the
  // whole intermediate picture instead.
  std::mt19937 rng(15);
  const Picture source = RandomPicture(613, 411, rng);
  for (int f : {kFilterLanczos3, kFilterMitchell, kFilterBox}) {
    ExpectSameAsReference(source, {157, 103, f, 0.0f}, {1, 2, 4});
    ExpectSameAsReference(source, {1201, 839, f, 0.0f}, {2, 3});
    ExpectSameAsReference(source, {900, 7, f, 0.0f}, {1, 4});
    ExpectSameAsReference(source, {613, 411, f, 0.0f}, {2});
  }
  // The default options, as ResizePicture takes them, with source and target one object.
  Picture expected;
  ResampleIntoReference(1777, 1009, kFilterLanczos3, 0.0f, source, expected);
  Picture picture = source;
  picture.SetTransparent(true);
  picture.SetPalette({{1, 2, 3, 0}});
  expected.SetPalette({{1, 2, 3, 0}});
  ResizePicture(picture, 1777, 1009, kFilterLanczos3);
  EXPECT_TRUE(SameBytes(picture, expected));
  EXPECT_FALSE(picture.Transparent());
}

TEST(ResampleFast, ScalarLevelAndRefusalsAreTheScalarEngines) {
  std::mt19937 rng(16);
  const Picture source = RandomPicture(40, 30, rng);
  Picture expected, actual;
  ResampleIntoReference(17, 61, kFilterBell, 0.0f, source, expected);
  ResampleIntoFast(17, 61, kFilterBell, 0.0f, source, actual, EngineOptions{2, SimdLevel::kScalar});
  EXPECT_TRUE(SameBytes(actual, expected));
  // Empty sources and targets give the white target; refused sizes leave the target.
  ResampleIntoFast(5, 4, kFilterBox, 0.0f, Picture(), actual, EngineOptions{});
  EXPECT_EQ(actual.Width(), 5);
  EXPECT_EQ(actual.Pixel(4, 3), 0xFFFFFFu);
  ResampleIntoFast(0, 9, kFilterBox, 0.0f, source, actual, EngineOptions{});
  EXPECT_TRUE(actual.Empty());
  const Picture before = actual = source;
  EXPECT_THROW(ResampleIntoFast(-1, 9, kFilterBox, 0.0f, source, actual, EngineOptions{}), Error);
  EXPECT_THROW(ResampleIntoFast(1 << 20, 1 << 20, kFilterBox, 0.0f, source, actual, EngineOptions{}),
               EOutOfResources);
  EXPECT_THROW(ResampleIntoFast(3, 3, kFilterBox, 1e9f, source, actual, EngineOptions{}), Error);
  EXPECT_TRUE(SameBytes(actual, before));
}

// Lists no kernel makes: totals of 0 and below, single weights beyond 16 bits,
// totals beyond the vector division, indices named many times, windows as long as
// the line. The fast passes must still agree with the scalar ones.
WeightTable HandMadeLists(int count, int line, int flavour, std::mt19937& rng) {
  WeightTable table;
  for (int i = 0; i < count; ++i) {
    const int kind = (i + flavour) % 6;
    auto source = [&] { return static_cast<std::int32_t>(rng() % std::uint32_t(line)); };
    switch (kind) {
      case 0:  // cancelling weights: total 0
        table.Append({300, source()});
        table.Append({-200, source()});
        table.Append({-100, source()});
        break;
      case 1:  // a negative total
        table.Append({-256, source()});
        table.Append({40, source()});
        break;
      case 2:  // one index many times
        for (int k = 0; k < 9; ++k) table.Append({-31 + 13 * k, std::int32_t(i % line)});
        break;
      case 3:  // from the first pixel to the last
        table.Append({128, 0});
        table.Append({128, line - 1});
        break;
      case 4:  // no entry at all
        break;
      default:
        table.Append({256, source()});
    }
    if (flavour == 7 && i == count / 2) table.Append({40000, source()});  // beyond 16 bits
    if (flavour == 8 && i == 0) {
      for (int k = 0; k < 90; ++k) table.Append({32000, source()});  // a total beyond the division
    }
    table.EndList();
  }
  return table;
}

TEST(ResampleFast, HandMadeListsAgreeWithTheScalarPasses) {
  std::mt19937 rng(17);
  for (int flavour = 0; flavour <= 8; ++flavour) {
    for (auto [sw, sh, tw, th] :
         {std::array{23, 41, 37, 19}, std::array{5, 3, 11, 70}, std::array{64, 200, 9, 8}}) {
      const Picture source = RandomPicture(sw, sh, rng);
      const WeightTable columns = HandMadeLists(tw, sw, flavour, rng);
      const WeightTable rows = HandMadeLists(th, sh, flavour + 1, rng);
      Picture expected = NewPicture(tw, th, kNoColor), intermediate = NewPicture(tw, sh, kNoColor);
      LineCache cache{std::size_t(std::max(sw, sh))};
      ResampleRows(source, columns, cache, intermediate);
      ResampleColumns(intermediate, rows, cache, expected);
      for (SimdLevel level : VectorLevels()) {
        for (int threads : {1, 3}) {
          Picture actual;
          actual.SetSizeUninitialized(tw, th);
          ResampleWithListsFast(columns, rows, source, actual, *SimdPassesFor(level),
                                EngineOptions{threads, level});
          ASSERT_TRUE(SameBytes(actual, expected)) << "flavour " << flavour << " " << SimdLevelName(level);
        }
      }
    }
  }
}

}  // namespace
}  // namespace qel
