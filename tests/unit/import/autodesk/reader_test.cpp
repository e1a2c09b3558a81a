#include <gtest/gtest.h>

#include "import/autodesk/reader.h"
#include "unit/import/side_format_helpers.h"

namespace qel {
namespace {

using test::Bytes;

// Header, 256 palette entries (entry i = i mod 64, 63 - i mod 64, 0; entry 7 =
// 63, 63, 63), then the pixels.
Bytes Cel(int width, int height, const Bytes& pixels, int bits = 8, int compression = 0) {
  Bytes b(32, 0);
  b[0] = 0x19, b[1] = 0x91, b[10] = std::uint8_t(bits), b[11] = std::uint8_t(compression);
  b[2] = std::uint8_t(width), b[3] = std::uint8_t(width >> 8), b[4] = std::uint8_t(height),
  b[5] = std::uint8_t(height >> 8);
  for (int i = 0; i < 256; ++i) {
    b.push_back(i == 7 ? 63 : std::uint8_t(i % 64));
    b.push_back(i == 7 ? 63 : std::uint8_t(63 - i % 64));
    b.push_back(i == 7 ? 63 : 0);
  }
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

TEST(AutodeskRead, PaletteTimesFourRowsTopFirst) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "a.cel", Cel(3, 2, {7, 1, 2, 10, 63, 0}));
  const Picture p = LoadPictureFile((dir / "a.cel").string());
  EXPECT_EQ(p.Pixel(0, 0), RGBColor(252, 252, 252));  // 63 becomes 252
  EXPECT_EQ(p.Pixel(1, 0), RGBColor(4, 248, 0));
  EXPECT_EQ(p.Pixel(0, 1), RGBColor(40, 212, 0));
  EXPECT_EQ(p.Pixel(1, 1), RGBColor(252, 0, 0));
  // Components beyond the 6-bit range do not wrap.
  Bytes loud = Cel(1, 1, {0});
  loud[32] = 200;
  EXPECT_EQ(test::LoadBytes<TAutodeskGraphic>(loud)->PixelColor(0, 0), RGBColor(255, 252, 0));

  TAutodeskGraphic g;
  for (auto [bytes, answer] :
       {std::pair{Cel(1, 1, {0}), true}, {Cel(1, 1, {0}, 4), false}, {Cel(1, 1, {0}, 8, 1), false}}) {
    TMemoryStream s(bytes);
    EXPECT_EQ(g.RecognizesStream(s), answer);
  }
  Bytes header_only = Cel(1, 1, {});
  header_only.resize(32);
  TMemoryStream s(header_only);
  EXPECT_FALSE(g.RecognizesStream(s));
}

TEST(AutodeskRead, BadFilesFail) {
  Bytes other = Cel(1, 1, {0});
  other[0] = 0x18;
  EXPECT_EQ(test::LoadError<TAutodeskGraphic>(other),
            "Cannot load image. Invalid or unexpected Autodesk image format.");
  // Pixels missing, and a header far larger than the file: nothing is made.
  EXPECT_EQ(test::LoadError<TAutodeskGraphic>(Cel(3, 2, {1, 2, 3, 4, 5})),
            "Stream read error in Autodesk file.");
  EXPECT_EQ(test::LoadError<TAutodeskGraphic>(Cel(65535, 65535, {1})), "Stream read error in Autodesk file.");
  // Another depth or packed pixels would show noise.
  EXPECT_EQ(test::LoadError<TAutodeskGraphic>(Cel(1, 1, {0}, 16)), "Invalid color format in Autodesk file.");
  EXPECT_EQ(test::LoadError<TAutodeskGraphic>(Cel(1, 1, {0}, 8, 1)),
            "Cannot load image. The compression scheme is not supported for Autodesk files.");
  test::ExpectDamageFailsCleanly<TAutodeskGraphic>(Cel(20, 10, Bytes(200, 3)), 32);
}

}  // namespace
}  // namespace qel
