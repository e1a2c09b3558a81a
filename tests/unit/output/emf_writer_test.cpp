// The enhanced metafile writer: the bytes it writes, the round trip through our own
// reader, and what peers make of the files.
#include <gtest/gtest.h>

#include "imaging/errors.h"
#include "imaging/graphic.h"
#include "imaging/stream.h"
#include "import/metafile/reader.h"
#include "output/emf_format.h"
#include "output/picture_writers.h"
#include "support/test_support.h"

namespace qel {
namespace {

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8) | (std::uint32_t(b[at + 2]) << 16) |
         (std::uint32_t(b[at + 3]) << 24);
}
std::int32_t I32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::int32_t(U32At(b, at));
}

std::vector<std::uint8_t> Emf(const Picture& picture) {
  TMemoryStream stream;
  WriteEmf(picture, stream);
  return stream.TakeBytes();
}

struct RecordInfo {
  std::uint32_t type;
  std::size_t offset;
  std::uint32_t size;
};

std::vector<RecordInfo> Records(const std::vector<std::uint8_t>& bytes) {
  std::vector<RecordInfo> records;
  for (std::size_t at = 0; at + 8 <= bytes.size();) {
    const std::uint32_t size = U32At(bytes, at + 4);
    records.push_back({U32At(bytes, at), at, size});
    if (size < 8) break;
    at += size;
  }
  return records;
}

Picture Reload(const std::vector<std::uint8_t>& bytes) {
  TMetafile metafile;
  TMemoryStream stream(bytes);
  metafile.LoadFromStream(stream);
  return CopyToPicture(metafile, true);
}

// A picture with a different colour in every pixel.
Picture Gradient(int width, int height) {
  Picture p = NewPicture(width, height, kNoColor);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) p.SetPixel(x, y, RGBColor(std::uint8_t(x * 7), std::uint8_t(y * 11), 90));
  return p;
}

TEST(EmfWriter, HeaderFieldsAndRecordOrder) {
  const std::vector<std::uint8_t> b = Emf(Gradient(10, 7));
  const auto records = Records(b);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].type, 1u);
  EXPECT_EQ(records[1].type, 81u);  // EMR_STRETCHDIBITS
  EXPECT_EQ(records[2].type, 14u);  // EMR_EOF
  EXPECT_EQ(records[2].offset + records[2].size, b.size());
  EXPECT_EQ(U32At(b, records[2].offset + 16), 20u);  // the EOF's own size at its end

  EXPECT_EQ(U32At(b, 4), 108u);
  // Bounds: the picture's rectangle.
  EXPECT_EQ(I32At(b, 8), 0);
  EXPECT_EQ(I32At(b, 12), 0);
  EXPECT_EQ(I32At(b, 16), 10);
  EXPECT_EQ(I32At(b, 20), 7);
  // Frame in hundredths of a millimetre: 10 x 50800 / 1920 and 7 x 38100 / 1440.
  EXPECT_EQ(I32At(b, 24), 0);
  EXPECT_EQ(I32At(b, 28), 0);
  EXPECT_EQ(I32At(b, 32), 264);
  EXPECT_EQ(I32At(b, 36), 185);
  EXPECT_EQ(U32At(b, 40), 0x464D4520u);  // " EMF"
  EXPECT_EQ(U32At(b, 44), 0x10000u);
  EXPECT_EQ(U32At(b, 48), b.size());
  EXPECT_EQ(U32At(b, 52), 3u);
  EXPECT_EQ(b[56] | (b[57] << 8), 1);
  // The reference device: pixels, millimetres, micrometres.
  EXPECT_EQ(I32At(b, 72), 1920);
  EXPECT_EQ(I32At(b, 76), 1440);
  EXPECT_EQ(I32At(b, 80), 508);
  EXPECT_EQ(I32At(b, 84), 381);
  EXPECT_EQ(I32At(b, 100), 508000);
  EXPECT_EQ(I32At(b, 104), 381000);

  // The bitmap record draws the 24-bit picture 1:1 at (0, 0) with SRCCOPY.
  const std::size_t r = records[1].offset;
  EXPECT_EQ(I32At(b, r + 24), 0);   // destination x
  EXPECT_EQ(I32At(b, r + 28), 0);   // destination y
  EXPECT_EQ(I32At(b, r + 40), 10);  // source width
  EXPECT_EQ(I32At(b, r + 44), 7);   // source height
  EXPECT_EQ(U32At(b, r + 68), 0x00CC0020u);
  EXPECT_EQ(I32At(b, r + 72), 10);  // destination width
  EXPECT_EQ(I32At(b, r + 76), 7);   // destination height
  const std::size_t bmi = r + U32At(b, r + 48);
  EXPECT_EQ(b[bmi + 14] | (b[bmi + 15] << 8), 24);
  EXPECT_EQ(U32At(b, r + 60), 32u * 7);  // rows of 30 bytes padded to 32
}

