#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "import/color/manager.h"
#include "import/framework/messages.h"

namespace qel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using S = ColorScheme;

TColorManager Manager(S source, int source_bits, int source_samples, S target, int target_bits,
                      int target_samples) {
  TColorManager cm;
  cm.Configure({source, source_bits, source_samples, 0}, {target, target_bits, target_samples, 0});
  return cm;
}

// Configures cm with its present description as edit(source, target) changes it.
template <typename Edit>
void Change(TColorManager& cm, Edit edit) {
  ColorLayout source = cm.Source(), target = cm.Target();
  edit(source, target);
  cm.Configure(source, target);
}

// The message of the EColorConversionError that f raises, or "" when it raises none.
std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EColorConversionError& e) {
    return e.what();
  }
  return "";
}

Bytes Convert(TColorManager& cm, const Bytes& source, std::size_t count, std::size_t target_size,
              std::uint8_t mask = 0xFF, std::uint8_t fill = 0xEE) {
  Bytes target(target_size, fill);
  cm.ConvertRow(source.data(), target.data(), count, mask);
  return target;
}

Bytes Planar(TColorManager& cm, const std::vector<Bytes>& planes, std::size_t count,
             std::size_t target_size) {
  std::vector<const std::uint8_t*> pointers;
  for (const Bytes& p : planes) pointers.push_back(p.data());
  Bytes target(target_size, 0xEE);
  cm.ConvertRow(pointers, target.data(), count);
  return target;
}

TEST(ColorManager, SettersAndSetupRaiseTheirMessages) {
  TColorManager cm;
  for (int bad : {0, 17, -1}) {
    EXPECT_EQ(ErrorOf([&] { Change(cm, [&](ColorLayout& s, ColorLayout&) { s.bits_per_sample = bad; }); }),
              msg::kInvalidColorDepth);
    EXPECT_EQ(ErrorOf([&] { Change(cm, [&](ColorLayout&, ColorLayout& t) { t.bits_per_sample = bad; }); }),
              msg::kInvalidColorDepth);
  }
  EXPECT_EQ(ErrorOf([&] { Change(cm, [&](ColorLayout& s, ColorLayout&) { s.bits_per_sample = 3; }); }),
            "");  // odd depths are accepted
  EXPECT_EQ(cm.SourceBitsPerSample(), 3);
  for (int bad : {0, 5}) {
    EXPECT_EQ(ErrorOf([&] { Change(cm, [&](ColorLayout& s, ColorLayout&) { s.samples_per_pixel = bad; }); }),
              msg::kInvalidSampleCount);
    EXPECT_EQ(ErrorOf([&] { Change(cm, [&](ColorLayout&, ColorLayout& t) { t.samples_per_pixel = bad; }); }),
              msg::kInvalidSampleCount);
  }
  EXPECT_EQ(cm.Source(), (ColorLayout{S::schRGB, 3, 3, 0}));  // a refused description changes nothing

  const float weights[] = {0.2f, 0.7f, 0.1f};
  EXPECT_EQ(ErrorOf([&] { cm.SetYCbCrParameters(weights, 3, 1); }), msg::kInvalidSubsampling);
  EXPECT_EQ(ErrorOf([&] { cm.SetYCbCrParameters(weights, 2, 0); }), msg::kInvalidSubsampling);
  EXPECT_EQ(ErrorOf([&] { cm.SetYCbCrParameters(weights, 1, 2); }), msg::kVerticalSubsampling);
  EXPECT_EQ(cm.YCbCrCoefficients()[0], 0.299f);  // a refused call stores nothing
  EXPECT_EQ(cm.HorizontalSubsampling(), 1);
  cm.SetYCbCrParameters(std::span<const float>(weights, 1), 4, 2);
  EXPECT_EQ(cm.YCbCrCoefficients()[0], 0.2f);
  EXPECT_EQ(cm.YCbCrCoefficients()[1], 0.587f);
  EXPECT_EQ(cm.HorizontalSubsampling(), 4);
  EXPECT_EQ(cm.VerticalSubsampling(), 2);

  Bytes row(16, 0);
  auto gray_to_bgr = Manager(S::schGray, 8, 1, S::schBGR, 8, 3);
  EXPECT_EQ(ErrorOf([&] { gray_to_bgr.ConvertRow(row.data(), row.data(), 1); }), msg::kIndexedNotSupported);
  auto rgb_to_indexed = Manager(S::schRGB, 8, 3, S::schIndexed, 8, 1);
  EXPECT_EQ(ErrorOf([&] { rgb_to_indexed.ConvertRow(row.data(), row.data(), 1); }),
            msg::kIndexedNotSupported);
  // Depths no converter handles fail instead of leaving the row unwritten.
  auto rgb4 = Manager(S::schRGB, 4, 3, S::schBGR, 8, 3);
  EXPECT_EQ(ErrorOf([&] { rgb4.ConvertRow(row.data(), row.data(), 1); }), msg::kConversionImpossible);
  auto reserved = Manager(S::schReserved, 8, 3, S::schBGR, 8, 3);
  EXPECT_EQ(ErrorOf([&] { reserved.ConvertRow(row.data(), row.data(), 1); }), msg::kConversionImpossible);
  // Sample counts smaller than the scheme's layout would make the row overrun its buffer.
  auto thin_source = Manager(S::schRGB, 8, 1, S::schBGR, 8, 3);
  EXPECT_EQ(ErrorOf([&] { thin_source.ConvertRow(row.data(), row.data(), 1); }), msg::kInvalidSampleCount);
  auto thin_target = Manager(S::schRGBA, 8, 4, S::schBGRA, 8, 3);
  EXPECT_EQ(ErrorOf([&] { thin_target.ConvertRow(row.data(), row.data(), 1); }), msg::kInvalidSampleCount);
  EXPECT_EQ(row, Bytes(16, 0));
}

