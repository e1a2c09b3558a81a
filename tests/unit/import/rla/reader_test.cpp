#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "import/framework/messages.h"
#include "import/rla/reader.h"
#include "support/test_support.h"
#include "unit/import/reader_fixture_util.h"

namespace qel {
namespace {

using test::Bytes;
using test::ByteWriter;

struct RlaSpec {
  int width = 3;
  int bottom = -1, top = -1;  // bottom >= top: rows stored top first; -1: top first, as high as the rows
  int matte = 0;
  std::string gamma = "";
  std::string kind = "rgb";
  int bits = 8;
};

// Each channel of each row as RLA run-length data: one literal packet.
Bytes Literal(const Bytes& samples) {
  ByteWriter out;
  out.U8(unsigned(-int(samples.size())));
  return out.Append(samples).Get();
}

// A file whose rows are given as they are stored (first stored row first), each row a
// list of channels (red, green, blue, then matte) already compressed.
Bytes Rla(const RlaSpec& s, const std::vector<std::vector<Bytes>>& rows) {
  const int bottom = s.bottom < 0 ? int(rows.size()) - 1 : s.bottom;
  const int top = s.top < 0 ? 0 : s.top;
  ByteWriter w;
  w.U16BE(0).U16BE(unsigned(s.width - 1)).U16BE(0).U16BE(unsigned(rows.size() - 1));  // window
  w.U16BE(0).U16BE(unsigned(s.width - 1)).U16BE(unsigned(bottom)).U16BE(unsigned(top));
  w.U16BE(0).U16BE(0).U16BE(3).U16BE(unsigned(s.matte)).U16BE(0).U16BE(0xFFFE);
  w.Text(s.gamma, 16).Zeros(96).U32BE(0).Zeros(436).Text(s.kind, 32).U16BE(0).Zeros(44);
  w.U16BE(unsigned(s.bits)).U16BE(0).U16BE(unsigned(s.bits)).U16BE(0).U16BE(0).Zeros(68).U32BE(0);
  EXPECT_EQ(w.Size(), 740u);
  std::uint32_t offset = std::uint32_t(740 + 4 * rows.size());
  for (const auto& row : rows) {
    w.U32BE(offset);
    for (const Bytes& channel : row) offset += std::uint32_t(2 + channel.size());
  }
  for (const auto& row : rows) {
    for (const Bytes& channel : row) w.U16BE(unsigned(channel.size())).Append(channel);
  }
  return w.Get();
}

// Row y of the bitmap, as bytes.
Bytes Row(const TRLAGraphic& g, int y) {
  return Bytes(g.ScanLine(y), g.ScanLine(y) + PixelFormatBits(g.PixelFormat()) / 8 * g.Width());
}

TEST(RlaReader, RowsInBothOrdersWithRunsAndLiterals) {
  // Red: a run of three 9s (n = 2); green and blue literals.
  const std::vector<std::vector<Bytes>> rows = {{{2, 9}, Literal({1, 2, 3}), Literal({4, 5, 6})},
                                                {Literal({7, 8, 9}), {2, 0}, {2, 255}}};
  auto down = test::LoadBytes<TRLAGraphic>(Rla({}, rows));
  ASSERT_EQ(down->PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(Row(*down, 0), (Bytes{4, 1, 9, 5, 2, 9, 6, 3, 9}));
  EXPECT_EQ(Row(*down, 1), (Bytes{255, 0, 7, 255, 0, 8, 255, 0, 9}));
  EXPECT_FALSE(down->ImageProperties().BottomUp);
  // Bottom 0, top 1: the first stored row is the bottom one.
  RlaSpec up;
  up.bottom = 0;
  up.top = 1;
  auto upright = test::LoadBytes<TRLAGraphic>(Rla(up, rows));
  EXPECT_TRUE(upright->ImageProperties().BottomUp);
  EXPECT_EQ(Row(*upright, 1), (Bytes{4, 1, 9, 5, 2, 9, 6, 3, 9}));
  EXPECT_EQ(Row(*upright, 0), (Bytes{255, 0, 7, 255, 0, 8, 255, 0, 9}));
}

TEST(RlaReader, HundredRowsStoredBottomFirstAreShownUpright) {
  RlaSpec s;
  s.width = 1;
  s.bottom = 0;
  s.top = 99;
  std::vector<std::vector<Bytes>> rows;
  for (int i = 0; i < 100; ++i) rows.push_back({{0, std::uint8_t(i)}, {0, 0}, {0, 0}});
  auto g = test::LoadBytes<TRLAGraphic>(Rla(s, rows));
  ASSERT_EQ(g->Height(), 100);
  EXPECT_EQ(g->ScanLine(99)[2], 0);  // the first stored row at the bottom
  EXPECT_EQ(g->ScanLine(0)[2], 99);  // the last at the top
}

TEST(RlaReader, ColoursShowAsGraphicsMagickShowsThemWhateverTheGamma) {
  QEL_SKIP_WITHOUT("gm");
  // The gamma text names the gamma the pixels were made for: they show as stored, as
  // in GraphicsMagick (ImageMagick's reader gives no picture for these files). A
  // "2.2" used to lift mid-grey 128 to 221. Opaque mattes change nothing either.
  test::TempDir dir;
  const Bytes ramp = {0, 1, 64, 128, 200, 255};
  for (const char* gamma : {"2.2", "1.0", "0.4545", "1.7", "bright", ""}) {
    for (int matte : {0, 1}) {
      SCOPED_TRACE(std::string(gamma) + (matte ? " with matte" : ""));
      RlaSpec s;
      s.width = int(ramp.size());
      s.bottom = 0;  // stored bottom first, the way the peer expects
      s.top = 1;
      s.gamma = gamma;
      s.matte = matte;
      std::vector<Bytes> row = {Literal(ramp), Literal({9, 8, 7, 6, 5, 4}),
                                Literal({50, 60, 70, 80, 90, 99})};
      if (matte) row.push_back(Literal(Bytes(ramp.size(), 255)));
      const auto file = dir / "g.rla";
      test::WriteFileBytes(file, Rla(s, {row, row}));
      const auto theirs = test::PeerDecode("sh -c 'gm convert \"$0\" -depth 8 ppm:\"$1\"'", file);
      ASSERT_TRUE(theirs);
      const auto d = test::Compare(
          CopyToPicture(*test::LoadBytes<TRLAGraphic>(test::ReadFileBytes(file)), true), *theirs);
      EXPECT_TRUE(d.same_size && d.max_channel_difference == 0) << d.Describe();
    }
  }
}

TEST(RlaReader, MatteIsPremultipliedAlphaDrawnOverWhite) {
  // Renderers store their colours multiplied by the matte: 60 under a matte of 128
  // is a colour of 120 half covering the white, 187. GraphicsMagick takes the colours
  // as they are (157 over white), which darkens every soft edge of a rendering.
  RlaSpec s;
  s.width = 3;
  s.matte = 1;
  auto g = test::LoadBytes<TRLAGraphic>(
      Rla(s, {{Literal({60, 0, 7}), Literal({100, 0, 8}), Literal({128, 0, 9}), Literal({128, 0, 255})}}));
  ASSERT_EQ(g->PixelFormat(), TPixelFormat::pf32bit);
  EXPECT_EQ(g->ImageProperties().ColorScheme, ColorScheme::schRGBA);
  EXPECT_TRUE(g->Transparent());
  const Picture shown = CopyToPicture(*g, true);
  EXPECT_EQ(shown.Pixel(0, 0), RGBColor(187, 227, 255));
  EXPECT_EQ(shown.Pixel(1, 0), RGBColor(255, 255, 255));
  EXPECT_EQ(shown.Pixel(2, 0), RGBColor(7, 8, 9));
  // A matte that is 0 everywhere was left empty by its writer: the colours show.
  auto empty = test::LoadBytes<TRLAGraphic>(
      Rla(s, {{Literal({1, 2, 3}), Literal({1, 2, 3}), Literal({1, 2, 3}), {2, 0}}}));
  EXPECT_EQ(CopyToPicture(*empty, true).Pixel(2, 0), RGBColor(3, 3, 3));
}

TEST(RlaReader, UnknownKindsDeepChannelsAndDamagedFiles) {
  const std::vector<std::vector<Bytes>> rows = {{{2, 1}, {2, 2}, {2, 3}}, {{2, 4}, {2, 5}, {2, 6}}};
  // Not an image of this format: the invalid-format message.
  RlaSpec other;
  other.kind = "abc";
  const std::string invalid = "Cannot load image. Invalid or unexpected RLA image format.";
  EXPECT_EQ(test::LoadError<TRLAGraphic>(Rla(other, rows)), invalid);
  EXPECT_EQ(test::LoadError<TRLAGraphic>(Bytes(100, 0)), invalid);
  RlaSpec xyz;
  xyz.kind = "XYZ";
  EXPECT_EQ(test::LoadError<TRLAGraphic>(Rla(xyz, rows)), msg::kConversionImpossible);
  RlaSpec deep;
  deep.bits = 16;
  EXPECT_EQ(test::LoadError<TRLAGraphic>(Rla(deep, rows)), "Invalid color format in RLA file.");

  const Bytes good = Rla({}, rows);
  ASSERT_EQ(test::LoadError<TRLAGraphic>(good), "");
  // A row offset beyond the end; a channel length beyond the end.
  Bytes far = good;
  far[740] = 0x7F;
  EXPECT_NE(test::LoadError<TRLAGraphic>(far), "");
  Bytes long_channel = good;
  long_channel[748] = 0xFF;
  EXPECT_NE(test::LoadError<TRLAGraphic>(long_channel), "");
  test::ExpectChangedCopiesHandled<TRLAGraphic>(good, good.size());
  // Every cut copy fails.
  test::ExpectCutCopiesFail<TRLAGraphic>(good, 0, 37);
  for (std::size_t cut = 740; cut < good.size(); ++cut)
    EXPECT_NE(test::LoadError<TRLAGraphic>(Bytes(good.begin(), good.begin() + std::ptrdiff_t(cut))), "")
        << cut;
  // A window of 65536 x 65536 pixels with nothing behind it fails before allocating.
  Bytes huge = good;
  huge[8] = 0x80;
  huge[10] = 0x7F;
  huge[10 + 1] = 0xFF;
  huge[12] = 0x80;
  huge[14] = 0x7F;
  huge[15] = 0xFF;
  EXPECT_NE(test::LoadError<TRLAGraphic>(huge), "");
}

}  // namespace
}  // namespace qel
