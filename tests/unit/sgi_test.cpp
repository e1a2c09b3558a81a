#include <gtest/gtest.h>

#include <string>

#include "import/sgi_reader.h"
#include "side_format_test_helpers.h"

namespace qel {
namespace {

using test::Bytes;
using test::TempDir;

void Put16(Bytes& b, std::size_t at, unsigned v) {
  b[at] = std::uint8_t(v >> 8);
  b[at + 1] = std::uint8_t(v);
}

Bytes Header(int storage, int bytes_per_channel, int width, int height, int channels, int dimension = 3) {
  Bytes b(512, 0);
  Put16(b, 0, 474);
  b[2] = std::uint8_t(storage);
  b[3] = std::uint8_t(bytes_per_channel);
  Put16(b, 4, unsigned(dimension));
  Put16(b, 6, unsigned(width));
  Put16(b, 8, unsigned(height));
  Put16(b, 10, unsigned(channels));
  return b;
}

// A stored file: the channel rows in file order (channel 0 rows bottom first, then
// channel 1, ...).
Bytes Verbatim(int bytes_per_channel, int width, int height, int channels, const Bytes& rows) {
  Bytes b = Header(0, bytes_per_channel, width, height, channels);
  b.resize(512 + rows.size());
  std::copy(rows.begin(), rows.end(), b.begin() + 512);
  return b;
}

// A compressed file from the packed row of each (row, channel), indexed row + channel
// x height; the tables are followed by the rows in that order.
Bytes Compressed(int bytes_per_channel, int width, int height, int channels,
                 const std::vector<Bytes>& packed) {
  Bytes b = Header(1, bytes_per_channel, width, height, channels);
  const std::size_t n = packed.size();
  std::size_t offset = 512 + 8 * n;
  b.resize(offset);
  for (std::size_t i = 0; i < n; ++i) {
    for (int k = 0; k < 4; ++k) {
      b[512 + 4 * i + std::size_t(k)] = std::uint8_t(offset >> (24 - 8 * k));
      b[512 + 4 * (n + i) + std::size_t(k)] = std::uint8_t(packed[i].size() >> (24 - 8 * k));
    }
    offset += packed[i].size();
  }
  for (const Bytes& row : packed) b.insert(b.end(), row.begin(), row.end());
  return b;
}

std::unique_ptr<TSGIGraphic> Load(const Bytes& b) {
  return test::LoadBytes<TSGIGraphic>(b);
}
std::string LoadError(const Bytes& b) {
  return test::ErrorText([&] { Load(b); });
}

TEST(SGIRead, AgreesWithPillowOnImageMagickAndNetpbmFiles) {
  TempDir dir;
  const std::string d = dir.Path().string() + "/";
  const std::string hopper = test::ShellQuote((test::CorpusDir() / "hopper.ppm").string());
  const std::string alpha = " -alpha set -channel A -fx 'i/w' ";
  test::Make("ppmtopgm " + hopper + " > " + d + "gray.pgm");
  // ImageMagick: 1, 3 and 4 channels of 8 and 16 bits, compressed and stored.
  test::Make("/usr/bin/convert " + hopper + " SGI:" + d + "m3.sgi");
  test::Make("/usr/bin/convert " + hopper + " -compress None SGI:" + d + "m3v.rgb");
  test::Make("/usr/bin/convert " + hopper + " -depth 16 SGI:" + d + "m3_16v.sgi");
  test::Make("/usr/bin/convert " + hopper + " -depth 16 -compress RLE SGI:" + d + "m3_16.sgi");
  test::Make("/usr/bin/convert " + d + "gray.pgm SGI:" + d + "m1.bw");
  test::Make("/usr/bin/convert " + d + "gray.pgm -depth 16 SGI:" + d + "m1_16.sgi");
  test::Make("/usr/bin/convert " + hopper + alpha + "SGI:" + d + "m4.rgba");
  test::Make("/usr/bin/convert " + hopper + alpha + "-depth 16 -compress None SGI:" + d + "m4_16v.sgi");
  // netpbm: compressed and stored, gray and colour, 16 bits compressed.
  test::Make("pnmtosgi -rle " + hopper + " > " + d + "n3.sgi");
  test::Make("pnmtosgi -verbatim " + hopper + " > " + d + "n3v.sgi");
  test::Make("pnmtosgi -rle " + d + "gray.pgm > " + d + "n1.sgi");
  test::Make("pnmtosgi -verbatim " + d + "gray.pgm > " + d + "n1v.sgi");
  test::Make("pnmdepth 65535 " + hopper + " | pnmtosgi -rle > " + d + "n3_16.sgi");

  for (const char* name : {"m3.sgi", "m3v.rgb", "m1.bw", "n3.sgi", "n3v.sgi", "n1.sgi", "n1v.sgi"}) {
    SCOPED_TRACE(name);
    test::ExpectMatchesPeer(dir / name, test::PillowDecode(dir / name));
  }
  // Four channels: the bitmap keeps alpha but does not draw it.
  test::ExpectMatchesPeer(dir / "m4.rgba", test::PillowDecode(dir / "m4.rgba", true));
  // 16 bits: the tool scales v to v x 255 / 65535 (rounded down), Pillow keeps the high
  // byte (v / 256): the two differ by at most one level.
  for (const char* name : {"m3_16v.sgi", "m3_16.sgi", "m1_16.sgi", "n3_16.sgi", "m4_16v.sgi"}) {
    SCOPED_TRACE(name);
    test::ExpectMatchesPeer(dir / name, test::PillowDecode(dir / name, true), 1);
  }
}

TEST(SGIRead, CorpusFilesAgreeWithPillow) {
  const auto files = test::CorpusFiles({".sgi", ".rgb", ".rgba", ".bw"});
  ASSERT_GE(files.size(), 6u);
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    // Alpha ignored (transparent.sgi has four channels); 16-bit files within one level
    // for the reason above.
    const bool wide = file.filename().string().find("16") != std::string::npos;
    test::ExpectMatchesPeer(file, test::PillowDecode(file, true), wide ? 1 : 0);
  }
}

TEST(SGIRead, GrayRowsBottomFirstThroughAGrayPalette) {
  auto g = Load(Verbatim(1, 2, 2, 1, {10, 20, 30, 40}));
  ASSERT_EQ(g->PixelFormat(), TPixelFormat::pf8bit);
  ASSERT_EQ(g->PaletteRef().size(), 256u);
  EXPECT_EQ(g->PaletteRef()[200], (PaletteEntry{200, 200, 200, 0}));
  EXPECT_EQ(g->ScanLine(0)[0], 30);  // the file's second row is the top one
  EXPECT_EQ(g->ScanLine(1)[1], 20);

  // 16-bit samples are big-endian and scale down by 255 / 65535, rounded down.
  auto wide = Load(Verbatim(2, 4, 1, 1, {0xFF, 0x00, 0xFF, 0xFF, 0x01, 0x01, 0x80, 0x00}));
  ASSERT_EQ(wide->PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(wide->ScanLine(0)[0], 254);
  EXPECT_EQ(wide->ScanLine(0)[1], 255);
  EXPECT_EQ(wide->ScanLine(0)[2], 1);
  EXPECT_EQ(wide->ScanLine(0)[3], 127);

  // Gray with alpha: the gray channel is shown, alpha is not.
  auto gray_alpha = Load(Verbatim(1, 2, 1, 2, {60, 70, 0, 255}));
  ASSERT_EQ(gray_alpha->PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(gray_alpha->PixelColor(0, 0), RGBColor(60, 60, 60));
  EXPECT_EQ(gray_alpha->PixelColor(1, 0), RGBColor(70, 70, 70));
  auto gray_alpha16 =
      Load(Compressed(2, 1, 1, 2, {{0x00, 0x81, 0xFF, 0xFF, 0, 0}, {0x00, 0x81, 0, 0, 0, 0}}));
  EXPECT_EQ(gray_alpha16->PixelColor(0, 0), RGBColor(255, 255, 255));
}

TEST(SGIRead, ColourChannelsAndCompressedRows) {
  // Three stored channels, planar: red rows, then green, then blue.
  auto rgb = Load(Verbatim(1, 2, 1, 3, {1, 2, 3, 4, 5, 6}));
  ASSERT_EQ(rgb->PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(rgb->PixelColor(0, 0), RGBColor(1, 3, 5));
  EXPECT_EQ(rgb->PixelColor(1, 0), RGBColor(2, 4, 6));

  // Four channels: a 32-bit bitmap that keeps alpha in its fourth byte and draws as if
  // it were opaque.
  auto rgba = Load(Verbatim(1, 1, 1, 4, {10, 20, 30, 0}));
  ASSERT_EQ(rgba->PixelFormat(), TPixelFormat::pf32bit);
  EXPECT_FALSE(rgba->AlphaBlended());
  EXPECT_EQ(rgba->ScanLine(0)[3], 0);
  EXPECT_EQ(CopyToPicture(*rgba, true).Pixel(0, 0), RGBColor(10, 20, 30));

  // Compressed 8-bit: a literal of 2 and a fill of 2; rows may share their bytes.
  const Bytes row = {0x82, 7, 8, 0x02, 9, 0};
  auto shared = Load(Compressed(1, 4, 2, 1, {row, row}));
  EXPECT_EQ(shared->PixelColor(3, 0), RGBColor(9, 9, 9));
  EXPECT_EQ(shared->PixelColor(1, 1), RGBColor(8, 8, 8));
  // Compressed 16-bit: a literal run of 3 samples, then a fill run of 2.
  auto wide =
      Load(Compressed(2, 5, 1, 1, {{0x00, 0x83, 0x10, 0, 0x20, 0, 0x30, 0, 0x00, 0x02, 0xFF, 0xFF, 0, 0}}));
  EXPECT_EQ(wide->ScanLine(0)[0], 0x0F);
  EXPECT_EQ(wide->ScanLine(0)[2], 0x2F);
  EXPECT_EQ(wide->ScanLine(0)[3], 255);
  EXPECT_EQ(wide->ScanLine(0)[4], 255);
  // A row that ends before its width leaves black; one that runs past it is cut.
  auto short_row = Load(Compressed(1, 3, 1, 1, {{0x01, 5, 0}}));
  EXPECT_EQ(short_row->ScanLine(0)[1], 0);
  auto long_row = Load(Compressed(1, 2, 1, 1, {{0x7F, 5, 0}}));
  EXPECT_EQ(long_row->ScanLine(0)[1], 5);
}

TEST(SGIRead, RecognitionAndProperties) {
  TSGIGraphic g;
  const auto recognizes = [&](Bytes b) {
    b.push_back(0);
    TMemoryStream s(b);
    const bool answer = g.RecognizesStream(s);
    EXPECT_EQ(s.Position(), 0u);
    return answer;
  };
  EXPECT_TRUE(recognizes(Header(1, 1, 1, 1, 3)));
  EXPECT_TRUE(recognizes(Header(0, 2, 1, 1, 1, 1)));
  EXPECT_FALSE(recognizes(Header(0, 3, 1, 1, 1)));
  EXPECT_FALSE(recognizes(Header(0, 1, 1, 1, 1, 4)));
  EXPECT_FALSE(recognizes(Header(0, 1, 1, 1, 1, 0)));
  TMemoryStream just_header(Header(0, 1, 1, 1, 1));
  EXPECT_FALSE(g.RecognizesStream(just_header));

  TMemoryStream s(Header(1, 2, 300, 200, 4));
  ASSERT_TRUE(g.ReadProperties(s, 0));
  const TImageProperties& p = g.ImageProperties();
  EXPECT_EQ(p.Width, 300u);
  EXPECT_EQ(p.Height, 200u);
  EXPECT_EQ(p.ColorScheme, ColorScheme::schRGBA);
  EXPECT_EQ(p.BitsPerSample, 16);
  EXPECT_EQ(p.BitsPerPixel, 64);
  EXPECT_EQ(p.Compression, CompressionType::cmpRLE);
  EXPECT_TRUE(p.Flags & ImageFlags::kSwapped);

  // Progress: preparing, then a step for each row.
  test::ProgressRecorder log;
  TSGIGraphic observed;
  observed.SetObserver(&log);
  TMemoryStream ps(Verbatim(1, 1, 2, 1, {1, 2}));
  observed.LoadFromStream(ps);
  EXPECT_EQ(log.entries,
            (std::vector<std::string>{"0:0:Preparing...", "0:0:Transfering...", "1:50:Transfering...",
                                      "1:100:Transfering...", "2:100:Transfering..."}));
}

TEST(SGIRead, BadFilesFailCleanly) {
  const std::string invalid = "Cannot load image. Invalid or unexpected sgi, bw or rgb(a) image format.";
  const std::string short_data = "Stream read error in sgi, bw or rgb(a) file.";
  Bytes wrong = Verbatim(1, 1, 1, 1, {0});
  wrong[1] = 0xDB;
  EXPECT_EQ(LoadError(wrong), invalid);
  EXPECT_EQ(LoadError(Bytes(100, 0)), invalid);
  EXPECT_EQ(LoadError(Verbatim(3, 1, 1, 1, {0, 0, 0})), invalid);
  EXPECT_EQ(LoadError(Verbatim(1, 1, 1, 5, {0, 0, 0, 0, 0})),
            "Invalid color format in sgi, bw or rgb(a) file.");
  EXPECT_EQ(LoadError(Verbatim(1, 1, 1, 0, {0})), "Invalid color format in sgi, bw or rgb(a) file.");
  // Stored rows missing, and a huge image over a few bytes: nothing is allocated.
  EXPECT_EQ(LoadError(Verbatim(1, 2, 2, 3, Bytes(11, 0))), short_data);
  EXPECT_EQ(LoadError(Verbatim(2, 30000, 30000, 1, Bytes(100, 0))), short_data);
  // Tables cut short, and an entry that points past the end of the file.
  Bytes cut = Compressed(1, 2, 2, 1, {{0x82, 1, 2, 0}, {0x82, 3, 4, 0}});
  cut.resize(512 + 12);
  EXPECT_EQ(LoadError(cut), short_data);
  Bytes beyond = Compressed(1, 2, 2, 1, {{0x82, 1, 2, 0}, {0x82, 3, 4, 0}});
  beyond[512 + 8 + 3] = 0x50;  // the length of the first row
  EXPECT_EQ(LoadError(beyond), invalid);
  Bytes far = Compressed(1, 2, 2, 1, {{0x82, 1, 2, 0}, {0x82, 3, 4, 0}});
  far[512 + 4] = 0x7F;  // the start of the second row
  EXPECT_EQ(LoadError(far), invalid);

  for (const auto& file : test::CorpusFiles({".sgi", ".rgb"})) {
    Bytes good = test::ReadFileBytes(file);
    if (good.size() > 200000) continue;
    test::ExpectDamageFailsCleanly<TSGIGraphic>(good, 512 + 64, 31);
  }
}

}  // namespace
}  // namespace qel