TEST(ColorManager, PixelFormatForSamplesAndBits) {
  using P = TPixelFormat;
  const struct {
    int samples, bits;
    P format;
  } cases[] = {{1, 1, P::pf1bit},  {1, 2, P::pf4bit},   {1, 4, P::pf4bit},   {1, 5, P::pfCustom},
               {1, 8, P::pf8bit},  {1, 16, P::pf8bit},  {2, 8, P::pfCustom}, {3, 5, P::pf15bit},
               {3, 8, P::pf24bit}, {3, 16, P::pf24bit}, {4, 4, P::pfCustom}, {4, 8, P::pf32bit}};
  for (const auto& c : cases)
    EXPECT_EQ(TColorManager::PixelFormatFor(c.samples, c.bits), c.format) << c.samples << "x" << c.bits;
}

TEST(ColorManager, GammaTable) {
  TColorManager cm;
  cm.SetGamma(1.0f, 2.2f);
  const auto& t = cm.GammaTable();
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[1], 21);
  EXPECT_EQ(t[64], 136);
  EXPECT_EQ(t[128], 186);
  EXPECT_EQ(t[200], 228);
  EXPECT_EQ(t[255], 255);
  cm.SetGamma(1.0f / 2.2f, 2.2f);  // gammas that cancel give the identity
  for (int i = 0; i < 256; ++i) EXPECT_EQ(cm.GammaTable()[i], i);
  cm.SetGamma(0.0f, -1.0f);
  EXPECT_EQ(cm.MainGamma(), 1.0f);
  EXPECT_EQ(cm.DisplayGamma(), 2.2f);
  EXPECT_EQ(cm.GammaTable()[128], 186);
  // The table spans the 8-bit range whatever the depths: low-depth targets use it for
  // palette colours.
  Change(cm, [&](ColorLayout&, ColorLayout& t) { t.bits_per_sample = 1; });
  Change(cm, [&](ColorLayout& s, ColorLayout&) { s.bits_per_sample = 1; });
  cm.SetGamma(1.0f, 2.2f);
  EXPECT_EQ(cm.GammaTable()[200], 228);
}

