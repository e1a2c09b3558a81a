#include <gtest/gtest.h>

#include <string>

#include "import/cut_palette.h"
#include "import/cut_reader.h"
#include "side_format_test_helpers.h"

namespace qel {
namespace {

using test::Bytes;
using test::TempDir;

// An image: width, height, a reserved word, then each line as its length word, its
// runs and a closing 0.
Bytes Cut(int width, int height, const std::vector<Bytes>& lines) {
  Bytes b = {
      std::uint8_t(width), std::uint8_t(width >> 8), std::uint8_t(height), std::uint8_t(height >> 8), 0, 0};
  for (const Bytes& runs : lines) {
    const std::size_t length = runs.size() + 1;
    b.push_back(std::uint8_t(length));
    b.push_back(std::uint8_t(length >> 8));
    b.insert(b.end(), runs.begin(), runs.end());
    b.push_back(0);
  }
  return b;
}

// A palette file whose entry i is (i, 255 - i, i / 2), each component a 16-bit word
// with a high byte that must be ignored; highest index count - 1.
Bytes PaletteFile(int count, int stored = -1) {
  if (stored < 0) stored = count;
  Bytes b(512, 0);
  b[0] = 'A';
  b[1] = 'H';
  b[12] = std::uint8_t(count - 1);
  b[13] = std::uint8_t((count - 1) >> 8);
  std::size_t block = 0, offset = 40;
  for (int i = 0; i < stored; ++i) {
    if (offset > 506) {
      ++block;
      offset = 0;
      b.resize((block + 1) * 512, 0);
    }
    const std::size_t at = block * 512 + offset;
    const int component[3] = {i & 0xFF, 255 - (i & 0xFF), (i & 0xFF) / 2};
    for (int k = 0; k < 3; ++k) {
      b[at + 2 * std::size_t(k)] = std::uint8_t(component[k]);
      b[at + 2 * std::size_t(k) + 1] = 0x7F;
    }
    offset += 6;
  }
  return b;
}

// Rows 0 and 1 of a 4-wide image: a fill of 4 x 1; a literal 2, 3 and a fill of 2 x 255.
const std::vector<Bytes> kLines = {{0x84, 1}, {0x02, 2, 3, 0x82, 255}};

TEST(CUTRead, RunsAndTheGrayRampWithoutAPaletteFile) {
  auto g = test::LoadBytes<TCUTGraphic>(Cut(4, 2, kLines));
  ASSERT_EQ(g->PixelFormat(), TPixelFormat::pf8bit);
  ASSERT_EQ(g->Width(), 4);
  ASSERT_EQ(g->Height(), 2);
  EXPECT_EQ(Bytes(g->ScanLine(0), g->ScanLine(0) + 4), (Bytes{1, 1, 1, 1}));
  EXPECT_EQ(Bytes(g->ScanLine(1), g->ScanLine(1) + 4), (Bytes{2, 3, 255, 255}));
  // Loaded from a stream alone: gray.
  ASSERT_EQ(g->PaletteRef().size(), 256u);
  EXPECT_EQ(g->PixelColor(1, 1), RGBColor(3, 3, 3));
  EXPECT_TRUE(g->PaletteFileName().empty());

  // A line longer than the width is cut and the next line still starts where it
  // should; a shorter one leaves index 0 behind.
  auto odd = test::LoadBytes<TCUTGraphic>(Cut(3, 3, {{0x85, 9}, {0x01, 7}, {0x83, 4}}));
  EXPECT_EQ(Bytes(odd->ScanLine(0), odd->ScanLine(0) + 3), (Bytes{9, 9, 9}));
  EXPECT_EQ(Bytes(odd->ScanLine(1), odd->ScanLine(1) + 3), (Bytes{7, 0, 0}));
  EXPECT_EQ(Bytes(odd->ScanLine(2), odd->ScanLine(2) + 3), (Bytes{4, 4, 4}));

  TCUTGraphic props;
  TMemoryStream s(Cut(640, 350, {}));
  EXPECT_FALSE(props.RecognizesStream(s));
  ASSERT_TRUE(props.ReadProperties(s, 0));
  EXPECT_EQ(props.ImageProperties().Width, 640u);
  EXPECT_EQ(props.ImageProperties().Height, 350u);
  EXPECT_EQ(props.ImageProperties().Compression, CompressionType::cmpRLE);
}

TEST(CUTRead, PaletteFileBesideTheImage) {
  TempDir dir;
  test::WriteFileBytes(dir / "pic.cut", Cut(4, 2, kLines));
  // Without the palette file: gray, through the format list as well.
  EXPECT_EQ(LoadPictureFile((dir / "pic.cut").string()).Pixel(2, 1), RGBColor(255, 255, 255));

  test::WriteFileBytes(dir / "pic.pal", PaletteFile(256));
  const Picture p = LoadPictureFile((dir / "pic.cut").string());
  EXPECT_EQ(p.Pixel(0, 0), RGBColor(1, 254, 0));
  EXPECT_EQ(p.Pixel(1, 1), RGBColor(3, 252, 1));
  EXPECT_EQ(p.Pixel(3, 1), RGBColor(255, 0, 127));  // entry 255, in the fourth block

  // 256 entries span the blocks: 78 in the first (offsets 40 to 502), 85 in each next.
  const std::optional<Palette> palette = ReadCutPalette((dir / "pic.pal").string());
  ASSERT_TRUE(palette.has_value());
  ASSERT_EQ(palette->size(), 256u);
  for (int i : {0, 77, 78, 162, 163, 255})
    EXPECT_EQ((*palette)[std::size_t(i)],
              (PaletteEntry{std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2), 0}))
        << i;

