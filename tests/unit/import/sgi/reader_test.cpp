#include <gtest/gtest.h>

#include "import/sgi/reader.h"
#include "unit/import/side_format_helpers.h"

namespace qel {
namespace {

using test::Bytes;
using test::Peer;

Bytes Header(int storage, int bytes_per_channel, int width, int height, int channels, int dimension = 3) {
  Bytes b(512, 0);
  const auto put = [&](std::size_t at, int v) { b[at] = std::uint8_t(v >> 8), b[at + 1] = std::uint8_t(v); };
  put(0, 474), put(4, dimension), put(6, width), put(8, height), put(10, channels);
  b[2] = std::uint8_t(storage), b[3] = std::uint8_t(bytes_per_channel);
  return b;
}

// Stored rows in file order: channel 0 rows bottom first, then channel 1, ...
Bytes Verbatim(int sample_bytes, int width, int height, int channels, const Bytes& rows) {
  Bytes b = Header(0, sample_bytes, width, height, channels);
  b.resize(512 + rows.size());
  std::copy(rows.begin(), rows.end(), b.begin() + 512);
  return b;
}

// Compressed rows, indexed row + channel x height, laid out after the two tables.
Bytes Compressed(int sample_bytes, int width, int height, int channels, const std::vector<Bytes>& rows) {
  Bytes b = Header(1, sample_bytes, width, height, channels);
  const std::size_t n = rows.size();
  std::size_t offset = 512 + 8 * n;
  b.resize(offset);
  for (std::size_t i = 0; i < n; offset += rows[i++].size()) {
    for (std::size_t k = 0; k < 4; ++k) {
      b[512 + 4 * i + k] = std::uint8_t(offset >> (24 - 8 * k));
      b[512 + 4 * (n + i) + k] = std::uint8_t(rows[i].size() >> (24 - 8 * k));
    }
  }
  b.resize(offset);
  offset = 512 + 8 * n;
  for (const Bytes& row : rows)
    std::copy(row.begin(), row.end(), b.begin() + std::ptrdiff_t(offset)), offset += row.size();
  return b;
}

std::unique_ptr<TSGIGraphic> Load(const Bytes& b) {
  return test::LoadBytes<TSGIGraphic>(b);
}

TEST(SGIRead, AgreesWithPillowOnPeerFilesAndTheCorpus) {
  QEL_SKIP_WITHOUT("convert", "pillow", "netpbm");
  test::TempDir dir;
  const std::string d = dir.Path().string() + "/";
  const std::string hopper = test::ShellQuote((test::CorpusDir() / "hopper.ppm").string());
  const std::string gray = "ppmtopgm " + hopper;
  const std::string magick = "/usr/bin/convert " + hopper;
  const std::string alpha = " -alpha set -channel A -fx i/w";
  // 16 bits: the tool scales v to v x 255 / 65535 rounded down, Pillow keeps v / 256:
  // the two differ by at most one level. A fourth channel is alpha, drawn over white.
  const struct {
    const char* name;
    std::string make;
    int tolerance;
  } cases[] = {
      {"m3.sgi", magick + " SGI:-", 0},
      {"m3v.rgb", magick + " -compress None SGI:-", 0},
      {"m3_16.sgi", magick + " -depth 16 -compress RLE SGI:-", 1},
      {"m3_16v.sgi", magick + " -depth 16 -compress None SGI:-", 1},
      {"m1.bw", gray + " | /usr/bin/convert - SGI:-", 0},
      {"m1_16.sgi", gray + " | /usr/bin/convert - -depth 16 SGI:-", 1},
      {"m4.rgba", magick + alpha + " SGI:-", 0},
      {"m4_16v.sgi", magick + alpha + " -depth 16 -compress None SGI:-", 1},
      {"n3.sgi", "pnmtosgi -rle " + hopper, 0},
      {"n3v.sgi", "pnmtosgi -verbatim " + hopper, 0},
      {"n1.sgi", gray + " | pnmtosgi -rle", 0},
      {"n1v.sgi", gray + " | pnmtosgi -verbatim", 0},
      {"n3_16.sgi", "pnmdepth 65535 " + hopper + " | pnmtosgi -rle", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::Make(c.make + " > " + d + c.name);
    test::ExpectMatchesPeer(dir / c.name, Peer::kPillow, c.tolerance);
  }
  const auto files = test::CorpusFiles({".sgi", ".rgb", ".rgba", ".bw"});
  ASSERT_GE(files.size(), 6u);
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    test::ExpectMatchesPeer(file, Peer::kPillow, file.string().find("16") != std::string::npos);
    const Bytes bytes = test::ReadFileBytes(file);
    if (bytes.size() < 200000) test::ExpectDamageFailsCleanly<TSGIGraphic>(bytes, 600);
  }
}

TEST(SGIRead, GrayAndColourChannels) {
  // One channel: an 8-bit bitmap with a 256-entry gray palette, rows bottom first.
  auto g = Load(Verbatim(1, 2, 2, 1, {10, 20, 30, 40}));
  ASSERT_EQ(g->PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(g->PaletteRef().size(), 256u);
  EXPECT_EQ(Bytes(g->ScanLine(0), g->ScanLine(0) + 2), (Bytes{30, 40}));
  // 16-bit samples are big-endian and scale by 255 / 65535, rounded down.
  auto wide = Load(Verbatim(2, 3, 1, 1, {0xFF, 0x00, 0xFF, 0xFF, 0x80, 0x00}));
  EXPECT_EQ(Bytes(wide->ScanLine(0), wide->ScanLine(0) + 3), (Bytes{254, 255, 127}));
  // Gray with alpha shows the gray channel.
  EXPECT_EQ(Load(Verbatim(1, 2, 1, 2, {60, 70, 0, 255}))->PixelColor(1, 0), RGBColor(70, 70, 70));
  // Three planar channels; four keep alpha in the fourth byte but draw as opaque.
  EXPECT_EQ(Load(Verbatim(1, 2, 1, 3, {1, 2, 3, 4, 5, 6}))->PixelColor(1, 0), RGBColor(2, 4, 6));
  auto rgba = Load(Verbatim(1, 1, 1, 4, {10, 20, 30, 0}));
  ASSERT_EQ(rgba->PixelFormat(), TPixelFormat::pf32bit);
  EXPECT_EQ(rgba->ScanLine(0)[3], 0);
  EXPECT_EQ(CopyToPicture(*rgba, true).Pixel(0, 0), RGBColor(10, 20, 30));
}

TEST(SGIRead, CompressedRows) {
  // A literal of 2 and a fill of 2; both rows share their bytes.
  const Bytes row = {0x82, 7, 8, 0x02, 9, 0};
  auto shared = Load(Compressed(1, 4, 2, 1, {row, row}));
  EXPECT_EQ(Bytes(shared->ScanLine(1), shared->ScanLine(1) + 4), (Bytes{7, 8, 9, 9}));
  // 16 bits: a literal of 3 samples, then a fill of 2.
  auto wide =
      Load(Compressed(2, 5, 1, 1, {{0x00, 0x83, 0x10, 0, 0x20, 0, 0x30, 0, 0x00, 0x02, 0xFF, 0xFF, 0, 0}}));
  EXPECT_EQ(Bytes(wide->ScanLine(0), wide->ScanLine(0) + 5), (Bytes{0x0F, 0x1F, 0x2F, 255, 255}));
  // A row that ends early leaves black; one that runs past the width is cut.
  EXPECT_EQ(Load(Compressed(1, 3, 1, 1, {{0x01, 5, 0}}))->ScanLine(0)[1], 0);
  EXPECT_EQ(Load(Compressed(1, 2, 1, 1, {{0x7F, 5, 0}}))->ScanLine(0)[1], 5);
}

TEST(SGIRead, RecognitionAndBadFiles) {
  TSGIGraphic g;
  for (auto [bytes, answer] : {std::pair{Header(1, 1, 1, 1, 3), true},
                               {Header(0, 2, 1, 1, 1, 1), true},
                               {Header(0, 3, 1, 1, 1), false},
                               {Header(0, 1, 1, 1, 1, 4), false}}) {
    bytes.push_back(0);
    TMemoryStream s(bytes);
    EXPECT_EQ(g.RecognizesStream(s), answer);
    EXPECT_EQ(s.Position(), 0u);
  }
  const std::string invalid = "Cannot load image. Invalid or unexpected sgi, bw or rgb(a) image format.";
  const std::string layout = "Invalid color format in sgi, bw or rgb(a) file.";
  const std::string short_data = "Stream read error in sgi, bw or rgb(a) file.";
  Bytes wrong = Verbatim(1, 1, 1, 1, {0});
  wrong[1] = 0xDB;
  EXPECT_EQ(test::LoadError<TSGIGraphic>(wrong), invalid);
  EXPECT_EQ(test::LoadError<TSGIGraphic>(Bytes(100, 0)), invalid);
  EXPECT_EQ(test::LoadError<TSGIGraphic>(Verbatim(3, 1, 1, 1, {0, 0, 0})), invalid);
  EXPECT_EQ(test::LoadError<TSGIGraphic>(Verbatim(1, 1, 1, 5, Bytes(5, 0))), layout);
  EXPECT_EQ(test::LoadError<TSGIGraphic>(Verbatim(1, 1, 1, 0, {0})), layout);
  // Missing stored rows, a huge size over a few bytes, tables cut short, and entries
  // that reach past the end of the file: all refused before the bitmap is made.
  EXPECT_EQ(test::LoadError<TSGIGraphic>(Verbatim(1, 2, 2, 3, Bytes(11, 0))), short_data);
  EXPECT_EQ(test::LoadError<TSGIGraphic>(Verbatim(2, 30000, 30000, 1, Bytes(100, 0))), short_data);
  const Bytes good = Compressed(1, 2, 2, 1, {{0x82, 1, 2, 0}, {0x82, 3, 4, 0}});
  EXPECT_EQ(test::LoadError<TSGIGraphic>(Bytes(good.begin(), good.begin() + 524)), short_data);
  Bytes beyond = good, far = good;
  beyond[512 + 11] = 0x50;  // the length of row 0
  far[512 + 4] = 0x7F;      // the start of row 1
  EXPECT_EQ(test::LoadError<TSGIGraphic>(beyond), invalid);
  EXPECT_EQ(test::LoadError<TSGIGraphic>(far), invalid);
}

}  // namespace
}  // namespace qel