TEST(ColorManager, RgbFamilyOrdersAlphaAndGamma) {
  const Bytes rgba = {10, 20, 30, 40, 50, 60, 70, 80};
  auto plain = Manager(S::schRGB, 8, 3, S::schBGR, 8, 3);
  EXPECT_EQ(Convert(plain, {1, 2, 3, 4, 5, 6}, 2, 6), (Bytes{3, 2, 1, 6, 5, 4}));
  auto keep = Manager(S::schRGBA, 8, 4, S::schBGRA, 8, 4);
  EXPECT_EQ(Convert(keep, rgba, 2, 8), (Bytes{30, 20, 10, 40, 70, 60, 50, 80}));
  auto drop = Manager(S::schRGBA, 8, 4, S::schBGR, 8, 3);
  EXPECT_EQ(Convert(drop, rgba, 2, 6), (Bytes{30, 20, 10, 70, 60, 50}));
  auto untouched = Manager(S::schRGB, 8, 3, S::schBGRA, 8, 4);
  EXPECT_EQ(Convert(untouched, {1, 2, 3}, 1, 4), (Bytes{3, 2, 1, 0xEE}));
  auto same = Manager(S::schBGRA, 8, 4, S::schBGRA, 8, 4);
  EXPECT_EQ(Convert(same, rgba, 2, 8), rgba);

  auto gamma = Manager(S::schRGBA, 8, 4, S::schRGBA, 8, 4);
  gamma.SetGamma(1.0f, 2.2f);
  Change(gamma, [](ColorLayout&, ColorLayout& t) { t.options |= ColorOptions::kApplyGamma; });
  EXPECT_EQ(Convert(gamma, {64, 128, 200, 128}, 1, 4), (Bytes{136, 186, 228, 128}));  // alpha passes as is
}

TEST(ColorManager, SixteenBitSamples) {
  auto gray = Manager(S::schGray, 16, 1, S::schGray, 8, 1);
  Change(gray, [](ColorLayout& s, ColorLayout&) { s.options |= ColorOptions::kByteSwap; });
  EXPECT_EQ(Convert(gray, {0xFF, 0x00, 0xFF, 0xFF, 0x80, 0x00}, 3, 3), (Bytes{254, 255, 127}));

  auto rgb = Manager(S::schRGB, 16, 3, S::schBGR, 8, 3);
  Change(rgb, [](ColorLayout& s, ColorLayout&) { s.options |= ColorOptions::kByteSwap; });
  const Bytes big_endian = {0xFF, 0xFF, 0x80, 0x00, 0x00, 0xFF};
  EXPECT_EQ(Convert(rgb, big_endian, 1, 3), (Bytes{0, 127, 255}));
  // The options are read at every row, also after the converter was chosen.
  Change(rgb, [](ColorLayout& s, ColorLayout&) { s.options &= std::uint8_t(~ColorOptions::kByteSwap); });
  EXPECT_EQ(Convert(rgb, big_endian, 1, 3), (Bytes{254, 0, 255}));

  auto widen = Manager(S::schRGB, 8, 3, S::schRGB, 16, 3);
  EXPECT_EQ(Convert(widen, {0, 1, 255}, 1, 6), (Bytes{0, 0, 1, 1, 255, 255}));
  auto wide_copy = Manager(S::schRGBA, 16, 4, S::schBGRA, 16, 4);
  Change(wide_copy, [](ColorLayout& s, ColorLayout&) { s.options |= ColorOptions::kByteSwap; });
  EXPECT_EQ(Convert(wide_copy, {1, 2, 3, 4, 5, 6, 7, 8}, 1, 8), (Bytes{6, 5, 4, 3, 2, 1, 8, 7}));
}

