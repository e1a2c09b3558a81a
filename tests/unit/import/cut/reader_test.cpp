#include <gtest/gtest.h>

#include "import/cut/palette.h"
#include "import/cut/reader.h"
#include "unit/import/side_format_helpers.h"

namespace qel {
namespace {

using test::Bytes;

// Width, height, a reserved word, then each line: its length word, runs, a closing 0.
Bytes Cut(int width, int height, const std::vector<Bytes>& lines) {
  Bytes b = {
      std::uint8_t(width), std::uint8_t(width >> 8), std::uint8_t(height), std::uint8_t(height >> 8), 0, 0};
  for (const Bytes& runs : lines) {
    b.push_back(std::uint8_t(runs.size() + 1)), b.push_back(0);
    b.insert(b.end(), runs.begin(), runs.end());
    b.push_back(0);
  }
  return b;
}

// A palette file with highest index count - 1 and `stored` entries: entry i is
// (i, 255 - i, i / 2), each a 16-bit word whose high byte must be ignored.
Bytes PaletteFile(int count, int stored) {
  Bytes b(512, 0);
  b[12] = std::uint8_t(count - 1), b[13] = std::uint8_t((count - 1) >> 8);
  std::size_t at = 40;
  for (int i = 0; i < stored; ++i, at += 6) {
    if (at % 512 > 506) at += 512 - at % 512, b.resize(at + 512, 0);
    const int component[3] = {i & 0xFF, 255 - (i & 0xFF), (i & 0xFF) / 2};
    for (std::size_t k = 0; k < 3; ++k) b[at + 2 * k] = std::uint8_t(component[k]), b[at + 2 * k + 1] = 0x7F;
  }
  return b;
}

PaletteEntry Entry(int i) {
  return {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2), 0};
}

// Rows of a 4-wide image: a fill of 4 x 1; a literal 2, 3 and a fill of 2 x 255.
const std::vector<Bytes> kLines = {{0x84, 1}, {0x02, 2, 3, 0x82, 255}};

TEST(CUTRead, RunsAndTheGrayRampWithoutAPaletteFile) {
  auto g = test::LoadBytes<TCUTGraphic>(Cut(4, 2, kLines));
  ASSERT_EQ(g->PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(Bytes(g->ScanLine(0), g->ScanLine(0) + 4), (Bytes{1, 1, 1, 1}));
  EXPECT_EQ(Bytes(g->ScanLine(1), g->ScanLine(1) + 4), (Bytes{2, 3, 255, 255}));
  EXPECT_EQ(g->PixelColor(1, 1), RGBColor(3, 3, 3));  // a stream alone: gray
  // A line longer than the width is cut and the next line starts where it should; a
  // shorter one leaves index 0.
  auto odd = test::LoadBytes<TCUTGraphic>(Cut(3, 3, {{0x85, 9}, {0x01, 7}, {0x83, 4}}));
  EXPECT_EQ(Bytes(odd->ScanLine(1), odd->ScanLine(1) + 3), (Bytes{7, 0, 0}));
  EXPECT_EQ(Bytes(odd->ScanLine(2), odd->ScanLine(2) + 3), (Bytes{4, 4, 4}));
}

TEST(CUTRead, PaletteFileBesideTheImage) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "pic.cut", Cut(4, 2, kLines));
  EXPECT_EQ(LoadPictureFile((dir / "pic.cut").string()).Pixel(2, 1), RGBColor(255, 255, 255));
  test::WriteFileBytes(dir / "pic.pal", PaletteFile(256, 256));
  const Picture p = LoadPictureFile((dir / "pic.cut").string());
  EXPECT_EQ(p.Pixel(0, 0), RGBColor(1, 254, 0));
  EXPECT_EQ(p.Pixel(3, 1), RGBColor(255, 0, 127));  // entry 255, in the fourth block
  // 256 entries span the blocks: 78 in the first (offsets 40 to 502), 85 in each next.
  const Palette palette = ReadCutPalette((dir / "pic.pal").string()).value();
  ASSERT_EQ(palette.size(), 256u);
  for (int i : {77, 78, 162, 163}) EXPECT_EQ(palette[std::size_t(i)], Entry(i)) << i;
  // A stream load after a file load keeps that file's palette.
  TCUTGraphic g;
  g.LoadFromFile((dir / "pic.cut").string());
  TMemoryStream again(Cut(1, 1, {{0x81, 2}}));
  g.LoadFromStream(again);
  EXPECT_EQ(g.PixelColor(0, 0), RGBColor(2, 253, 1));

  // Names: IMG.CUT finds IMG.PAL, Mixed.cut finds mixed.pal.
  test::WriteFileBytes(dir / "IMG.PAL", PaletteFile(16, 16));
  test::WriteFileBytes(dir / "mixed.pal", PaletteFile(16, 16));
  EXPECT_EQ(FindCutPaletteFile((dir / "IMG.CUT").string()), (dir / "IMG.PAL").string());
  EXPECT_EQ(FindCutPaletteFile((dir / "Mixed.cut").string()), (dir / "mixed.pal").string());
  EXPECT_EQ(FindCutPaletteFile((dir / "none.cut").string()), (dir / "none.pal").string());
  // At most 256 entries; a file that ends early gives those it holds; one too short
  // for its header is no palette.
  test::WriteFileBytes(dir / "many.pal", PaletteFile(300, 256));
  EXPECT_EQ(ReadCutPalette((dir / "many.pal").string())->size(), 256u);
  Bytes cut_short = PaletteFile(256, 256);
  cut_short.resize(600);
  test::WriteFileBytes(dir / "short.pal", cut_short);
  EXPECT_EQ(ReadCutPalette((dir / "short.pal").string())->size(), 78u + 14u);
  test::WriteFileBytes(dir / "tiny.pal", Bytes(20, 1));
  EXPECT_FALSE(ReadCutPalette((dir / "tiny.pal").string()).has_value());
}

TEST(CUTRead, TruncatedAndCorruptFilesFail) {
  const Bytes good = Cut(4, 3, {{0x84, 1}, {0x02, 2, 3, 0x82, 255}, {0x04, 9, 8, 7, 6}});
  ASSERT_EQ(good.size(), 27u);
  ASSERT_EQ(test::LoadError<TCUTGraphic>(good), "");
  // Cut inside the header, between lines, inside a length word, inside runs, and just
  // before the closing 0 of the last line.
  for (std::size_t size : {3u, 6u, 8u, 10u, 11u, 12u, 15u, 19u, 20u, 23u, 26u}) {
    EXPECT_EQ(test::LoadError<TCUTGraphic>(Bytes(good.begin(), good.begin() + std::ptrdiff_t(size))),
              size < 6 ? "Cannot load image. Invalid or unexpected CUT image format."
                       : "Stream read error in CUT file.")
        << size;
  }
  EXPECT_EQ(test::LoadError<TCUTGraphic>(Cut(0, 1, {{0x81, 1}})),
            "Cannot load image. Invalid or unexpected CUT image format.");
  EXPECT_EQ(test::LoadError<TCUTGraphic>(Cut(30000, 30000, {{0x81, 1}})), "Stream read error in CUT file.");
  test::ExpectDamageFailsCleanly<TCUTGraphic>(good, 6);
}

}  // namespace
}  // namespace qel