  // A stream load after a file load keeps the palette file.
  TCUTGraphic g;
  g.LoadFromFile((dir / "pic.cut").string());
  EXPECT_EQ(g.PaletteFileName(), (dir / "pic.pal").string());
  TMemoryStream again(Cut(1, 1, {{0x81, 2}}));
  g.LoadFromStream(again);
  EXPECT_EQ(g.PixelColor(0, 0), RGBColor(2, 253, 1));
}

TEST(CUTRead, PaletteNamesCountsAndShortFiles) {
  TempDir dir;
  // Upper-case names: IMG.CUT finds IMG.PAL; a lower-case palette is found as well.
  test::WriteFileBytes(dir / "IMG.CUT", Cut(1, 1, {{0x81, 5}}));
  test::WriteFileBytes(dir / "IMG.PAL", PaletteFile(16));
  EXPECT_EQ(LoadPictureFile((dir / "IMG.CUT").string()).Pixel(0, 0), RGBColor(5, 250, 2));
  EXPECT_EQ(FindCutPaletteFile((dir / "IMG.CUT").string()), (dir / "IMG.PAL").string());
  test::WriteFileBytes(dir / "Mixed.cut", Cut(1, 1, {{0x81, 5}}));
  test::WriteFileBytes(dir / "mixed.pal", PaletteFile(16));
  EXPECT_EQ(FindCutPaletteFile((dir / "Mixed.cut").string()), (dir / "mixed.pal").string());
  EXPECT_EQ(FindCutPaletteFile((dir / "none.cut").string()), (dir / "none.pal").string());

  // A highest index beyond 255 gives 256 entries; a file that ends early gives those
  // it holds; one too short for its header is no palette (gray).
  test::WriteFileBytes(dir / "many.pal", PaletteFile(300, 256));
  EXPECT_EQ(ReadCutPalette((dir / "many.pal").string())->size(), 256u);
  Bytes cut_short = PaletteFile(256);
  cut_short.resize(600);
  test::WriteFileBytes(dir / "short.pal", cut_short);
  EXPECT_EQ(ReadCutPalette((dir / "short.pal").string())->size(), 78u + 14u);
  test::WriteFileBytes(dir / "tiny.cut", Cut(1, 1, {{0x81, 5}}));
  test::WriteFileBytes(dir / "tiny.pal", Bytes(20, 1));
  EXPECT_EQ(LoadPictureFile((dir / "tiny.cut").string()).Pixel(0, 0), RGBColor(5, 5, 5));
  EXPECT_FALSE(ReadCutPalette((dir / "absent.pal").string()).has_value());
}

TEST(CUTRead, TruncatedAndCorruptFilesFailCleanly) {
  const std::string short_data = "Stream read error in CUT file.";
  const std::string invalid = "Cannot load image. Invalid or unexpected CUT image format.";
  const Bytes good = Cut(4, 3, {{0x84, 1}, {0x02, 2, 3, 0x82, 255}, {0x04, 9, 8, 7, 6}});
  ASSERT_EQ(good.size(), 6u + 5 + 8 + 8);
  // Cut inside the header, between lines, inside a length word, inside runs, before
  // the closing 0 of the last line.
  for (std::size_t size : {3u, 6u, 8u, 10u, 11u, 12u, 15u, 19u, 20u, 23u, 26u}) {
    Bytes cut(good.begin(), good.begin() + std::ptrdiff_t(size));
    const std::string text = test::ErrorText([&] { test::LoadBytes<TCUTGraphic>(cut); });
    EXPECT_EQ(text, size < 6 ? invalid : short_data) << size;
  }
  EXPECT_EQ(test::ErrorText([&] { test::LoadBytes<TCUTGraphic>(good); }), "");
  // A zero size, and a size far beyond what the data can fill.
  EXPECT_EQ(test::ErrorText([&] { test::LoadBytes<TCUTGraphic>(Cut(0, 1, {{0x81, 1}})); }), invalid);
  EXPECT_EQ(test::ErrorText([&] {
              test::LoadBytes<TCUTGraphic>(Cut(30000, 30000, {{0x81, 1}}));
            }),
            short_data);
  test::ExpectDamageFailsCleanly<TCUTGraphic>(good, 6, 41);

  // Progress has no preparing stage.
  test::ProgressRecorder log;
  TCUTGraphic observed;
  observed.SetObserver(&log);
  TMemoryStream s(Cut(1, 1, {{0x81, 2}}));
  observed.LoadFromStream(s);
  EXPECT_EQ(log.entries,
            (std::vector<std::string>{"0:0:Transfering...", "1:100:Transfering...", "2:100:Transfering..."}));
}

}  // namespace
}  // namespace qel