TEST(ColorManager, MaskSelectsPixelsAndSkippedPixelsConsumeNoSource) {
  auto rgb = Manager(S::schRGB, 8, 3, S::schBGR, 8, 3);
  Bytes source;
  for (std::uint8_t p = 0; p < 8; ++p) source.insert(source.end(), {p, std::uint8_t(p + 100), 200});
  const Bytes out = Convert(rgb, source, 16, 48, 0xAA);
  for (int i = 0; i < 16; ++i) {
    const Bytes pixel(out.begin() + 3 * i, out.begin() + 3 * i + 3);
    if (i % 2 == 0) {
      EXPECT_EQ(pixel, (Bytes{200, std::uint8_t(i / 2 + 100), std::uint8_t(i / 2)})) << i;
    } else {
      EXPECT_EQ(pixel, Bytes(3, 0xEE)) << i;
    }
  }
  // Bit-packed targets keep the bits of the pixels that are left out.
  auto bits = Manager(S::schIndexed, 1, 1, S::schIndexed, 4, 1);
  EXPECT_EQ(Convert(bits, {0xA0}, 8, 4, 0xAA, 0x99), (Bytes{0xF9, 0x09, 0xF9, 0x09}));
  EXPECT_EQ(Convert(bits, {0x30}, 8, 4, 0x55, 0x00), (Bytes{0x00, 0x00, 0x0F, 0x0F}));
}

TEST(ColorManager, RepackingScalesIndicesAndGrays) {
  auto two_to_four = Manager(S::schIndexed, 2, 1, S::schIndexed, 4, 1);
  EXPECT_EQ(Convert(two_to_four, {0x1B}, 4, 2), (Bytes{0x05, 0xAF}));  // 0 1 2 3 -> 0 5 10 15
  auto eight_to_one = Manager(S::schGray, 8, 1, S::schGray, 1, 1);
  EXPECT_EQ(Convert(eight_to_one, {255, 254, 0, 255, 255, 255, 255, 255, 255}, 9, 2, 0xFF, 0),
            (Bytes{0x9F, 0x80}));
  // Three-bit samples straddle byte boundaries.
  auto three_to_eight = Manager(S::schIndexed, 3, 1, S::schIndexed, 8, 1);
  EXPECT_EQ(Convert(three_to_eight, {0x05, 0x39, 0x77}, 8, 8), (Bytes{0, 36, 72, 109, 145, 182, 218, 255}));
  auto copy = Manager(S::schIndexed, 4, 1, S::schIndexed, 4, 1);
  EXPECT_EQ(Convert(copy, {0x12, 0x34}, 3, 3), (Bytes{0x12, 0x34, 0xEE}));
}

TEST(ColorManager, SixteenBitIndicesAndGrayConverter) {
  auto copy = Manager(S::schIndexed, 16, 1, S::schIndexed, 16, 1);
  Change(copy, [](ColorLayout& s, ColorLayout&) { s.options |= ColorOptions::kByteSwap; });
  EXPECT_EQ(Convert(copy, {1, 2, 3, 4}, 2, 4), (Bytes{2, 1, 4, 3}));
  auto narrow = Manager(S::schIndexed, 16, 1, S::schIndexed, 4, 1);
  EXPECT_EQ(Convert(narrow, {0xFF, 0xFF, 0x00, 0x00, 0x11, 0x11}, 3, 2, 0xFF, 0), (Bytes{0xF0, 0x10}));
  auto widen = Manager(S::schIndexed, 4, 1, S::schIndexed, 16, 1);
  EXPECT_EQ(Convert(widen, {0x1F}, 2, 4), (Bytes{0x11, 0x11, 0xFF, 0xFF}));

  auto gray_alpha = Manager(S::schGrayAlpha, 8, 2, S::schIndexed, 8, 1);
  EXPECT_EQ(Convert(gray_alpha, {10, 255, 20, 0, 30, 9}, 3, 3), (Bytes{10, 20, 30}));
  auto gray_alpha16 = Manager(S::schGrayAlpha, 16, 2, S::schGray, 8, 1);
  Change(gray_alpha16, [](ColorLayout& s, ColorLayout&) { s.options |= ColorOptions::kByteSwap; });
  EXPECT_EQ(Convert(gray_alpha16, {0xFF, 0xFF, 0, 0, 0x80, 0x00, 0xFF, 0xFF}, 2, 2), (Bytes{255, 127}));
  auto gray_widen = Manager(S::schGray, 8, 1, S::schGray, 16, 1);
  EXPECT_EQ(Convert(gray_widen, {0x12}, 1, 2), (Bytes{0x12, 0x12}));
}

