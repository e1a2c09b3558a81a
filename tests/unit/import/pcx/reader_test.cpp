#include <gtest/gtest.h>

#include "import/pcx/reader.h"
#include "unit/import/side_format_helpers.h"

// Fixtures name only the header fields they change; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace qel {
namespace {

using test::Bytes;
using test::Peer;

// A file built byte by byte: header fields, pixel data, and the closing palette when
// trailing is not empty (the marker 12 is added).
struct PcxFile {
  std::uint8_t manufacturer = 10, version = 5, encoding = 0, bits = 8, planes = 1;
  std::uint16_t width = 1, height = 1, bytes_per_line = 2, palette_info = 1;
  Bytes palette16 = Bytes(48, 0), data, trailing;

  Bytes Build() const {
    Bytes b(128, 0);
    b[0] = manufacturer, b[1] = version, b[2] = encoding, b[3] = bits, b[65] = planes;
    b[4] = 5, b[6] = 7;  // the window starts at (5, 7)
    b[8] = std::uint8_t(4 + width), b[9] = std::uint8_t((4 + width) >> 8);
    b[10] = std::uint8_t(6 + height), b[11] = std::uint8_t((6 + height) >> 8);
    b[66] = std::uint8_t(bytes_per_line), b[67] = std::uint8_t(bytes_per_line >> 8);
    b[68] = std::uint8_t(palette_info);
    std::copy(palette16.begin(), palette16.end(), b.begin() + 16);
    b.resize(128 + data.size());
    std::copy(data.begin(), data.end(), b.begin() + 128);
    if (!trailing.empty()) b.push_back(12), b.insert(b.end(), trailing.begin(), trailing.end());
    return b;
  }
  std::unique_ptr<TPCXGraphic> Load() const { return test::LoadBytes<TPCXGraphic>(Build()); }
  std::string Error() const { return test::LoadError<TPCXGraphic>(Build()); }
};

Bytes Ramp48() {
  Bytes p(48);
  for (std::size_t i = 0; i < 48; ++i) p[i] = std::uint8_t(10 + i);
  return p;
}

TEST(PCXRead, AgreesWithPeersInEveryDepth) {
  QEL_SKIP_WITHOUT("convert", "pillow", "netpbm");
  test::TempDir dir;
  const std::string d = dir.Path().string() + "/";
  const std::string hopper = test::ShellQuote((test::CorpusDir() / "hopper.ppm").string());
  for (const char* n : {"2", "4", "8", "16", "256"})
    test::Make("pnmquant " + std::string(n) + " " + hopper + " > " + d + "q" + n + ".ppm");
  const std::string magick = "/usr/bin/convert " + hopper;
  // Pillow reads neither one plane of 2 or 4 bits nor three 1-bit planes nor four 8-bit
  // planes: netpbm or ImageMagick (alpha off, as the bitmap does not show it) stand in.
  const struct {
    const char* name;
    std::string make;
    Peer peer;
  } cases[] = {
      {"n24.pcx", "ppmtopcx -24bit " + hopper, Peer::kPillow},
      {"n8.pcx", "ppmtopcx -8bit " + d + "q256.ppm", Peer::kPillow},
      {"n4planes.pcx", "ppmtopcx " + d + "q16.ppm", Peer::kPillow},
      {"n2planes.pcx", "ppmtopcx -planes=2 " + d + "q4.ppm", Peer::kPillow},
      {"n3planes.pcx", "ppmtopcx -planes=3 " + d + "q8.ppm", Peer::kNetpbmPcx},
      {"n4packed.pcx", "ppmtopcx -packed " + d + "q16.ppm", Peer::kNetpbmPcx},
      {"n2packed.pcx", "ppmtopcx -packed " + d + "q4.ppm", Peer::kNetpbmPcx},
      // Two colours in 1 bit: black and white, whatever the header's two colours.
      {"n1.pcx", "ppmtopcx " + d + "q2.ppm", Peer::kPillow},
      {"n4pal.pcx",
       "pnmcolormap 16 " + d + "q16.ppm > " + d + "map && ppmtopcx -palette=" + d + "map " + d + "q16.ppm",
       Peer::kPillow},
      {"m8.pcx", magick + " -type Palette PCX:-", Peer::kPillow},
      {"m24.pcx", magick + " -type TrueColor PCX:-", Peer::kPillow},
      {"m1.pcx", magick + " -colors 2 -depth 1 -type Bilevel PCX:-", Peer::kPillow},
      {"m32.pcx", magick + " -alpha set -channel A -fx i/w -type TrueColorAlpha PCX:-",
       Peer::kImageMagickAlphaOff},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::Make(c.make + " > " + d + c.name);
    test::ExpectMatchesPeer(dir / c.name, c.peer);
  }
}

TEST(PCXRead, CorpusFilesAgreeWithPillow) {
  QEL_SKIP_WITHOUT("convert", "pillow", "netpbm");
  const auto files = test::CorpusFiles({".pcx"});
  ASSERT_GE(files.size(), 3u);
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    if (file.filename() != "p_4_planes.pcx") {
      test::ExpectMatchesPeer(file, Peer::kPillow);
      continue;
    }
    // Four 1-bit planes of 2 bytes a line for a 1-pixel row: Pillow takes each plane as
    // 1 byte (index 5, black); netpbm and ImageMagick step by the header's line length,
    // as the tool does (index 3, red).
    EXPECT_EQ(LoadPictureFile(file.string()).Pixel(0, 0), RGBColor(255, 0, 0));
    test::ExpectMatchesPeer(file, Peer::kNetpbmPcx);
    test::ExpectMatchesPeer(file, Peer::kImageMagickAlphaOff);
  }
  for (const auto& file : files) test::ExpectDamageFailsCleanly<TPCXGraphic>(test::ReadFileBytes(file), 128);
}

