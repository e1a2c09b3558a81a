#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "import/framework/messages.h"
#include "import/psd/reader.h"
#include "support/test_support.h"
#include "unit/import/reader_fixture_util.h"

namespace qel {
namespace {

using test::Bytes;
using test::ByteWriter;
using test::TempDir;

constexpr const char* kConvert = "/usr/bin/convert";

// A Photoshop file with the given planes (each rows x row-bytes bytes), stored, or
// PackBits-compressed as literal packets when packbits is set.
Bytes Psd(int mode, int channels, int width, int height, int depth, const std::vector<Bytes>& planes,
          bool packbits = false, const Bytes& color_data = {}) {
  ByteWriter w;
  w.Text("8BPS", 4).U16BE(1).Zeros(6).U16BE(unsigned(channels)).U32BE(std::uint32_t(height));
  w.U32BE(std::uint32_t(width)).U16BE(unsigned(depth)).U16BE(unsigned(mode));
  w.U32BE(std::uint32_t(color_data.size())).Append(color_data);
  w.U32BE(4).U32BE(0);  // image resources: four bytes nobody reads
  w.U32BE(0);           // no layers
  w.U16BE(packbits ? 1 : 0);
  const std::size_t row_bytes = planes.empty() ? 0 : planes[0].size() / std::size_t(height);
  if (!packbits) {
    for (const Bytes& plane : planes) w.Append(plane);
    return w.Get();
  }
  std::vector<Bytes> rows;
  for (const Bytes& plane : planes) {
    for (int y = 0; y < height; ++y) {
      Bytes row;
      for (std::size_t x = 0; x < row_bytes; x += 128) {
        const std::size_t n = std::min<std::size_t>(128, row_bytes - x);
        row.push_back(std::uint8_t(n - 1));
        row.insert(row.end(), plane.begin() + std::ptrdiff_t(y * row_bytes + x),
                   plane.begin() + std::ptrdiff_t(y * row_bytes + x + n));
      }
      rows.push_back(row);
    }
  }
  for (const Bytes& row : rows) w.U16BE(unsigned(row.size()));
  for (const Bytes& row : rows) w.Append(row);
  return w.Get();
}

// The colour pixel (x, y) is drawn with (the graphic keeps its pixels).
TColor Drawn(const TPSDGraphic& g, int x, int y) {
  Picture picture = NewPicture(g.Width(), g.Height(), kNoColor);
  g.Draw(picture, 0, 0);
  return picture.Pixel(x, y);
}

// ImageMagick's decode of the merged image of a Photoshop file, drawn over white.
std::optional<Picture> MagickOverWhite(const std::filesystem::path& file) {
  return test::PeerDecode("sh -c '/usr/bin/convert \"$0[0]\" -background white -flatten -depth 8 ppm:\"$1\"'",
                          file);
}

// ImageMagick writes the files, Pillow decodes them as the reference.
class PsdPeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QEL_SKIP_WITHOUT("convert");
    input_ = dir_ / "in.png";
    ASSERT_EQ(
        test::RunCommand(std::string(kConvert) +
                         " -size 37x23 gradient:red-blue -fill 'rgb(40,200,90)' -draw 'circle 15,10 20,15'"
                         " -depth 8 " +
                         test::ShellQuote(input_.string())),
        0);
  }
  std::filesystem::path Write(const std::string& options, const std::string& name) {
    const auto out = dir_ / name;
    EXPECT_EQ(test::RunCommand(std::string(kConvert) + " " + test::ShellQuote(input_.string()) + " " +
                               options + " PSD:" + test::ShellQuote(out.string())),
              0);
    return out;
  }
  TempDir dir_;
  std::filesystem::path input_;
};