TEST(ColorManager, CmykAgainstTheInkFormulas) {
  auto cmyk8 = Manager(S::schCMYK, 8, 4, S::schBGR, 8, 3);
  EXPECT_EQ(Convert(cmyk8, {200, 100, 0, 50, 0, 0, 0, 0, 255, 255, 255, 255}, 3, 9),
            (Bytes{205, 124, 44, 255, 255, 255, 0, 0, 0}));
  // C 0xC000, M 0x4000, Y 0, K 0x2000, big-endian.
  const Bytes wide = {0xC0, 0x00, 0x40, 0x00, 0x00, 0x00, 0x20, 0x00};
  auto cmyk16 = Manager(S::schCMYK, 16, 4, S::schRGB, 8, 3);
  Change(cmyk16, [](ColorLayout& s, ColorLayout&) { s.options |= ColorOptions::kByteSwap; });
  EXPECT_EQ(Convert(cmyk16, wide, 1, 3), (Bytes{56, 168, 224}));
  auto cmyk16to16 = Manager(S::schCMYK, 16, 4, S::schBGRA, 16, 4);
  Change(cmyk16to16, [](ColorLayout& s, ColorLayout&) { s.options |= ColorOptions::kByteSwap; });
  // 57343, 43007, 14335 little-endian; the alpha sample is left alone.
  EXPECT_EQ(Convert(cmyk16to16, wide, 1, 8), (Bytes{0xFF, 0xDF, 0xFF, 0xA7, 0xFF, 0x37, 0xEE, 0xEE}));
  auto widen = Manager(S::schCMYK, 8, 4, S::schBGR, 16, 3);
  EXPECT_EQ(Convert(widen, {0, 0, 255, 0}, 1, 6), (Bytes{0, 0, 255, 255, 255, 255}));
}

TEST(ColorManager, CieLab) {
  // Neutral L*a*b* colours are sRGB grays: L = 50 is level 119 on the sRGB curve.
  auto lab = Manager(S::schCIELab, 8, 3, S::schBGR, 8, 3);
  EXPECT_EQ(Convert(lab, {100, 0, 0, 0, 0, 0, 50, 0, 0}, 3, 9),
            (Bytes{255, 255, 255, 0, 0, 0, 119, 119, 119}));
  // Signed chroma: 0x80 is -128, far from gray.
  const Bytes signed_out = Convert(lab, {50, 0x80, 0x80}, 1, 3);
  EXPECT_NE(signed_out, (Bytes{119, 119, 119}));
  Change(lab, [](ColorLayout& s, ColorLayout&) {
    s.options |= ColorOptions::kLabByteRange | ColorOptions::kLabChromaOffset;
  });
  EXPECT_EQ(Convert(lab, {255, 128, 128, 0, 128, 128, 128, 128, 128}, 3, 9),
            (Bytes{255, 255, 255, 0, 0, 0, 119, 119, 119}));
  const Bytes reddish = Convert(lab, {128, 200, 128}, 1, 3);
  EXPECT_GT(reddish[2], reddish[1]);  // positive a is red (BGR order)

  // 16-bit samples carry eight fraction bits; any value gives a clamped colour.
  auto wide = Manager(S::schCIELab, 16, 3, S::schRGB, 8, 3);
  Change(wide, [](ColorLayout& s, ColorLayout&) {
    s.options |= ColorOptions::kByteSwap | ColorOptions::kLabByteRange | ColorOptions::kLabChromaOffset;
  });
  EXPECT_EQ(Convert(wide, {0xFF, 0xFF, 0x80, 0x00, 0x80, 0x00, 0x7F, 0x80, 0x80, 0x00, 0x80, 0x00}, 2, 6),
            (Bytes{255, 255, 255, 119, 119, 119}));
  Bytes junk(6 * 64);
  for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = std::uint8_t(i * 97 + 13);
  EXPECT_NO_THROW(Convert(wide, junk, 64, 64 * 3));
  Change(wide, [](ColorLayout& s, ColorLayout&) { s.options = 0; });
  EXPECT_NO_THROW(Convert(wide, junk, 64, 64 * 3));
}