TEST(PCXRead, Palettes) {
  // One plane of 2 bits: values 0..3 become 0, 5, 10, 15, entries that hold the first
  // four header colours; with palette info 2 they are grays.
  PcxFile two{.bits = 2, .width = 4, .palette16 = Ramp48(), .data = {0x1B, 0}};
  auto g = two.Load();
  ASSERT_EQ(g->PixelFormat(), TPixelFormat::pf4bit);
  EXPECT_EQ(g->ScanLine(0)[0], 0x05);
  EXPECT_EQ(g->ScanLine(0)[1], 0xAF);
  for (std::uint8_t i = 0; i < 4; ++i) {
    const PaletteEntry header{std::uint8_t(10 + 3 * i), std::uint8_t(11 + 3 * i), std::uint8_t(12 + 3 * i),
                              0};
    EXPECT_EQ(g->PaletteRef().at(5u * i), header);
  }
  two.palette_info = 2;
  EXPECT_EQ(two.Load()->PixelColor(1, 0), RGBColor(85, 85, 85));

  // 4 bits: the header's colours, but the standard ones in version 3 files.
  PcxFile nibble{.bits = 4, .width = 2, .palette16 = Ramp48(), .data = {0x9C, 0}};
  EXPECT_EQ(nibble.Load()->PixelColor(0, 0), RGBColor(37, 38, 39));
  nibble.version = 3;
  EXPECT_EQ(nibble.Load()->PixelColor(0, 0), RGBColor(255, 0, 0));
  EXPECT_EQ(nibble.Load()->PixelColor(1, 0), RGBColor(0, 0, 255));

  // 1 bit is black and white whatever the header holds.
  for (std::uint8_t version : {3, 5}) {
    auto bw =
        PcxFile{.version = version, .bits = 1, .width = 2, .palette16 = Ramp48(), .data = {0x40, 0}}.Load();
    EXPECT_EQ(bw->PixelColor(0, 0), RGBColor(0, 0, 0));
    EXPECT_EQ(bw->PixelColor(1, 0), RGBColor(255, 255, 255));
  }

  // 8 bits: the closing palette; without one, gray with palette info 2, else no palette
  // of its own. Its last 769 bytes are then pixels, not a palette to cut off.
  PcxFile byte{.width = 2, .data = {1, 200}, .trailing = Bytes(768, 0)};
  byte.trailing[3] = 7, byte.trailing[4] = 8, byte.trailing[5] = 9;
  EXPECT_EQ(byte.Load()->PixelColor(0, 0), RGBColor(7, 8, 9));
  byte.trailing.clear();
  EXPECT_TRUE(byte.Load()->PaletteRef().empty());
  PcxFile wide{.width = 800, .bytes_per_line = 800, .palette_info = 2, .data = Bytes(800, 3)};
  wide.data[799] = 77;
  EXPECT_EQ(wide.Load()->PaletteRef().size(), 256u);
  EXPECT_EQ(wide.Load()->PixelColor(799, 0), RGBColor(77, 77, 77));
}