TEST(EmfWriter, FrameUsesIntegerArithmeticWithTheProductFirst) {
  EXPECT_EQ(EmfFrameOf(1, 1).right, 26);  // 50800 / 1920 = 26.46
  EXPECT_EQ(EmfFrameOf(1, 1).bottom, 26);
  EXPECT_EQ(EmfFrameOf(100, 80).right, 2645);
  EXPECT_EQ(EmfFrameOf(100, 80).bottom, 2116);
  EXPECT_EQ(EmfFrameOf(1920, 1440).right, 50800);
  EXPECT_EQ(EmfFrameOf(1920, 1440).bottom, 38100);
  // 30000 x 50800 does not fit 32 bits; the product is taken in 64.
  EXPECT_EQ(EmfFrameOf(30000, 30000).right, 793750);
  EXPECT_EQ(EmfFrameOf(30000, 30000).bottom, 793750);
}

TEST(EmfWriter, OpaquePictureLoadsBackTheSame) {
  for (auto [w, h] : {std::pair{1, 1}, {37, 23}, {640, 3}, {5, 300}}) {
    const Picture original = Gradient(w, h);
    const Picture back = Reload(Emf(original));
    const auto d = test::Compare(original, back);
    EXPECT_TRUE(d.same_size && d.differing_pixels == 0) << w << "x" << h << ": " << d.Describe();
    EXPECT_FALSE(back.Transparent());
  }
}

TEST(EmfWriter, TallPicturesAreSplitIntoBands) {
  // 3000 x 2000 x 3 bytes is more than one record's bitmap limit.
  const Picture original = Gradient(3000, 2000);
  const auto bytes = Emf(original);
  const auto records = Records(bytes);
  ASSERT_GT(records.size(), 3u);
  for (std::size_t i = 1; i + 1 < records.size(); ++i) EXPECT_EQ(records[i].type, 81u);
  const auto d = test::Compare(original, Reload(bytes));
  EXPECT_TRUE(d.same_size && d.differing_pixels == 0) << d.Describe();
}

TEST(EmfWriter, TransparentColourIsLeftUndrawn) {
  constexpr TColor G = 0x00FF00, R = 0x0000FF, B = 0xFF0000, K = 0x000000;
  Picture original = test::PictureFromColors({
      {R, R, G, B, B, G},
      {R, R, G, B, B, G},  // same runs as the row above: one band
      {G, G, G, G, G, G},  // nothing drawn
      {G, K, K, G, R, G},  // bottom-left is green: the transparent colour
  });
  original.SetTransparent(true);
  const auto bytes = Emf(original);
  const auto records = Records(bytes);
  // Header, two runs for the first band, two for the last row, EOF.
  ASSERT_EQ(records.size(), 6u);
  std::vector<std::array<std::int32_t, 4>> rects;
  for (std::size_t i = 1; i < 5; ++i) {
    const std::size_t r = records[i].offset;
    rects.push_back({I32At(bytes, r + 24), I32At(bytes, r + 28), I32At(bytes, r + 72), I32At(bytes, r + 76)});
  }
  const std::vector<std::array<std::int32_t, 4>> expected = {
      {0, 0, 2, 2}, {3, 0, 2, 2}, {1, 3, 2, 1}, {4, 3, 1, 1}};
  EXPECT_EQ(rects, expected);

  const Picture back = Reload(bytes);
  EXPECT_TRUE(back.Transparent());
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      const TColor c = original.Pixel(x, y);
      EXPECT_EQ(back.Pixel(x, y), c == G ? 0xFFFFFFu : c) << x << "," << y;
    }
  }
  EXPECT_EQ(back.TransparentColor(), 0xFFFFFFu);

  // All transparent: nothing but the header and EOF, and a white transparent picture.
  Picture empty = NewPicture(3, 2, G);
  empty.SetTransparent(true);
  const auto none = Emf(empty);
  EXPECT_EQ(Records(none).size(), 2u);
  const Picture blank = Reload(none);
  EXPECT_EQ(blank.Width(), 3);
  EXPECT_EQ(blank.Pixel(1, 1), 0xFFFFFFu);
  EXPECT_TRUE(blank.Transparent());
}