TEST(ColorManager, YCbCrAndPhotoYcc) {
  auto ycbcr = Manager(S::schYCbCr, 8, 3, S::schBGR, 8, 3);
  for (int y : {0, 77, 255}) {
    const std::uint8_t v = std::uint8_t(y);
    EXPECT_EQ(Convert(ycbcr, {v, 128, 128}, 1, 3), Bytes(3, v));
  }
  // Y 100, Cb 90, Cr 200 with the default weights: red 100 + 101, green 100 + 13 - 51,
  // blue 100 - 67.
  EXPECT_EQ(Convert(ycbcr, {100, 90, 200}, 1, 3), (Bytes{33, 62, 201}));
  EXPECT_EQ(Convert(ycbcr, {250, 255, 128}, 1, 3), (Bytes{255, 206, 250}));  // blue clamped

  auto ycc = Manager(S::schPhotoYCC, 8, 3, S::schRGB, 8, 3);
  const float weights[] = {0.2125f, 0.7154f, 0.0721f};
  ycc.SetYCbCrParameters(weights, 2, 2);
  EXPECT_EQ(Convert(ycc, {90, 156, 137}, 1, 3), Bytes(3, 90));
  // Y 120, Cb 180, Cr 100: red 120 - 58, green 120 - 4 + 17, blue 120 + 45.
  EXPECT_EQ(Convert(ycc, {120, 180, 100}, 1, 3), (Bytes{62, 133, 165}));

  auto wide = Manager(S::schPhotoYCC, 16, 3, S::schRGB, 16, 3);
  auto le = [](std::uint16_t v) { return Bytes{std::uint8_t(v), std::uint8_t(v >> 8)}; };
  Bytes source;
  for (std::uint16_t v : {20000, 41092, 34709, 65535, 40092, 35209}) {
    const Bytes b = le(v);
    source.insert(source.end(), b.begin(), b.end());
  }
  Bytes expected;
  for (std::uint16_t v : {26257, 27201, 29386, 65535, 65535, 65535}) {
    const Bytes b = le(v);
    expected.insert(expected.end(), b.begin(), b.end());
  }
  EXPECT_EQ(Convert(wide, source, 2, 12), expected);
}

TEST(ColorManager, PlanarAndInterleavedSourcesAgree) {
  const struct {
    S scheme;
    int channels;
  } cases[] = {{S::schRGB, 3},    {S::schRGBA, 4},  {S::schBGR, 3},     {S::schCMYK, 4},
               {S::schCIELab, 3}, {S::schYCbCr, 3}, {S::schPhotoYCC, 3}};
  for (const auto& c : cases) {
    for (int bits : {8, 16}) {
      const int bytes = bits / 8;
      const std::size_t count = 5;
      Bytes interleaved(count * c.channels * bytes);
      for (std::size_t i = 0; i < interleaved.size(); ++i) interleaved[i] = std::uint8_t(i * 37 + 5);
      std::vector<Bytes> planes(c.channels);
      for (std::size_t p = 0; p < count; ++p)
        for (int ch = 0; ch < c.channels; ++ch)
          for (int b = 0; b < bytes; ++b)
            planes[ch].push_back(interleaved[(p * c.channels + ch) * bytes + b]);
      auto cm = Manager(c.scheme, bits, c.channels, S::schBGRA, 8, 4);
      Change(cm, [](ColorLayout& s, ColorLayout&) { s.options |= ColorOptions::kByteSwap; });
      EXPECT_EQ(Convert(cm, interleaved, count, count * 4), Planar(cm, planes, count, count * 4))
          << int(c.scheme) << " at " << bits << " bits";
    }
  }
  // Two pointers for a three-channel scheme are refused before anything is written.
  auto cm = Manager(S::schRGB, 8, 3, S::schBGR, 8, 3);
  const Bytes plane(3, 1);
  EXPECT_EQ(ErrorOf([&] { Planar(cm, {plane, plane}, 3, 9); }), msg::kConversionImpossible);
  EXPECT_EQ(ErrorOf([&] { cm.ConvertRow(plane.data(), nullptr, 1); }), msg::kConversionImpossible);
}

