#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "imaging/errors.h"
#include "imaging/resample.h"
#include "imaging/resample/kernels.h"
#include "imaging/resample/weights.h"
#include "support/test_support.h"

namespace qel {
namespace {

using resample::BuildWeightTable;
using resample::KernelFor;
using resample::WeightEntry;
using test::GreyRow;

Picture GreyColumn(const std::vector<int>& values) {
  Picture p = NewPicture(1, int(values.size()), kNoColor);
  for (std::size_t y = 0; y < values.size(); ++y) {
    const auto v = std::uint8_t(values[y]);
    p.SetPixel(0, int(y), RGBColor(v, v, v));
  }
  return p;
}

// The red channel of every pixel, row by row; fails the test if a pixel is not grey.
std::vector<int> GreyLevels(const Picture& p) {
  std::vector<int> out;
  for (int y = 0; y < p.Height(); ++y) {
    for (int x = 0; x < p.Width(); ++x) {
      const TColor c = p.Pixel(x, y);
      EXPECT_TRUE(RedOf(c) == GreenOf(c) && GreenOf(c) == BlueOf(c)) << "pixel " << x << "," << y;
      out.push_back(RedOf(c));
    }
  }
  return out;
}

std::vector<int> Resized(const std::vector<int>& row, int width, int filter) {
  Picture p = GreyRow(row);
  ResizePicture(p, width, 1, filter);
  EXPECT_EQ(p.Width(), width);
  EXPECT_EQ(p.Height(), 1);
  return GreyLevels(p);
}

using Entries = std::vector<std::pair<int, int>>;  // (weight, source)

Entries ListOf(int target, int length, int filter, int index) {
  const auto table = BuildWeightTable(target, length, resample::AxisScale(target, length), KernelFor(filter),
                                      KernelFor(filter).radius);
  Entries out;
  for (const WeightEntry& e : table.List(index)) out.emplace_back(e.weight, e.source);
  return out;
}

Picture RandomPicture(int w, int h, unsigned seed) {
  std::mt19937 rng(seed);
  Picture p = NewPicture(w, h, kNoColor);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 3 * w; ++x) p.Row(y)[x] = std::uint8_t(rng());
  return p;
}

TEST(ResampleKernels, ShapesAtTheirBreakpoints) {
  using namespace resample;
  // Box is half-open: -0.5 is outside, +0.5 inside.
  EXPECT_EQ(BoxKernel(-0.5f), 0.0f);
  EXPECT_EQ(BoxKernel(0.5f), 1.0f);
  // Every other kernel is 0 at its support, and all are 0 beyond it.
  for (int f = 0; f < kFilterCount; ++f) {
    const auto& k = KernelFor(f);
    if (f != kFilterBox) {
      EXPECT_EQ(k.function(k.radius), 0.0f) << k.name;
    }
    EXPECT_EQ(k.function(-k.radius - 0.25f), 0.0f) << k.name;
    EXPECT_EQ(k.function(k.radius + 7.0f), 0.0f) << k.name;
  }
  EXPECT_EQ(Lanczos3Kernel(0.0f), 1.0f);
  EXPECT_NEAR(Lanczos3Kernel(1.5f), -0.1350949f, 1e-6);
  EXPECT_NEAR(MitchellKernel(1.0f), 1.0f / 18.0f, 1e-7);
  EXPECT_NEAR(BSplineKernel(0.0f), 2.0f / 3.0f, 1e-7);
  EXPECT_EQ(HermiteKernel(0.5f), 0.5f);
  EXPECT_EQ(BellKernel(0.5f), 0.5f);
}

TEST(ResampleKernels, FilterNamesAndNumbers) {
  const char* names[] = {"Box", "Triangle", "Hermite", "Bell", "BSpline", "Lanczos3", "Mitchell"};
  for (int f = 0; f < kFilterCount; ++f) {
    EXPECT_EQ(FilterName(f), names[f]);
    EXPECT_EQ(FilterFromName(names[f]), f);
  }
  EXPECT_EQ(FilterFromName("lanczos3"), kFilterLanczos3);
  EXPECT_EQ(FilterFromName("Lanczos"), -1);
  EXPECT_EQ(FilterName(-1), "");
  EXPECT_EQ(FilterName(7), "");
}

TEST(ResampleWeights, ReflectionAtBothEnds) {
  using resample::ReflectIndex;
  EXPECT_EQ(ReflectIndex(-1, 5), 1);  // pixel 0 is not repeated
  EXPECT_EQ(ReflectIndex(-2, 5), 2);
  EXPECT_EQ(ReflectIndex(5, 5), 4);  // the last pixel is
  EXPECT_EQ(ReflectIndex(6, 5), 3);
  EXPECT_EQ(ReflectIndex(3, 5), 3);
  // Candidates beyond a single reflection land inside too.
  for (std::int64_t j = -40; j <= 40; ++j) {
    for (int length = 1; length <= 4; ++length) {
      const int r = ReflectIndex(j, length);
      EXPECT_TRUE(r >= 0 && r < length) << j << " in " << length;
    }
  }
  EXPECT_EQ(ReflectIndex(-7, 3), 2);  // 7, then 2*3 - 7 - 1 = -2, then 2
  EXPECT_EQ(ReflectIndex(1'000'000'000'000, 1), 0);
}

TEST(ResampleWeights, ListsOfTheWorkedExamples) {
  // Same size: a single 256 for the interpolating kernels, a softening triple otherwise.
  for (int f : {kFilterBox, kFilterTriangle, kFilterHermite, kFilterLanczos3})
    EXPECT_EQ(ListOf(7, 7, f, 3), (Entries{{256, 3}})) << FilterName(f);
  EXPECT_EQ(ListOf(7, 7, kFilterBell, 3), (Entries{{32, 2}, {192, 3}, {32, 4}}));
  EXPECT_EQ(ListOf(7, 7, kFilterBSpline, 3), (Entries{{43, 2}, {171, 3}, {43, 4}}));
  EXPECT_EQ(ListOf(7, 7, kFilterMitchell, 3), (Entries{{14, 2}, {228, 3}, {14, 4}}));
  // Enlarging two pixels to four with Triangle.
  EXPECT_EQ(ListOf(4, 2, kFilterTriangle, 0), (Entries{{256, 0}}));
  EXPECT_EQ(ListOf(4, 2, kFilterTriangle, 1), (Entries{{171, 0}, {85, 1}}));
  EXPECT_EQ(ListOf(4, 2, kFilterTriangle, 2), (Entries{{85, 0}, {171, 1}}));
  EXPECT_EQ(ListOf(4, 2, kFilterTriangle, 3), (Entries{{256, 1}}));
  // Reducing four to two with Box: reflection repeats pixel 1 at the start and pixel 3 at the end.
  EXPECT_EQ(ListOf(2, 4, kFilterBox, 0), (Entries{{85, 1}, {85, 0}, {85, 1}}));
  EXPECT_EQ(ListOf(2, 4, kFilterBox, 1), (Entries{{85, 2}, {85, 3}, {85, 3}}));
  // Mitchell's in-between lists carry negative lobes.
  EXPECT_EQ(ListOf(5, 3, kFilterMitchell, 1), (Entries{{-9, 1}, {137, 0}, {137, 1}, {-9, 2}}));
  // Three rows to one (scale 1/3 by the one-pixel rule, reach 3).
  EXPECT_EQ(ListOf(1, 3, kFilterTriangle, 0), (Entries{{28, 2}, {57, 1}, {85, 0}, {57, 1}, {28, 2}}));
}

TEST(ResampleRows, SameSizeIsIdentityForInterpolatingKernels) {
  const Picture original = RandomPicture(9, 6, 1);
  for (int f : {kFilterBox, kFilterTriangle, kFilterHermite, kFilterLanczos3}) {
    Picture p = original;
    ResizePicture(p, 9, 6, f);
    EXPECT_EQ(test::Compare(p, original).differing_pixels, 0u) << FilterName(f);
  }
}

TEST(ResampleRows, SameSizeSoftensWithBellBSplineMitchell) {
  const std::vector<int> row = {10, 200, 30, 90, 250, 0, 77};
  EXPECT_EQ(Resized(row, 7, kFilterBell), (std::vector<int>{57, 155, 58, 102, 198, 40, 67}));
  EXPECT_EQ(Resized(row, 7, kFilterBSpline), (std::vector<int>{73, 139, 68, 106, 181, 54, 64}));
  EXPECT_EQ(Resized(row, 7, kFilterMitchell), (std::vector<int>{30, 180, 42, 95, 227, 17, 72}));
}

TEST(ResampleRows, WorkedEnlargementsAndReductions) {
  EXPECT_EQ(Resized({0, 255}, 4, kFilterTriangle), (std::vector<int>{0, 84, 170, 255}));
  EXPECT_EQ(Resized({0, 60, 120, 240}, 2, kFilterBox), (std::vector<int>{40, 200}));
  EXPECT_EQ(Resized({100}, 3, kFilterTriangle), (std::vector<int>{100, 100, 100}));
  EXPECT_EQ(Resized({0, 255, 0}, 5, kFilterMitchell), (std::vector<int>{27, 127, 227, 136, 13}));
  // A width of 1 uses target / source as its scale, as a height of 1 does: the list
  // centres on pixel 0 and reaches 2.5 pixels with Box (pixels 2, 1, 0, 1, 2).
  EXPECT_EQ(Resized({10, 20, 30, 40, 50}, 1, kFilterBox), (std::vector<int>{22}));
}

TEST(ResampleRows, FlatAreasStayFlatWhateverTheTotal) {
  // BSpline's same-size lists total 257; the division by the actual total keeps 255.
  Picture p = NewPicture(6, 5, 0xFFFFFF);
  ResizePicture(p, 6, 5, kFilterBSpline);
  for (int v : GreyLevels(p)) ASSERT_EQ(v, 255);
  // And so on for every filter, enlarging and reducing, in both directions.
  for (int f = 0; f < kFilterCount; ++f) {
    for (auto [w, h] : {std::pair{17, 3}, {3, 17}, {40, 40}, {2, 2}, {1, 1}}) {
      Picture q = NewPicture(11, 9, RGBColor(200, 90, 13));
      ResizePicture(q, w, h, f);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          ASSERT_EQ(q.Pixel(x, y), RGBColor(200, 90, 13)) << FilterName(f) << " " << w << "x" << h;
    }
  }
}

TEST(ResampleColumns, OneRowPicturesAndThreeRowsToOne) {
  Picture row = GreyRow({5, 80, 160, 240});
  ResizePicture(row, 4, 3, kFilterTriangle);
  EXPECT_EQ(GreyLevels(row), (std::vector<int>{5, 80, 160, 240, 5, 80, 160, 240, 5, 80, 160, 240}));

  Picture column = GreyColumn({0, 100, 200});
  ResizePicture(column, 1, 1, kFilterTriangle);
  EXPECT_EQ(GreyLevels(column), (std::vector<int>{88}));
}

TEST(ResampleColumns, ColumnsAreResampledLikeRows) {
  // With one pixel across, the other pass is exact, so a column must come out as the
  // same row turned on its side.
  const std::vector<int> values = {3, 250, 17, 99, 180, 0, 64, 255, 128, 31, 77};
  for (int f = 0; f < kFilterCount; ++f) {
    for (int length : {1, 2, 3, 5, 11, 23, 64}) {
      Picture column = GreyColumn(values);
      ResizePicture(column, 1, length, f);
      EXPECT_EQ(GreyLevels(column), Resized(values, length, f)) << FilterName(f) << " to " << length;
    }
  }
}

TEST(ResamplePicture, TransparencyPaletteAndSizes) {
  Picture p = RandomPicture(8, 8, 2);
  p.SetTransparent(true);
  p.SetPalette({{1, 2, 3, 0}});
  ResizePicture(p, 5, 12, kFilterLanczos3);
  EXPECT_FALSE(p.Transparent());
  EXPECT_EQ(p.GetPalette().size(), 1u);
  EXPECT_EQ(p.Width(), 5);
  EXPECT_EQ(p.Height(), 12);

  // A zero side leaves an empty picture.
  Picture q = RandomPicture(4, 4, 3);
  ResizePicture(q, 0, 7, kFilterBox);
  EXPECT_TRUE(q.Empty());

  // ResizeToRect takes the right and bottom edges as the size and skips empty pictures.
  Picture r = RandomPicture(4, 4, 4);
  ResizeToRect(r, TRect{3, 3, 6, 2}, kFilterBox);
  EXPECT_EQ(r.Width(), 6);
  EXPECT_EQ(r.Height(), 2);
  Picture empty;
  ResizeToRect(empty, TRect{0, 0, 10, 10}, kFilterBox);
  EXPECT_TRUE(empty.Empty());

  // ResampleInto writes a white target when the source is empty.
  Picture target = RandomPicture(2, 2, 5);
  ResampleInto(3, 2, kFilterBox, 0.0f, Picture(), target);
  EXPECT_EQ(target.Width(), 3);
  EXPECT_EQ(target.Pixel(2, 1), 0xFFFFFFu);
}

TEST(ResamplePicture, UnknownFilterNumbersResampleWithLanczos3) {
  const Picture original = RandomPicture(13, 7, 6);
  Picture expected = original;
  ResizePicture(expected, 20, 5, kFilterLanczos3);
  for (int f : {-1, 7, 255}) {
    Picture p = original;
    ResizePicture(p, 20, 5, f);
    EXPECT_EQ(test::Compare(p, expected).differing_pixels, 0u) << f;
  }
}

TEST(ResamplePicture, RefusedSizesLeaveThePicture) {
  const Picture original = RandomPicture(6, 4, 7);
  Picture p = original;
  EXPECT_THROW(ResizePicture(p, -1, 4, kFilterBox), Error);
  EXPECT_THROW(ResizePicture(p, 1 << 20, 1 << 20, kFilterBox), EOutOfResources);
  EXPECT_THROW(ResampleInto(3, 3, kFilterBox, 1e9f, original, p), Error);
  EXPECT_EQ(test::Compare(p, original).differing_pixels, 0u);
  // A tall column turned into a long row would pass through a 70000 x 70000 intermediate.
  const Picture column = NewPicture(1, 70000, 0x123456);
  Picture q = column;
  EXPECT_THROW(ResizePicture(q, 70000, 1, kFilterBox), EOutOfResources);
  EXPECT_EQ(q.Height(), 70000);
}

TEST(ResamplePicture, TargetLimitsAtTheirEdges) {
  const struct {
    std::int64_t width, height;
    bool fits;
  } cases[] = {{kMaxPictureSide, 1, true}, {kMaxPictureSide + 1, 1, false}, {1, kMaxPictureSide + 1, false},
               {1 << 15, 1 << 15, true},   {(1 << 15) + 1, 1 << 15, false}, {0, 0, true}};
  for (const auto& c : cases) {
    EXPECT_EQ(ResizeTargetFits(c.width, c.height), c.fits) << c.width << " x " << c.height;
    EXPECT_EQ(ResizeTargetProblem(c.width, c.height).empty(), c.fits) << c.width << " x " << c.height;
  }
  EXPECT_EQ(
      ResizeTargetProblem(20000000, 2),
      "Cannot resize to 20000000 x 2 pixels: a picture may have at most 1073741824 pixels and sides of at "
      "most 16777216.");
  // What the check refuses, the resize refuses too.
  Picture p = NewPicture(2, 2, 0);
  EXPECT_THROW(ResizePicture(p, (1 << 15) + 1, 1 << 15, kFilterBox), EOutOfResources);
}

TEST(ResamplePicture, ExtremeShapesAndFactors) {
  // Every filter on lines far shorter than its reach, and on factors far beyond 256
  // where every weight of a list rounds to 0; the sanitizer build checks the reads.
  const std::pair<int, int> cases[][2] = {
      {{1, 1}, {3000, 1}}, {{1, 1}, {1, 3000}}, {{3000, 1}, {1, 1}}, {{1, 3000}, {1, 1}},
      {{1, 9}, {5, 2}},    {{2, 2}, {1, 1}},    {{2, 1}, {1, 2}},    {{5000, 2}, {3, 1}},
      {{2, 4000}, {3, 2}}, {{7, 1}, {2, 1}},    {{1, 7}, {1, 2}},
  };
  for (int f = -1; f <= kFilterCount; ++f) {
    for (const auto& c : cases) {
      Picture p = NewPicture(c[0].first, c[0].second, RGBColor(40, 140, 240));
      ResizePicture(p, c[1].first, c[1].second, f);
      ASSERT_EQ(p.Width(), c[1].first);
      ASSERT_EQ(p.Height(), c[1].second);
      // A flat picture stays flat: no list reads outside the line and none comes out black.
      for (int y = 0; y < p.Height(); ++y)
        for (int x = 0; x < p.Width(); ++x)
          ASSERT_EQ(p.Pixel(x, y), RGBColor(40, 140, 240))
              << "filter " << f << " " << c[0].first << "x" << c[0].second << " to " << c[1].first << "x"
              << c[1].second;
    }
  }
  // A 3000-pixel ramp reduced to 3 pixels still shows the ramp.
  std::vector<int> ramp(3000);
  for (int i = 0; i < 3000; ++i) ramp[std::size_t(i)] = i * 255 / 2999;
  const std::vector<int> three = Resized(ramp, 3, kFilterLanczos3);
  EXPECT_LT(three[0], 5);
  EXPECT_NEAR(three[1], 128, 3);
  EXPECT_GT(three[2], 250);
}

}  // namespace
}  // namespace qel