TEST(PCXRead, PlanesAndRuns) {
  // Colour planes one after the other, each as long as the line length says.
  PcxFile rgb{.planes = 3, .width = 2, .height = 2, .bytes_per_line = 3};
  rgb.data = {10, 11, 99, 20, 21, 99, 30, 31, 99, 40, 41, 99, 50, 51, 99, 60, 61, 99};
  EXPECT_EQ(rgb.Load()->PixelColor(1, 0), RGBColor(11, 21, 31));
  EXPECT_EQ(rgb.Load()->PixelColor(0, 1), RGBColor(40, 50, 60));
  // A fourth 8-bit plane is not shown: a 24-bit bitmap.
  PcxFile rgba{
      .planes = 4, .width = 2, .bytes_per_line = 3, .data = {10, 11, 0, 20, 21, 0, 30, 31, 0, 9, 9, 0}};
  EXPECT_EQ(rgba.Load()->PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(rgba.Load()->PixelColor(1, 0), RGBColor(11, 21, 31));
  // 1-bit planes: pixel bit k from plane k.
  PcxFile planar{.bits = 1, .planes = 4, .width = 3, .bytes_per_line = 1, .palette16 = Ramp48()};
  planar.data = {0xA0, 0x60, 0x60, 0xE0};  // pixels 1001, 1110, 1111
  EXPECT_EQ(planar.Load()->ScanLine(0)[0], 0x9E);
  EXPECT_EQ(planar.Load()->ScanLine(0)[1], 0xF0);
  // Runs may cross rows; a count of 0 consumes its value byte and writes nothing.
  PcxFile packed{
      .encoding = 1, .width = 3, .height = 2, .bytes_per_line = 3, .data = {0xC4, 7, 0xC0, 99, 8, 9}};
  auto p = packed.Load();
  EXPECT_EQ(Bytes(p->ScanLine(1), p->ScanLine(1) + 3), (Bytes{7, 8, 9}));
}

TEST(PCXRead, RecognitionAndBadFiles) {
  TPCXGraphic g;
  const auto recognizes = [&](const PcxFile& f) {
    TMemoryStream s(f.Build());
    return g.RecognizesStream(s) && s.Position() == 0;
  };
  EXPECT_TRUE(recognizes(PcxFile{.data = {1, 2}}));
  EXPECT_TRUE(recognizes(PcxFile{.manufacturer = 205}));
  EXPECT_FALSE(recognizes(PcxFile{.version = 1}));
  EXPECT_FALSE(recognizes(PcxFile{.encoding = 2}));

  const std::string invalid = "Cannot load image. Invalid or unexpected PCX or SCR image format.";
  EXPECT_EQ((PcxFile{.manufacturer = 11, .data = {1, 2}}.Error()), invalid);
  EXPECT_EQ(test::LoadError<TPCXGraphic>(Bytes(100, 10)), invalid);
  EXPECT_EQ((PcxFile{.width = 9, .bytes_per_line = 8, .data = Bytes(16, 0)}.Error()), invalid);
  for (auto [planes, bits] : {std::pair{2, 8}, {1, 16}, {3, 4}, {5, 1}, {0, 8}, {1, 0}}) {
    const PcxFile odd{.bits = std::uint8_t(bits), .planes = std::uint8_t(planes), .data = Bytes(64, 0)};
    EXPECT_EQ(odd.Error(), "Invalid color format in PCX file.") << planes << " x " << bits;
  }
  // Missing data, stored or compressed, and a huge window over a few bytes: nothing is
  // allocated for them.
  const std::string short_data = "Stream read error in PCX file.";
  EXPECT_EQ((PcxFile{.width = 4, .height = 2, .bytes_per_line = 4, .data = Bytes(7, 1)}.Error()), short_data);
  EXPECT_EQ((PcxFile{.encoding = 1, .width = 4, .height = 2, .bytes_per_line = 4, .data = {0xC7, 1}}.Error()),
            short_data);
  const PcxFile huge{
      .encoding = 1, .width = 30000, .height = 30000, .bytes_per_line = 30000, .data = Bytes(999, 0xFF)};
  EXPECT_EQ(huge.Error(), short_data);
}

}  // namespace
}  // namespace qel