TEST(ColorManager, GrayscalePalettes) {
  TColorManager cm;
  Change(cm, [&](ColorLayout&, ColorLayout& t) { t.samples_per_pixel = 1; });
  Change(cm, [&](ColorLayout&, ColorLayout& t) { t.bits_per_sample = 1; });
  const PaletteEntry black{0, 0, 0, 0}, white{255, 255, 255, 0};
  EXPECT_EQ(cm.CreateGrayscalePalette(false), (Palette{black, white}));
  EXPECT_EQ(cm.CreateGrayscalePalette(true), (Palette{white, black}));
  Change(cm, [&](ColorLayout&, ColorLayout& t) { t.bits_per_sample = 8; });
  const Palette ramp = cm.CreateGrayscalePalette(false);
  ASSERT_EQ(ramp.size(), 256u);
  EXPECT_EQ(ramp[77], (PaletteEntry{77, 77, 77, 0}));
  // Gamma reaches the levels of low-depth ramps too.
  Change(cm, [&](ColorLayout&, ColorLayout& t) { t.bits_per_sample = 4; });
  cm.SetGamma(1.0f, 2.2f);
  Change(cm, [](ColorLayout&, ColorLayout& t) { t.options |= ColorOptions::kApplyGamma; });
  const Palette lifted = cm.CreateGrayscalePalette(false);
  ASSERT_EQ(lifted.size(), 16u);
  EXPECT_EQ(lifted[0].red, 0);
  EXPECT_EQ(lifted[15].red, 255);
  EXPECT_EQ(lifted[8].red, cm.GammaTable()[136]);
}

TEST(ColorManager, ColorPalettesFollowTheIndexScaling) {
  const Bytes rgb = {1, 2, 3, 11, 12, 13, 21, 22, 23, 31, 32, 33};
  const std::uint8_t* one[] = {rgb.data()};
  auto up = Manager(S::schIndexed, 2, 1, S::schIndexed, 4, 1);
  const Palette spread = up.CreateColorPalette(one, RawPaletteFormat::kInterlaced8Triple, 4, false);
  ASSERT_EQ(spread.size(), 16u);
  EXPECT_EQ(spread[5], (PaletteEntry{11, 12, 13, 0}));  // the converter maps index 1 to 5
  EXPECT_EQ(spread[0], (PaletteEntry{1, 2, 3, 0}));
  EXPECT_EQ(spread[10], (PaletteEntry{21, 22, 23, 0}));
  EXPECT_EQ(spread[15], (PaletteEntry{31, 32, 33, 0}));

  // Downwards: index i of a 4-bit target stands for file index 17 i. A short table
  // leaves the missing entries black.
  Bytes table(3 * 200);
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = std::uint8_t(i / 3);
  const std::uint8_t* big[] = {table.data()};
  auto down = Manager(S::schIndexed, 8, 1, S::schIndexed, 4, 1);
  const Palette folded = down.CreateColorPalette(big, RawPaletteFormat::kInterlaced8Triple, 200, false);
  ASSERT_EQ(folded.size(), 16u);
  EXPECT_EQ(folded[3], (PaletteEntry{51, 51, 51, 0}));
  EXPECT_EQ(folded[11], (PaletteEntry{187, 187, 187, 0}));
  EXPECT_EQ(folded[12], (PaletteEntry{0, 0, 0, 0}));  // 204 is beyond the table

  auto same = Manager(S::schIndexed, 8, 1, S::schIndexed, 8, 1);
  const Bytes quad = {1, 2, 3, 99, 4, 5, 6, 99};
  const std::uint8_t* q[] = {quad.data()};
  EXPECT_EQ(same.CreateColorPalette(q, RawPaletteFormat::kInterlaced8Quad, 2, true),
            (Palette{{3, 2, 1, 0}, {6, 5, 4, 0}}));
  // Planar 16-bit, big-endian: red, green and blue planes of two entries.
  const Bytes red = {0xFF, 0xFF, 0x00, 0x00}, green = {0xFF, 0x00, 0x80, 0x00},
              blue = {0x00, 0xFF, 0xFF, 0xFF};
  const std::uint8_t* planes[] = {red.data(), green.data(), blue.data()};
  Change(same, [](ColorLayout& s, ColorLayout&) { s.options |= ColorOptions::kByteSwap; });
  EXPECT_EQ(same.CreateColorPalette(planes, RawPaletteFormat::kPlane16Triple, 2, false),
            (Palette{{255, 254, 0, 0}, {0, 127, 255, 0}}));
  same.SetGamma(1.0f, 2.2f);
  Change(same, [](ColorLayout&, ColorLayout& t) { t.options |= ColorOptions::kApplyGamma; });
  const Bytes plain = {64, 128, 200};
  const std::uint8_t* p[] = {plain.data()};
  EXPECT_EQ(same.CreateColorPalette(p, RawPaletteFormat::kInterlaced8Triple, 1, false),
            (Palette{{136, 186, 228, 0}}));
  EXPECT_EQ(ErrorOf([&] { same.CreateColorPalette(p, RawPaletteFormat::kPlane8Triple, 1, false); }),
            msg::kConversionImpossible);
}

