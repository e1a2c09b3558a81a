// The tone, sharpen and anti-alias operations against their formulas computed the
// plain way, byte for byte, on pictures small enough for one thread and large enough
// to be split over several.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "imaging/rounding.h"
#include "imaging/sharpen.h"
#include "imaging/tone.h"

namespace qel {
namespace {

Picture RandomPicture(int w, int h, unsigned seed) {
  std::mt19937 rng(seed);
  Picture p = NewPicture(w, h, kNoColor);
  // Bytes from all over the range, with runs of equal values so that flat areas occur.
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < 3 * w; ++x) p.Row(y)[x] = static_cast<std::uint8_t>(rng() % 7 == 0 ? 255 : rng());
  }
  return p;
}

bool SameBytes(const Picture& a, const Picture& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() && a.Transparent() == b.Transparent() &&
         a.GetPalette() == b.GetPalette() &&
         std::memcmp(a.Bytes().data(), b.Bytes().data(), a.Bytes().size()) == 0;
}

// The sizes: a few pixels, one thread's worth, and several threads' worth.
const std::pair<int, int> kSizes[] = {{1, 1}, {3, 3}, {4, 7}, {97, 61}, {731, 397}, {3, 1200}};

void ForEachByte(Picture& p, const std::function<int(int)>& formula) {
  for (int y = 0; y < p.Height(); ++y) {
    for (int x = 0; x < 3 * p.Width(); ++x) p.Row(y)[x] = ClampToByte(formula(p.Row(y)[x]));
  }
}

void ExpectOperationMatches(const std::function<void(Picture&)>& operation,
                            const std::function<void(Picture&)>& model, const char* what) {
  unsigned seed = 1;
  for (auto [w, h] : kSizes) {
    Picture expected = RandomPicture(w, h, seed++);
    expected.SetPalette({{9, 8, 7, 0}});
    Picture actual = expected;
    model(expected);
    operation(actual);
    ASSERT_TRUE(SameBytes(actual, expected)) << what << " on " << w << " x " << h;
  }
}

TEST(PointOpsFast, ToneTablesMatchTheirFormulas) {
  for (int percent : {10, 5, -10, 100, -100, 37, 1000, -250}) {
    const int amount = ToneAmount(percent);
    ExpectOperationMatches(
        [&](Picture& p) { LightenPicture(p, percent); },
        [&](Picture& p) { ForEachByte(p, [&](int c) { return c + (255 - c) * amount / 255; }); }, "lighten");
    ExpectOperationMatches([&](Picture& p) { DarkenPicture(p, percent); },
                           [&](Picture& p) { ForEachByte(p, [&](int c) { return c - c * amount / 255; }); },
                           "darken");
    ExpectOperationMatches([&](Picture& p) { ContrastPicture(p, percent); },
                           [&](Picture& p) {
                             ForEachByte(p, [&](int c) {
                               const int d = std::abs(127 - c);
                               return c > 127 ? c + d * amount / 255 : c - d * amount / 255;
                             });
                           },
                           "contrast");
  }
  for (int depth : {0, 30, 100, 127, 200, 255}) {
    ExpectOperationMatches([&](Picture& p) { SepiaPicture(p, std::uint8_t(depth)); },
                           [&](Picture& p) {
                             for (int y = 0; y < p.Height(); ++y) {
                               for (int x = 0; x < p.Width(); ++x) {
                                 std::uint8_t* q = p.Row(y) + 3 * x;
                                 const int average = (q[0] + q[1] + q[2]) / 3;
                                 q[0] = std::uint8_t(average);
                                 q[1] = std::uint8_t(std::min(average + depth, 255));
                                 q[2] = std::uint8_t(std::min(average + 2 * depth, 255));
                               }
                             }
                           },
                           "sepia");
  }
}

TEST(PointOpsFast, GrayOfEveryColourIsTheLongDoubleSumRounded) {
  // All 2^24 colours, one pixel each, against 0.3 red + 0.59 green + 0.11 blue in long
  // double rounded halves to even: the integer shortcut must never part from it.
  Picture p = NewPicture(4096, 4096, kNoColor);
  for (int y = 0; y < 4096; ++y) {
    for (int x = 0; x < 4096; ++x) p.SetPixel(x, y, TColor(y * 4096 + x));
  }
  GrayPicture(p);
  for (int y = 0; y < 4096; ++y) {
    for (int x = 0; x < 4096; ++x) {
      const TColor c = TColor(y * 4096 + x);
      const long double grey = 0.3L * RedOf(c) + 0.59L * GreenOf(c) + 0.11L * BlueOf(c);
      const std::uint8_t v = ClampToByte(static_cast<std::int32_t>(RoundHalfEven(grey)));
      ASSERT_EQ(p.Pixel(x, y), RGBColor(v, v, v)) << std::hex << c;
    }
  }
}

// The sharpen as first written: every inner byte from the unchanged picture into a
// separate result.
void SharpenModel(Picture& picture, float alpha) {
  const int w = picture.Width(), h = picture.Height();
  const float beta = static_cast<float>((static_cast<long double>(alpha) - 1) / 5);
  const auto b = static_cast<std::int32_t>(RoundHalfEven(static_cast<long double>(beta) * 65536));
  const auto a = static_cast<std::int32_t>(RoundHalfEven(static_cast<long double>(alpha) * 65536));
  Picture result = picture;
  for (int y = 1; y < h - 1; ++y) {
    for (std::size_t i = 3; i < 3 * std::size_t(w - 1); ++i) {
      const std::int32_t c = picture.Row(y)[i];
      const std::int32_t sum =
          picture.Row(y - 1)[i] + picture.Row(y)[i - 3] + c + picture.Row(y)[i + 3] + picture.Row(y + 1)[i];
      result.Row(y)[i] = ClampToByte(((a * c + 32767) >> 16) - ((b * sum + 32767) >> 16));
    }
  }
  result.SetTransparent(false);
  picture = result;
}

TEST(PointOpsFast, SharpenMatchesItsFormulaInPlace) {
  for (float alpha : {2.0f, 1.01f, 3.3f, 5.99f}) {
    ExpectOperationMatches(
        [&](Picture& p) {
          if (p.Width() < 3 || p.Height() < 3) return;
          p.SetTransparent(true);
          SharpenPicture(p, alpha);
        },
        [&](Picture& p) {
          if (p.Width() < 3 || p.Height() < 3) return;
          SharpenModel(p, alpha);
        },
        "sharpen");
  }
}

TEST(PointOpsFast, AntiAliasMatchesItsSequentialFormula) {
  ExpectOperationMatches(
      [](Picture& p) { AntiAliasPicture(p); },
      [](Picture& p) {
        for (int y = 1; y < p.Height() - 1; ++y) {
          for (std::size_t i = 3; i + 3 < 3 * std::size_t(p.Width()); ++i) {
            std::uint8_t* row = p.Row(y);
            row[i] = std::uint8_t((p.Row(y - 1)[i] + p.Row(y + 1)[i] + row[i - 3] + row[i + 3]) >> 2);
          }
        }
      },
      "anti-alias");
}

}  // namespace
}  // namespace qel
