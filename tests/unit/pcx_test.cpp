#include <gtest/gtest.h>

#include <string>

#include "import/pcx_reader.h"
#include "side_format_test_helpers.h"

namespace qel {
namespace {

using test::Bytes;
using test::TempDir;

// A PCX file built byte by byte: the header's fields, the pixel data and optionally
// the closing 256-colour palette.
struct PcxFile {
  std::uint8_t manufacturer = 10, version = 5, encoding = 0, bits = 8, planes = 1;
  std::uint16_t x_min = 0, y_min = 0, width = 1, height = 1, bytes_per_line = 2, palette_info = 1;
  Bytes palette16 = Bytes(48, 0);
  Bytes data;
  Bytes trailing;  // 768 bytes of red, green, blue triples, written after the marker 12

  Bytes Build() const {
    Bytes b(128, 0);
    const auto put16 = [&](std::size_t at, unsigned v) {
      b[at] = std::uint8_t(v);
      b[at + 1] = std::uint8_t(v >> 8);
    };
    b[0] = manufacturer;
    b[1] = version;
    b[2] = encoding;
    b[3] = bits;
    put16(4, x_min);
    put16(6, y_min);
    put16(8, unsigned(x_min + width - 1));
    put16(10, unsigned(y_min + height - 1));
    put16(12, 300);
    put16(14, 150);
    std::copy(palette16.begin(), palette16.end(), b.begin() + 16);
    b[65] = planes;
    put16(66, bytes_per_line);
    put16(68, palette_info);
    const std::size_t tail = trailing.empty() ? 0 : 1 + trailing.size();
    b.resize(128 + data.size() + tail);
    std::copy(data.begin(), data.end(), b.begin() + 128);
    if (tail) {
      b[128 + data.size()] = 12;
      std::copy(trailing.begin(), trailing.end(), b.begin() + std::ptrdiff_t(129 + data.size()));
    }
    return b;
  }
};

Bytes Ramp48() {
  Bytes p(48);
  for (std::size_t i = 0; i < 48; ++i) p[i] = std::uint8_t(10 + i);
  return p;
}

std::unique_ptr<TPCXGraphic> Load(const PcxFile& f) {
  return test::LoadBytes<TPCXGraphic>(f.Build());
}
std::string LoadError(const Bytes& b) {
  return test::ErrorText([&] { test::LoadBytes<TPCXGraphic>(b); });
}

// netpbm's decoder as a peer: it reads the layouts Pillow refuses.
std::optional<Picture> NetpbmDecode(const std::filesystem::path& file) {
  return test::PeerDecode("sh -c 'pcxtoppm \"$0\" > \"$1\"'", file);
}

std::optional<Picture> ImageMagickDecode(const std::filesystem::path& file) {
  return test::PeerDecode("sh -c '/usr/bin/convert \"$0\" -alpha off -depth 8 ppm:\"$1\"'", file);
}

TEST(PCXRead, AgreesWithPeersOnFilesOfEveryDepth) {
  TempDir dir;
  const std::string d = dir.Path().string() + "/";
  const std::string hopper = test::ShellQuote((test::CorpusDir() / "hopper.ppm").string());
  for (int colours : {2, 4, 8, 16, 256})
    test::Make("pnmquant " + std::to_string(colours) + " " + hopper + " > " + d + "q" +
               std::to_string(colours) + ".ppm");
  // netpbm: 24 bits in three planes, 256 colours, 16 colours in four planes and packed
  // in one, 4 colours in two planes and packed as 2 bits, 8 colours in three planes.
  test::Make("ppmtopcx -24bit " + hopper + " > " + d + "n24.pcx");
  test::Make("ppmtopcx -8bit " + d + "q256.ppm > " + d + "n8.pcx");
  test::Make("ppmtopcx " + d + "q16.ppm > " + d + "n4planes.pcx");
  test::Make("ppmtopcx -packed " + d + "q16.ppm > " + d + "n4packed.pcx");
  test::Make("ppmtopcx -planes=2 " + d + "q4.ppm > " + d + "n2planes.pcx");
  test::Make("ppmtopcx -packed " + d + "q4.ppm > " + d + "n2packed.pcx");
  test::Make("ppmtopcx -planes=3 " + d + "q8.ppm > " + d + "n3planes.pcx");
  // ImageMagick: a palette of 256, true colour, true colour with alpha (four planes),
  // and 1 bit.
  test::Make("/usr/bin/convert " + hopper + " -type Palette PCX:" + d + "m8.pcx");
  test::Make("/usr/bin/convert " + hopper + " -type TrueColor PCX:" + d + "m24.pcx");
  test::Make("/usr/bin/convert " + hopper + " -alpha set -channel A -fx 'i/w' -type TrueColorAlpha PCX:" + d +
             "m32.pcx");
  test::Make("/usr/bin/convert " + hopper + " -colors 2 -depth 1 -type Bilevel PCX:" + d + "m1.pcx");

  for (const char* name :
       {"n24.pcx", "n8.pcx", "n4planes.pcx", "n2planes.pcx", "m8.pcx", "m24.pcx", "m1.pcx"}) {
    SCOPED_TRACE(name);
    test::ExpectMatchesPeer(dir / name, test::PillowDecode(dir / name));
  }
  // Four 8-bit planes, the fourth alpha: the bitmap does not show it. Pillow does not
  // read the layout, so ImageMagick with alpha off is the peer.
  test::ExpectMatchesPeer(dir / "m32.pcx", ImageMagickDecode(dir / "m32.pcx"));
  // Layouts Pillow does not read: 4 and 2 bits in one plane, three 1-bit planes.
  for (const char* name : {"n4packed.pcx", "n2packed.pcx", "n3planes.pcx", "n4planes.pcx", "n24.pcx"}) {
    SCOPED_TRACE(name);
    test::ExpectMatchesPeer(dir / name, NetpbmDecode(dir / name));
  }
}

TEST(PCXRead, CorpusFilesAgreeWithPillow) {
  const auto files = test::CorpusFiles({".pcx"});
  ASSERT_GE(files.size(), 3u);
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    if (file.filename() == "p_4_planes.pcx") {
      // Four 1-bit planes of 2 bytes a line for a 1-pixel row. Pillow takes the planes
      // as 1 byte each (its pixel is index 5, black); netpbm and ImageMagick step by
      // the header's line length, as the tool does: index 3, red.
      EXPECT_EQ(LoadPictureFile(file.string()).Pixel(0, 0), RGBColor(255, 0, 0));
      test::ExpectMatchesPeer(file, NetpbmDecode(file));
      test::ExpectMatchesPeer(file, ImageMagickDecode(file));
      continue;
    }
    test::ExpectMatchesPeer(file, test::PillowDecode(file));
  }
}

TEST(PCXRead, TwoBitPixelsSpreadOverSixteenEntries) {
  // One plane of 2 bits: values 0..3 become 0, 5, 10, 15, and those palette entries
  // hold the first four header colours.
  PcxFile f;
  f.bits = 2;
  f.width = 4;
  f.data = {0x1B, 0};  // 00 01 10 11
  f.palette16 = Ramp48();
  auto g = Load(f);
  ASSERT_EQ(g->PixelFormat(), TPixelFormat::pf4bit);
  EXPECT_EQ(g->ScanLine(0)[0], 0x05);
  EXPECT_EQ(g->ScanLine(0)[1], 0xAF);
  const Palette& p = g->PaletteRef();
  ASSERT_EQ(p.size(), 16u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(p[std::size_t(5 * i)],
              (PaletteEntry{std::uint8_t(10 + 3 * i), std::uint8_t(11 + 3 * i), std::uint8_t(12 + 3 * i), 0}))
        << i;
    EXPECT_EQ(g->PixelColor(i, 0),
              RGBColor(std::uint8_t(10 + 3 * i), std::uint8_t(11 + 3 * i), std::uint8_t(12 + 3 * i)));
  }
  // With palette info 2 the levels are grays.
  f.palette_info = 2;
  EXPECT_EQ(Load(f)->PixelColor(1, 0), RGBColor(85, 85, 85));
}

TEST(PCXRead, PalettesByVersionDepthAndPaletteInfo) {
  // Version 3 carries no palette: a 4-bit file shows the standard colours, whatever
  // its header holds.
  PcxFile nibble;
  nibble.bits = 4;
  nibble.width = 2;
  nibble.data = {0x9C, 0};
  nibble.palette16 = Ramp48();
  EXPECT_EQ(Load(nibble)->PixelColor(0, 0), RGBColor(37, 38, 39));  // header entry 9
  nibble.version = 3;
  auto standard = Load(nibble);
  EXPECT_EQ(standard->PixelColor(0, 0), RGBColor(255, 0, 0));
  EXPECT_EQ(standard->PixelColor(1, 0), RGBColor(0, 0, 255));
  nibble.version = 5;
  nibble.palette_info = 2;
  EXPECT_EQ(Load(nibble)->PixelColor(0, 0), RGBColor(153, 153, 153));

  // One bit is always black and white.
  PcxFile bilevel;
  bilevel.bits = 1;
  bilevel.width = 2;
  bilevel.data = {0x40, 0};
  bilevel.palette16 = Ramp48();
  for (int version : {3, 5}) {
    bilevel.version = std::uint8_t(version);
    auto g = Load(bilevel);
    ASSERT_EQ(g->PixelFormat(), TPixelFormat::pf1bit);
    EXPECT_EQ(g->PixelColor(0, 0), RGBColor(0, 0, 0));
    EXPECT_EQ(g->PixelColor(1, 0), RGBColor(255, 255, 255));
  }

  // 8 bits: the closing palette; without one a gray ramp when palette info is 2, else
  // no palette of its own (the bitmap's default, which is gray as well).
  PcxFile byte;
  byte.width = 2;
  byte.data = {1, 200};
  byte.trailing = Bytes(768, 0);
  byte.trailing[3] = 7;
  byte.trailing[4] = 8;
  byte.trailing[5] = 9;
  auto with = Load(byte);
  ASSERT_EQ(with->PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(with->PixelColor(0, 0), RGBColor(7, 8, 9));
  EXPECT_EQ(with->PixelColor(1, 0), RGBColor(0, 0, 0));
  byte.trailing.clear();
  auto without = Load(byte);
  EXPECT_TRUE(without->PaletteRef().empty());
  EXPECT_EQ(without->PixelColor(1, 0), RGBColor(200, 200, 200));
  byte.palette_info = 2;
  EXPECT_EQ(Load(byte)->PaletteRef().size(), 256u);
}

TEST(PCXRead, PixelDataLayouts) {
  // Rows hold their planes one after the other; planes may be longer than the row.
  PcxFile rgb;
  rgb.planes = 3;
  rgb.width = 2;
  rgb.height = 2;
  rgb.bytes_per_line = 3;
  rgb.data = {10, 11, 99, 20, 21, 99, 30, 31, 99, 40, 41, 99, 50, 51, 99, 60, 61, 99};
  auto g = Load(rgb);
  ASSERT_EQ(g->PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(g->PixelColor(1, 0), RGBColor(11, 21, 31));
  EXPECT_EQ(g->PixelColor(0, 1), RGBColor(40, 50, 60));

  // Four 8-bit planes: the colour planes are read as planes, the fourth is dropped.
  PcxFile rgba = rgb;
  rgba.planes = 4;
  rgba.height = 1;
  rgba.data = {10, 11, 0, 20, 21, 0, 30, 31, 0, 255, 0, 0};
  auto a = Load(rgba);
  ASSERT_EQ(a->PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(a->PixelColor(1, 0), RGBColor(11, 21, 31));

  // 1-bit planes: pixel bit k from plane k; two and three planes take the first 4 and
  // 8 header colours.
  PcxFile planar;
  planar.bits = 1;
  planar.planes = 4;
  planar.width = 3;
  planar.bytes_per_line = 1;
  planar.palette16 = Ramp48();
  planar.data = {0xA0, 0x60, 0x60, 0xE0};  // pixel 0: 1001, pixel 1: 1110, pixel 2: 1111
  auto p = Load(planar);
  ASSERT_EQ(p->PixelFormat(), TPixelFormat::pf4bit);
  EXPECT_EQ(p->ScanLine(0)[0], 0x9E);
  EXPECT_EQ(p->ScanLine(0)[1], 0xF0);
  planar.planes = 2;
  planar.data = {0xA0, 0x60};
  auto two = Load(planar);
  EXPECT_EQ(two->ScanLine(0)[0], 0x12);
  EXPECT_EQ(two->PixelColor(2, 0), RGBColor(19, 20, 21));

  // Compressed rows, a run may cross from one row into the next, and a count of 0
  // (0xC0) consumes its value byte without writing.
  PcxFile packed;
  packed.encoding = 1;
  packed.width = 3;
  packed.height = 2;
  packed.bytes_per_line = 3;
  packed.data = {0xC4, 7, 0xC0, 99, 8, 9};
  auto c = Load(packed);
  EXPECT_EQ(c->ScanLine(0)[2], 7);
  EXPECT_EQ(c->ScanLine(1)[0], 7);
  EXPECT_EQ(c->ScanLine(1)[1], 8);
  EXPECT_EQ(c->ScanLine(1)[2], 9);

  // The window's minimum sets the origin: a window from (5, 7) to (6, 7) is 2 x 1.
  PcxFile offset;
  offset.x_min = 5;
  offset.y_min = 7;
  offset.width = 2;
  offset.data = {1, 2};
  EXPECT_EQ(Load(offset)->Width(), 2);

  // The last 769 bytes of an 8-bit file without a closing palette are pixels.
  PcxFile big;
  big.width = 800;
  big.bytes_per_line = 800;
  big.data = Bytes(800, 3);
  big.data[799] = 77;
  big.palette_info = 2;
  EXPECT_EQ(Load(big)->PixelColor(799, 0), RGBColor(77, 77, 77));
}

TEST(PCXRead, RecognitionAndProperties) {
  PcxFile f;
  f.planes = 3;
  f.encoding = 1;
  f.width = 640;
  f.height = 480;
  f.bytes_per_line = 640;
  TPCXGraphic g;
  const auto recognizes = [&](const Bytes& b) {
    TMemoryStream s(b);
    const bool answer = g.RecognizesStream(s);
    EXPECT_EQ(s.Position(), 0u);
    return answer;
  };
  EXPECT_TRUE(recognizes(f.Build()));
  PcxFile screen = f;
  screen.manufacturer = 205;
  EXPECT_TRUE(recognizes(screen.Build()));
  PcxFile other = f;
  other.version = 1;
  EXPECT_FALSE(recognizes(other.Build()));
  other = f;
  other.encoding = 2;
  EXPECT_FALSE(recognizes(other.Build()));
  Bytes cut = f.Build();
  cut.resize(127);
  EXPECT_FALSE(recognizes(cut));

  TMemoryStream s(f.Build());
  ASSERT_TRUE(g.ReadProperties(s, 0));
  const TImageProperties& p = g.ImageProperties();
  EXPECT_EQ(p.Width, 640u);
  EXPECT_EQ(p.Height, 480u);
  EXPECT_EQ(p.BitsPerPixel, 24);
  EXPECT_EQ(p.ColorScheme, ColorScheme::schRGB);
  EXPECT_EQ(p.Compression, CompressionType::cmpRLE);
  EXPECT_EQ(p.XResolution, 300.0f);
  EXPECT_EQ(p.YResolution, 150.0f);

  // Through the format list for all three extensions, with progress.
  TempDir dir;
  PcxFile small;
  small.data = {42, 0};
  for (const char* name : {"a.pcx", "b.pcc", "c.scr"}) {
    test::WriteFileBytes(dir / name, small.Build());
    EXPECT_EQ(LoadPictureFile((dir / name).string()).Pixel(0, 0), RGBColor(42, 42, 42)) << name;
  }
  test::ProgressRecorder log;
  TPCXGraphic observed;
  observed.SetObserver(&log);
  TMemoryStream ps(small.Build());
  observed.LoadFromStream(ps);
  EXPECT_EQ(log.entries, (std::vector<std::string>{"0:0:Preparing...", "0:0:Transfering...",
                                                   "1:100:Transfering...", "2:100:Transfering..."}));
}

TEST(PCXRead, BadFilesFailCleanly) {
  const std::string invalid = "Cannot load image. Invalid or unexpected PCX or SCR image format.";
  const std::string layout = "Invalid color format in PCX file.";
  const std::string short_data = "Stream read error in PCX file.";
  PcxFile f;
  f.manufacturer = 11;
  f.data = {1, 2};
  EXPECT_EQ(LoadError(f.Build()), invalid);
  EXPECT_EQ(LoadError(Bytes(100, 10)), invalid);
  // Layouts without a bitmap format.
  for (auto [planes, bits] : {std::pair{2, 8}, {1, 16}, {3, 4}, {5, 1}, {0, 8}, {1, 0}}) {
    PcxFile odd;
    odd.planes = std::uint8_t(planes);
    odd.bits = std::uint8_t(bits);
    odd.data = Bytes(64, 0);
    EXPECT_EQ(LoadError(odd.Build()), layout) << planes << " x " << bits;
  }
  // Lines shorter than the row, and a window whose maximum lies below its minimum.
  PcxFile narrow;
  narrow.width = 9;
  narrow.bytes_per_line = 8;
  narrow.data = Bytes(16, 0);
  EXPECT_EQ(LoadError(narrow.Build()), invalid);
  Bytes upside = PcxFile{}.Build();
  upside[4] = 3;  // x min 3, x max 0
  EXPECT_EQ(LoadError(upside), invalid);
  // Missing data, stored or compressed, and a huge window over a few bytes.
  PcxFile stored;
  stored.width = 4;
  stored.height = 2;
  stored.bytes_per_line = 4;
  stored.data = Bytes(7, 1);
  EXPECT_EQ(LoadError(stored.Build()), short_data);
  PcxFile packed = stored;
  packed.encoding = 1;
  packed.data = {0xC7, 1};
  EXPECT_EQ(LoadError(packed.Build()), short_data);
  PcxFile huge = packed;
  huge.width = 30000;
  huge.height = 30000;
  huge.bytes_per_line = 30000;
  huge.data = Bytes(1000, 0xFF);
  EXPECT_EQ(LoadError(huge.Build()), short_data);

  for (const auto& file : test::CorpusFiles({".pcx"}))
    test::ExpectDamageFailsCleanly<TPCXGraphic>(test::ReadFileBytes(file), 128, 21);
}

}  // namespace
}  // namespace qel