TEST_F(PsdPeerTest, ImageMagickFilesMatchPillowInEveryModeDepthAndCompression) {
  QEL_SKIP_WITHOUT("pillow");
  struct Variant {
    const char* name;
    const char* options;
    int tolerance;
  };
  // CMYK: Pillow rounds K x C / 255 where the conversion truncates, hence 1.
  // The picture has few colours: without -type ImageMagick would store it indexed, and
  // its 16-bit indexed files are broken (16-bit indices under an 8-bit header).
  const Variant variants[] = {
      {"rgb", "-type TrueColor", 0},
      {"gray", "-colorspace Gray", 0},
      {"cmyk", "-colorspace CMYK", 1},
      // Colours no darker than the white under a half alpha (+level), as in the files
      // Photoshop writes: ImageMagick's decode of darker ones wraps around.
      {"rgba", "+level 50%,100% -alpha set -channel A -evaluate set 50% +channel -type TrueColorAlpha", 1}};
  for (const Variant& v : variants) {
    for (const char* compression : {"RLE", "None"}) {
      const std::string base = std::string(v.name) + "-" + compression;
      const auto file8 =
          Write(std::string(v.options) + " -depth 8 -compress " + compression, base + "-8.psd");
      const auto file16 =
          Write(std::string(v.options) + " -depth 16 -compress " + compression, base + "-16.psd");
      // Pillow reads no 16-bit files; ImageMagick stores each 8-bit value v as v x 257,
      // which scales back to v, so the 8-bit file's decode is the reference for both.
      // Transparency: as ImageMagick shows it (below).
      const auto reference =
          std::string(v.name) == "rgba" ? MagickOverWhite(file8) : test::PillowDecode(file8);
      ASSERT_TRUE(reference) << base;
      for (const auto& file : {file8, file16}) {
        const Picture ours = LoadPictureFileAs(file.string(), TPSDGraphic::StaticClass());
        const auto d = test::Compare(ours, *reference);
        EXPECT_TRUE(d.same_size && d.max_channel_difference <= v.tolerance)
            << file.filename() << ": " << d.Describe();
      }
    }
  }
}

TEST_F(PsdPeerTest, TransparencyShowsOverWhiteAsImageMagickShowsIt) {
  // The merged image holds its colours drawn over white already, and shows them as
  // they are: ImageMagick takes the white out and draws over white again, which gives
  // them back. Pillow takes them as plain colours under the alpha and lightens them a
  // second time. (Colours darker than the white under their alpha cannot come from
  // such a file; this reader clamps them, ImageMagick's decode wraps around, so the
  // files here have none: +level.)
  for (const auto& [alpha, level] :
       {std::pair{"50%", "50%"}, std::pair{"80%", "20%"}, std::pair{"3%", "97%"}}) {
    const auto file = Write(std::string("+level ") + level + ",100% -alpha set -channel A -evaluate set " +
                                alpha + " +channel -depth 8",
                            "alpha.psd");
    auto g = test::LoadBytes<TPSDGraphic>(test::ReadFileBytes(file));
    EXPECT_EQ(g->PixelFormat(), TPixelFormat::pf32bit);
    EXPECT_TRUE(g->Transparent());
    const auto d = test::Compare(CopyToPicture(*g, true), *MagickOverWhite(file));
    EXPECT_TRUE(d.same_size && d.max_channel_difference <= 1) << alpha << ": " << d.Describe();
  }
}

TEST_F(PsdPeerTest, IndexedAndBitmapModeFiles) {
  QEL_SKIP_WITHOUT("pillow");
  for (const char* options : {"-type palette", "-colors 16 -type palette"}) {
    for (const char* compression : {"RLE", "None"}) {
      const auto file = Write(std::string(options) + " -depth 8 -compress " + compression, "indexed.psd");
      auto g = test::LoadBytes<TPSDGraphic>(test::ReadFileBytes(file));
      EXPECT_EQ(g->PixelFormat(), TPixelFormat::pf8bit);
      const auto d = test::Compare(CopyToPicture(*g, true), *test::PillowDecode(file));
      EXPECT_TRUE(d.same_size && d.max_channel_difference == 0)
          << options << compression << ": " << d.Describe();
    }
  }
  // Bitmap mode stores 1 for black. Pillow reads the bits the other way round, so the
  // reference is ImageMagick's own two-level picture that the file was made from.
  const auto bilevel = dir_ / "bilevel.png";
  ASSERT_EQ(test::RunCommand(std::string(kConvert) + " " + test::ShellQuote(input_.string()) +
                             " -depth 1 -type bilevel " + test::ShellQuote(bilevel.string())),
            0);
  for (const char* compression : {"RLE", "None"}) {
    const auto file = Write(std::string("-depth 1 -type bilevel -compress ") + compression, "bitmap.psd");
    auto g = test::LoadBytes<TPSDGraphic>(test::ReadFileBytes(file));
    ASSERT_EQ(g->PixelFormat(), TPixelFormat::pf1bit);
    EXPECT_EQ(g->PaletteRef().front(), (PaletteEntry{255, 255, 255, 0}));  // white first
    EXPECT_TRUE(g->ImageProperties().Flags & ImageFlags::kMinIsWhite);
    const auto d = test::Compare(CopyToPicture(*g, true), *test::PillowDecode(bilevel));
    EXPECT_TRUE(d.same_size && d.max_channel_difference == 0) << compression << ": " << d.Describe();
  }
}

