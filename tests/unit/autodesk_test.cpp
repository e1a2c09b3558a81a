#include <gtest/gtest.h>

#include "import/autodesk_reader.h"
#include "side_format_test_helpers.h"

namespace qel {
namespace {

using test::Bytes;

Bytes Prefix(const Bytes& b, std::size_t n) {
  return Bytes(b.begin(), b.begin() + std::ptrdiff_t(n));
}

// A cel: the 32-byte header, 256 palette entries (entry i = i mod 64, 63 - i mod 64,
// 0; entry 7 = 63, 63, 63) and the pixels.
Bytes Cel(int width, int height, const Bytes& pixels, int bits = 8, int compression = 0) {
  Bytes b(32, 0);
  b[0] = 0x19;
  b[1] = 0x91;
  b[2] = std::uint8_t(width);
  b[3] = std::uint8_t(width >> 8);
  b[4] = std::uint8_t(height);
  b[5] = std::uint8_t(height >> 8);
  b[6] = 5;  // offsets on the screen, not used
  b[8] = 9;
  b[10] = std::uint8_t(bits);
  b[11] = std::uint8_t(compression);
  for (int i = 0; i < 256; ++i) {
    const bool white = i == 7;
    b.push_back(white ? 63 : std::uint8_t(i % 64));
    b.push_back(white ? 63 : std::uint8_t(63 - i % 64));
    b.push_back(white ? 63 : 0);
  }
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

TEST(AutodeskRead, PaletteTimesFourAndRowsTopFirst) {
  auto g = test::LoadBytes<TAutodeskGraphic>(Cel(3, 2, {7, 1, 2, 10, 63, 0}));
  ASSERT_EQ(g->PixelFormat(), TPixelFormat::pf8bit);
  ASSERT_EQ(g->Width(), 3);
  ASSERT_EQ(g->Height(), 2);
  ASSERT_EQ(g->PaletteRef().size(), 256u);
  EXPECT_EQ(g->PixelColor(0, 0), RGBColor(252, 252, 252));  // 63 becomes 252
  EXPECT_EQ(g->PixelColor(1, 0), RGBColor(4, 248, 0));
  EXPECT_EQ(g->PixelColor(2, 0), RGBColor(8, 244, 0));
  EXPECT_EQ(g->PixelColor(0, 1), RGBColor(40, 212, 0));
  EXPECT_EQ(g->PixelColor(1, 1), RGBColor(252, 0, 0));
  EXPECT_EQ(g->PixelColor(2, 1), RGBColor(0, 252, 0));
  // Components beyond the 6-bit range do not wrap.
  Bytes loud = Cel(1, 1, {0});
  loud[32] = 200;
  EXPECT_EQ(test::LoadBytes<TAutodeskGraphic>(loud)->PixelColor(0, 0), RGBColor(255, 252, 0));
  // Through the format list, for both extensions.
  test::TempDir dir;
  for (const char* name : {"a.cel", "b.PIC"}) {
    test::WriteFileBytes(dir / name, Cel(3, 2, {7, 1, 2, 10, 63, 0}));
    EXPECT_EQ(LoadPictureFile((dir / name).string()).Pixel(1, 1), RGBColor(252, 0, 0)) << name;
  }
}

TEST(AutodeskRead, RecognitionAndProperties) {
  TAutodeskGraphic g;
  const auto recognizes = [&](const Bytes& b) {
    TMemoryStream s(b);
    const bool answer = g.RecognizesStream(s);
    EXPECT_EQ(s.Position(), 0u);
    return answer;
  };
  EXPECT_TRUE(recognizes(Cel(1, 1, {0})));
  EXPECT_FALSE(recognizes(Cel(1, 1, {0}, 4)));
  EXPECT_FALSE(recognizes(Cel(1, 1, {0}, 8, 1)));
  EXPECT_FALSE(recognizes(Prefix(Cel(1, 1, {}), 32)));  // header only
  Bytes other = Cel(1, 1, {0});
  other[1] = 0x92;
  EXPECT_FALSE(recognizes(other));

  // The properties need the magic only.
  TMemoryStream s(Cel(640, 400, {}, 4, 3));
  ASSERT_TRUE(g.ReadProperties(s, 0));
  EXPECT_EQ(g.ImageProperties().Width, 640u);
  EXPECT_EQ(g.ImageProperties().Height, 400u);
  EXPECT_EQ(g.ImageProperties().BitsPerPixel, 8);
  EXPECT_EQ(g.ImageProperties().ColorScheme, ColorScheme::schIndexed);
  EXPECT_EQ(g.ImageProperties().Compression, CompressionType::cmpNone);
}

TEST(AutodeskRead, BadFilesFailCleanly) {
  const auto error = [](const Bytes& b) {
    return test::ErrorText([&] { test::LoadBytes<TAutodeskGraphic>(b); });
  };
  Bytes other = Cel(1, 1, {0});
  other[0] = 0x18;
  EXPECT_EQ(error(other), "Cannot load image. Invalid or unexpected Autodesk image format.");
  EXPECT_EQ(error(Bytes{0x19, 0x91, 1}), "Cannot load image. Invalid or unexpected Autodesk image format.");
  // Pixels missing at the end, and a header far larger than the file: nothing is made.
  EXPECT_EQ(error(Cel(3, 2, {1, 2, 3, 4, 5})), "Stream read error in Autodesk file.");
  EXPECT_EQ(error(Cel(65535, 65535, {1})), "Stream read error in Autodesk file.");
  EXPECT_EQ(error(Prefix(Cel(1, 1, {}), 100)), "Stream read error in Autodesk file.");
  // Another depth or packed pixels would be read as noise.
  EXPECT_EQ(error(Cel(1, 1, {0}, 16)), "Invalid color format in Autodesk file.");
  EXPECT_EQ(error(Cel(1, 1, {0}, 8, 1)),
            "Cannot load image. The compression scheme is not supported for Autodesk files.");
  test::ExpectDamageFailsCleanly<TAutodeskGraphic>(Cel(20, 10, Bytes(200, 3)), 32, 5);
}

}  // namespace
}  // namespace qel