// Every converter stays inside the documented buffers: sources are exactly as large as
// the contract says (an address sanitizer build catches over-reads), and the bytes
// after the target's share keep their value.
TEST(ColorManager, ConvertRowStaysInsideTheDocumentedBuffers) {
  const struct {
    S source;
    int source_bits, cs;
    S target;
    int target_bits, ct;
  } cases[] = {
      {S::schIndexed, 1, 1, S::schIndexed, 8, 1},  {S::schIndexed, 3, 1, S::schIndexed, 5, 1},
      {S::schIndexed, 8, 1, S::schIndexed, 2, 1},  {S::schIndexed, 16, 1, S::schIndexed, 16, 1},
      {S::schIndexed, 16, 1, S::schIndexed, 3, 1}, {S::schIndexed, 7, 1, S::schIndexed, 16, 1},
      {S::schGray, 16, 1, S::schGray, 8, 1},       {S::schGrayAlpha, 8, 2, S::schGray, 16, 1},
      {S::schRGBA, 16, 4, S::schBGRA, 8, 4},       {S::schBGR, 8, 3, S::schRGBA, 16, 4},
      {S::schCMYK, 16, 4, S::schBGR, 16, 3},       {S::schCIELab, 16, 3, S::schBGRA, 8, 4},
      {S::schYCbCr, 8, 3, S::schBGR, 16, 3},       {S::schPhotoYCC, 16, 3, S::schBGR, 16, 3},
  };
  for (const auto& c : cases) {
    for (std::uint8_t mask : {0xFF, 0xAA, 0x01, 0x00}) {
      for (std::size_t count : {1u, 7u, 13u}) {
        std::size_t n = 0;
        for (std::size_t i = 0; i < count; ++i) n += (mask >> (7 - i % 8)) & 1;
        auto cm = Manager(c.source, c.source_bits, c.cs, c.target, c.target_bits, c.ct);
        Change(cm, [](ColorLayout& s, ColorLayout&) { s.options |= ColorOptions::kByteSwap; });
        // A fully selected row may be block-copied: the contract then covers count pixels.
        const std::size_t source_size = (n * c.cs * c.source_bits + 7) / 8;
        auto source = std::make_unique<std::uint8_t[]>(source_size);
        std::fill_n(source.get(), source_size, std::uint8_t(0x5A));
        const std::size_t target_size = (count * c.ct * c.target_bits + 7) / 8;
        Bytes target(target_size + 8, 0xC3);
        const std::uint8_t* pointers[] = {source.get()};
        cm.ConvertRow(pointers, target.data(), count, mask);
        EXPECT_EQ(Bytes(target.begin() + target_size, target.end()), Bytes(8, 0xC3))
            << int(c.source) << " " << c.source_bits << " -> " << c.target_bits << " mask " << int(mask)
            << " count " << count;
      }
    }
  }
}

}  // namespace
}  // namespace qel