TEST(PsdCorpus, PeerFilesMatchPillowOrFailCleanly) {
  QEL_SKIP_WITHOUT("pillow");
  const auto files = test::CorpusFiles({".psd"});
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    const auto reference = test::PillowDecode(file);
    if (file.filename() == "combined_larger_than_size.psd") {
      // Its layer section claims more bytes than the file has: Pillow refuses it too.
      EXPECT_FALSE(reference);
      EXPECT_EQ(test::LoadError<TPSDGraphic>(test::ReadFileBytes(file)),
                "Cannot load image. Invalid or unexpected PSD or PDD image format.");
      continue;
    }
    ASSERT_TRUE(reference) << file;
    const auto d = test::Compare(LoadPictureFileAs(file.string(), TPSDGraphic::StaticClass()), *reference);
    EXPECT_TRUE(d.same_size && d.max_channel_difference == 0) << file.filename() << ": " << d.Describe();
  }
}

TEST(PsdReader, ChannelsBeyondTheFourthAreIgnoredAndInkIsInverted) {
  // Five channels of RGB: the first four planes make an RGBA bitmap.
  const std::vector<Bytes> five = {{10, 11}, {20, 21}, {30, 31}, {255, 255}, {99, 99}};
  for (bool packbits : {false, true}) {
    auto g = test::LoadBytes<TPSDGraphic>(Psd(3, 5, 2, 1, 8, five, packbits));
    ASSERT_EQ(g->PixelFormat(), TPixelFormat::pf32bit);
    EXPECT_EQ(Bytes(g->ScanLine(0), g->ScanLine(0) + 8), (Bytes{30, 20, 10, 255, 31, 21, 11, 255}));
    EXPECT_EQ(g->ImageProperties().SamplesPerPixel, 4);
    EXPECT_EQ(g->ImageProperties().ChannelCount, 5);
  }
  // CMYK bytes of 255 carry no ink: white. Bytes of 0 are full ink: black.
  const std::vector<Bytes> cmyk = {{255, 0}, {255, 0}, {255, 0}, {255, 0}};
  auto c = test::LoadBytes<TPSDGraphic>(Psd(4, 4, 2, 1, 8, cmyk));
  EXPECT_EQ(Drawn(*c, 0, 0), RGBColor(255, 255, 255));
  EXPECT_EQ(Drawn(*c, 1, 0), RGBColor(0, 0, 0));
}