TEST(EmfWriter, PeersAcceptTheFile) {
  QEL_SKIP_WITHOUT("pillow");
  test::TempDir dir;
  const auto path = dir / "peer.emf";
  test::WriteFileBytes(path, Emf(Gradient(123, 45)));
  std::string out;
  ASSERT_EQ(test::RunCommand("/usr/bin/python3 -c \"from PIL import Image; im = Image.open('" +
                                 path.string() + "'); print(im.format, im.size[0], im.size[1])\"",
                             &out),
            0)
      << out;
  EXPECT_EQ(out, "WMF 123 45\n");
  // emf2svg (from the emf2svg package), when installed, converts it to an SVG of the
  // picture's size with the bitmap embedded.
  if (test::FileExists("/usr/bin/emf2svg-conv")) {
    const auto svg = dir / "peer.svg";
    ASSERT_EQ(test::RunCommand("/usr/bin/emf2svg-conv -i " + test::ShellQuote(path.string()) + " -o " +
                                   test::ShellQuote(svg.string()),
                               &out),
              0)
        << out;
    const auto text = test::ReadFileBytes(svg);
    const std::string content(text.begin(), text.end());
    EXPECT_NE(content.find("width=\"123.0000\" height=\"45.0000\""), std::string::npos)
        << content.substr(0, 300);
    EXPECT_NE(content.find("<image width=\"123.0000\" height=\"45.0000\" x=\"0.0000\" y=\"0.0000\""),
              std::string::npos);
  }
}

TEST(EmfWriter, ConvertToolRoundTrip) {
  QEL_SKIP_WITHOUT("pillow");
  test::TempDir dir;
  const Picture original = Gradient(64, 48);
  // EMF to BMP through qel-convert, the BMP read by Pillow.
  test::WriteFileBytes(dir / "y.emf", Emf(original));
  std::string log;
  const std::string tool = test::ShellQuote(test::ConvertTool().string());
  ASSERT_EQ(test::RunCommand(tool + " " + test::ShellQuote((dir / "y.emf").string()) + " " +
                                 test::ShellQuote((dir / "z.bmp").string()),
                             &log),
            0)
      << log;
  auto decoded = test::PillowDecode(dir / "z.bmp");
  ASSERT_TRUE(decoded);
  auto d = test::Compare(original, *decoded);
  EXPECT_TRUE(d.same_size && d.differing_pixels == 0) << d.Describe();

  // BMP to EMF and back: needs the BMP reader.
  {
    TFileStream bmp((dir / "x.bmp").string(), TFileStream::Mode::kCreate);
    WriteBmp(original, bmp);
    bmp.Commit();
  }
  const int status = test::RunCommand(tool + " " + test::ShellQuote((dir / "x.bmp").string()) + " " +
                                          test::ShellQuote((dir / "x.emf").string()),
                                      &log);
  if (status != 0 && log.find("not supported for BMP") != std::string::npos) {
    GTEST_SKIP() << "this build cannot read BMP files yet";
  }
  ASSERT_EQ(status, 0) << log;
  ASSERT_EQ(test::RunCommand(tool + " " + test::ShellQuote((dir / "x.emf").string()) + " " +
                                 test::ShellQuote((dir / "x2.bmp").string()),
                             &log),
            0)
      << log;
  decoded = test::PillowDecode(dir / "x2.bmp");
  ASSERT_TRUE(decoded);
  d = test::Compare(original, *decoded);
  EXPECT_TRUE(d.same_size && d.differing_pixels == 0) << d.Describe();
}

}  // namespace
}  // namespace qel