TEST(PsdReader, SixteenBitGrayDuotoneMultichannelAndLab) {
  // 16-bit big-endian gray: 0x8000 -> 127, 0xFFFF -> 255.
  auto g = test::LoadBytes<TPSDGraphic>(Psd(1, 1, 2, 1, 16, {{0x80, 0x00, 0xFF, 0xFF}}));
  EXPECT_EQ(g->PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(Drawn(*g, 0, 0), RGBColor(127, 127, 127));
  EXPECT_EQ(Drawn(*g, 1, 0), RGBColor(255, 255, 255));
  // Duotone is read as its gray channel; its colour-mode data (the inks) is skipped.
  auto d = test::LoadBytes<TPSDGraphic>(Psd(8, 1, 1, 1, 8, {{77}}, false, Bytes(10, 0xAB)));
  EXPECT_EQ(Drawn(*d, 0, 0), RGBColor(77, 77, 77));
  // Multichannel: three channels as RGB, a single one as gray.
  auto m3 = test::LoadBytes<TPSDGraphic>(Psd(7, 3, 1, 1, 8, {{1}, {2}, {3}}));
  EXPECT_EQ(Drawn(*m3, 0, 0), RGBColor(1, 2, 3));
  auto m1 = test::LoadBytes<TPSDGraphic>(Psd(7, 1, 1, 1, 8, {{90}}));
  EXPECT_EQ(Drawn(*m1, 0, 0), RGBColor(90, 90, 90));
  // L*a*b*: L = 255 is white, L = 0 black, a and b at 128 are neutral.
  auto lab = test::LoadBytes<TPSDGraphic>(Psd(9, 3, 2, 1, 8, {{255, 0}, {128, 128}, {128, 128}}));
  EXPECT_EQ(Drawn(*lab, 0, 0), RGBColor(255, 255, 255));
  EXPECT_EQ(Drawn(*lab, 1, 0), RGBColor(0, 0, 0));
}

TEST(PsdReader, RefusedLayoutsAndDamagedFiles) {
  const std::string invalid = "Cannot load image. Invalid or unexpected PSD or PDD image format.";
  const std::string colour = "Invalid color format in PSD or PDD file.";
  Bytes good = Psd(3, 3, 3, 2, 8, {Bytes(6, 1), Bytes(6, 2), Bytes(6, 3)}, true);
  EXPECT_EQ(test::LoadError<TPSDGraphic>(good), "");

  Bytes wrong = good;
  wrong[0] = '9';
  EXPECT_EQ(test::LoadError<TPSDGraphic>(wrong), invalid);
  Bytes large_document = good;
  large_document[5] = 2;
  EXPECT_EQ(test::LoadError<TPSDGraphic>(large_document), invalid);
  // Modes and depths that do not go together.
  EXPECT_EQ(test::LoadError<TPSDGraphic>(Psd(3, 3, 1, 1, 32, {Bytes(4), Bytes(4), Bytes(4)})), colour);
  EXPECT_EQ(test::LoadError<TPSDGraphic>(Psd(0, 1, 1, 1, 8, {{1}})), colour);
  EXPECT_EQ(test::LoadError<TPSDGraphic>(Psd(4, 3, 1, 1, 8, {{1}, {2}, {3}})), colour);
  EXPECT_EQ(test::LoadError<TPSDGraphic>(Psd(5, 1, 1, 1, 8, {{1}})), colour);
  Bytes zip = Psd(1, 1, 1, 1, 8, {{1}});
  zip[zip.size() - 2] = 2;  // compression word
  EXPECT_EQ(test::LoadError<TPSDGraphic>(zip),
            "Cannot load image. The compression scheme is ZIP not supported "
            "for PSD or PDD files.");
  // A compressed row too short to make its pixels; a row table that lies about the
  // data behind it.
  Bytes short_row = good;
  short_row[26 + 4 + 4 + 8 + 4 + 2 + 1] = 1;  // first row: 1 byte
  EXPECT_EQ(test::LoadError<TPSDGraphic>(short_row), invalid);
  Bytes long_row = good;
  long_row[26 + 4 + 4 + 8 + 4 + 2] = 0x7F;
  EXPECT_NE(test::LoadError<TPSDGraphic>(long_row), "");
  // A huge picture with no data behind it fails before its memory is taken.
  Bytes huge = Psd(3, 3, 30000, 30000, 8, {});
  EXPECT_NE(test::LoadError<TPSDGraphic>(huge), "");

  test::ExpectChangedCopiesHandled<TPSDGraphic>(good, good.size());
  test::ExpectCutCopiesFail<TPSDGraphic>(good, 0, 1);
  test::ExpectCutCopiesFail<TPSDGraphic>(Psd(1, 1, 300, 3, 16, {Bytes(1800, 7)}), 0, 37);
}

TEST(PsdReader, StreamTestIgnoresCaseLoadingDoesNot) {
  TPSDGraphic g;
  Bytes file = Psd(1, 1, 3, 2, 8, {Bytes(6, 0)});
  TMemoryStream stream{std::span<const std::uint8_t>(file)};
  stream.SetPosition(0);
  EXPECT_TRUE(g.RecognizesStream(stream));
  EXPECT_EQ(stream.Position(), 0u);
  Bytes lower = file;
  lower[1] = 'b';
  lower[3] = 's';
  TMemoryStream lower_stream{std::span<const std::uint8_t>(lower)};
  EXPECT_TRUE(g.RecognizesStream(lower_stream));
  // Loading compares the signature exactly.
  EXPECT_EQ(test::LoadError<TPSDGraphic>(lower),
            "Cannot load image. Invalid or unexpected PSD or PDD image format.");
  const Bytes header_only(file.begin(), file.begin() + 26);
  TMemoryStream short_stream{std::span<const std::uint8_t>(header_only)};
  EXPECT_FALSE(g.RecognizesStream(short_stream));
}

}  // namespace
}  // namespace qel
