// The BMP reader on files built byte by byte for the cases the corpus lacks: bitfields,
// OS/2 headers, top-down rows, RLE escape codes, streams that lie and truncated files.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "import/framework/bitmap.h"
#include "support/test_support.h"

namespace qel {
namespace {

using Bytes = std::vector<std::uint8_t>;

void PutU16(Bytes& b, std::uint32_t v) {
  b.push_back(std::uint8_t(v));
  b.push_back(std::uint8_t(v >> 8));
}
void PutU32(Bytes& b, std::uint32_t v) {
  PutU16(b, v & 0xFFFF);
  PutU16(b, v >> 16);
}

struct BmpFixture {
  std::int32_t width = 0;
  std::int32_t height = 0;  // negative: rows stored top first
  std::uint16_t bits = 8;
  std::uint32_t compression = 0;
  std::uint32_t header_size = 40;    // 12 (OS/2 core), 40 or 108 (V4, masks inside)
  std::vector<std::uint32_t> masks;  // after a 40-byte header, or the V4 header's four
  std::vector<TColor> palette;
  Bytes pixels;  // as stored in the file
};

Bytes BuildBmp(const BmpFixture& f) {
  const std::uint32_t entry = f.header_size == 12 ? 3 : 4;
  const std::uint32_t masks_after = f.header_size == 40 ? std::uint32_t(f.masks.size()) * 4 : 0;
  const std::uint32_t offset = 14 + f.header_size + masks_after + std::uint32_t(f.palette.size()) * entry;
  Bytes b = {'B', 'M'};
  PutU32(b, offset + std::uint32_t(f.pixels.size()));
  PutU32(b, 0);
  PutU32(b, offset);
  PutU32(b, f.header_size);
  if (f.header_size == 12) {
    PutU16(b, std::uint32_t(f.width));
    PutU16(b, std::uint32_t(f.height));
    PutU16(b, 1);
    PutU16(b, f.bits);
  } else {
    PutU32(b, std::uint32_t(f.width));
    PutU32(b, std::uint32_t(f.height));
    PutU16(b, 1);
    PutU16(b, f.bits);
    PutU32(b, f.compression);
    PutU32(b, std::uint32_t(f.pixels.size()));
    PutU32(b, 2835);
    PutU32(b, 2835);
    PutU32(b, std::uint32_t(f.palette.size()));
    PutU32(b, 0);
    if (f.header_size == 108) {
      for (std::size_t i = 0; i < 4; ++i) PutU32(b, i < f.masks.size() ? f.masks[i] : 0);
      PutU32(b, 0x73524742);  // 'sRGB'
      b.resize(b.size() + 48, 0);
    } else if (f.header_size == 64) {
      b.resize(b.size() + 24, 0);  // the OS/2 2.x fields past the common ones
    } else {
      for (std::uint32_t m : f.masks) PutU32(b, m);
    }
  }
  for (TColor c : f.palette) {
    b.push_back(BlueOf(c));
    b.push_back(GreenOf(c));
    b.push_back(RedOf(c));
    if (entry == 4) b.push_back(0);
  }
  b.insert(b.end(), f.pixels.begin(), f.pixels.end());
  return b;
}

// Rows of pixel bytes, each padded to 4 bytes, in the order given.
Bytes Rows(const std::vector<Bytes>& rows) {
  Bytes b;
  for (const Bytes& r : rows) {
    b.insert(b.end(), r.begin(), r.end());
    b.resize(b.size() + (4 - r.size() % 4) % 4, 0);
  }
  return b;
}

Picture LoadBmp(const Bytes& bytes) {
  TMemoryStream stream{std::span<const std::uint8_t>(bytes)};
  return LoadPictureStream(stream, TBitmap::StaticClass());
}

const std::vector<TColor> kFourColors = {0x000000, 0x0000FF, 0x00FF00, 0xFF0000};  // black, red, green, blue

TEST(BmpReader, HeaderKindsAndPixelLayoutsAgreeWithPillow) {
  QEL_SKIP_WITHOUT("pillow");
  struct Case {
    const char* name;
    BmpFixture fixture;
  };
  std::vector<Case> cases;
  // 5-6-5 bitfields, a width whose rows need padding, values that test the widening.
  cases.push_back({"bitfields565",
                   {5,
                    2,
                    16,
                    3,
                    40,
                    {0xF800, 0x07E0, 0x001F},
                    {},
                    Rows({{0xFF, 0xFF, 0x00, 0x00, 0x1F, 0xF8, 0xE0, 0x07, 0x1F, 0x00},
                          {0x41, 0x08, 0x10, 0x84, 0xEF, 0x7B, 0x55, 0xAA, 0x01, 0x80}})}});
  cases.push_back({"rgb555",
                   {3,
                    2,
                    16,
                    0,
                    40,
                    {},
                    {},
                    Rows({{0xFF, 0x7F, 0x00, 0x7C, 0xE0, 0x03}, {0x1F, 0x00, 0x21, 0x04, 0x10, 0x42}})}});
  cases.push_back(
      {"os2core8", {3, 2, 8, 0, 12, {}, {0x102030, 0xA0B0C0, 0x00FF7F}, Rows({{0, 1, 2}, {2, 2, 1}})}});
  cases.push_back(
      {"os2core24", {2, 2, 24, 0, 12, {}, {}, Rows({{1, 2, 3, 4, 5, 6}, {200, 100, 50, 25, 12, 6}})}});
  cases.push_back(
      {"os2v2_4bit", {5, 2, 4, 0, 64, {}, kFourColors, Rows({{0x01, 0x23, 0x10}, {0x32, 0x10, 0x30}})}});
  cases.push_back({"topdown24",
                   {2,
                    -3,
                    24,
                    0,
                    40,
                    {},
                    {},
                    Rows({{255, 0, 0, 0, 255, 0}, {0, 0, 255, 9, 9, 9}, {1, 2, 3, 250, 251, 252}})}});
  cases.push_back(
      {"topdown4", {5, -2, 4, 0, 40, {}, kFourColors, Rows({{0x01, 0x23, 0x10}, {0x32, 0x10, 0x30}})}});
  cases.push_back(
      {"topdown1", {9, -2, 1, 0, 40, {}, {0xFFFFFF, 0x0000FF}, Rows({{0xA5, 0x80}, {0x0F, 0x00}})}});
  // V4 header with an alpha mask: translucent pixels are blended onto white.
  cases.push_back({"v4alpha",
                   {3,
                    2,
                    32,
                    3,
                    108,
                    {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
                    {},
                    Rows({{10, 20, 200, 0, 10, 20, 200, 128, 10, 20, 200, 255},
                          {255, 255, 0, 1, 0, 0, 0, 64, 90, 90, 90, 254}})}});

  test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = BuildBmp(c.fixture);
    const auto path = dir / (std::string(c.name) + ".bmp");
    test::WriteFileBytes(path, bytes);
    const std::optional<Picture> expected = test::PillowDecode(path);
    ASSERT_TRUE(expected.has_value());
    const Picture ours = LoadBmp(bytes);
    const test::PictureDifference diff = test::Compare(ours, *expected);
    EXPECT_TRUE(diff.same_size && diff.differing_pixels == 0) << diff.Describe();
  }
}

// A 4 x 3 picture; the stream's first row is the bottom one.
BmpFixture RleFixture(std::uint32_t compression, Bytes stream) {
  return {4, 3, std::uint16_t(compression == 1 ? 8 : 4), compression, 40, {}, kFourColors, std::move(stream)};
}

TEST(BmpReader, RleEscapeCodesPlacePixelsWhereTheyPoint) {
  QEL_SKIP_WITHOUT("gm");
  const TColor k = 0x000000, r = 0x0000FF, g = 0x00FF00, b = 0xFF0000;
  // RLE8: runs on the bottom row, a delta up a row, a run, end of line, an absolute
  // run (padded to a word), end of line and bitmap. Skipped pixels keep index 0.
  const Bytes rle8 = {2, 1, 1, 2, 0, 2, 0, 1, 1, 2, 0, 0, 0, 3, 3, 1, 2, 0, 0, 0, 0, 1};
  // RLE4: an encoded run alternating two indices, end of line, an odd absolute run,
  // end of line, a run, end of line and bitmap.
  const Bytes rle4 = {4, 0x12, 0, 0, 0, 3, 0x32, 0x10, 0, 0, 2, 0x33, 0, 0, 0, 1};
  struct Case {
    const char* name;
    BmpFixture fixture;
    std::vector<std::vector<TColor>> expected;  // top row first
  };
  const std::vector<Case> cases = {
      {"rle8", RleFixture(1, rle8), {{b, r, g, k}, {k, k, k, g}, {r, r, g, k}}},
      {"rle4", RleFixture(2, rle4), {{b, b, k, k}, {b, g, r, k}, {r, g, r, g}}},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = BuildBmp(c.fixture);
    const Picture ours = LoadBmp(bytes);
    const test::PictureDifference diff = test::Compare(ours, test::PictureFromColors(c.expected));
    EXPECT_TRUE(diff.same_size && diff.differing_pixels == 0) << diff.Describe();
    // GraphicsMagick reads the same escape codes the same way.
    const auto path = dir / (std::string(c.name) + ".bmp");
    test::WriteFileBytes(path, bytes);
    const std::optional<Picture> peer = test::PeerDecode("gm convert", path);
    ASSERT_TRUE(peer.has_value());
    EXPECT_EQ(test::Compare(ours, *peer).differing_pixels, 0u);
  }
}

TEST(BmpReader, RleStreamsThatLieStayInsideTheBitmap) {
  const TColor k = 0x000000, r = 0x0000FF;
  // Runs longer than the row are cut at its end; deltas past the top end the picture.
  const Picture long_run =
      LoadBmp(BuildBmp(RleFixture(1, {255, 1, 0, 0, 255, 1, 0, 0, 0, 2, 255, 255, 7, 1, 0, 1})));
  EXPECT_EQ(test::Compare(long_run, test::PictureFromColors({{k, k, k, k}, {r, r, r, r}, {r, r, r, r}}))
                .differing_pixels,
            0u);
  const Picture absolute_past_row =
      LoadBmp(BuildBmp(RleFixture(1, {0, 2, 2, 1, 0, 6, 1, 1, 1, 1, 1, 1, 0, 1})));
  EXPECT_EQ(
      test::Compare(absolute_past_row, test::PictureFromColors({{k, k, k, k}, {k, k, r, r}, {k, k, k, k}}))
          .differing_pixels,
      0u);

  // Streams that end before the picture does fail cleanly.
  const std::vector<std::pair<const char*, Bytes>> broken = {
      {"absolute run beyond the data", {0, 200, 1, 2, 3}},
      {"no end of bitmap, rows missing", {4, 1, 0, 0}},
      {"delta cut short", {0, 2, 1}},
      {"empty stream", {}},
  };
  for (const auto& [name, stream] : broken) {
    SCOPED_TRACE(name);
    try {
      LoadBmp(BuildBmp(RleFixture(1, stream)));
      ADD_FAILURE() << "loaded";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "Stream read error in BMP file.");
    }
  }
}

TEST(BmpReader, TruncatedAndImpossibleFilesFailCleanly) {
  const Bytes good = BuildBmp({4, 4, 24, 0, 40, {}, {}, Bytes(48, 0x80)});
  ASSERT_NO_THROW(LoadBmp(good));
  // The last row may lack its padding, but not its pixels.
  BmpFixture odd{3, 2, 24, 0, 40, {}, {}, Rows({{1, 2, 3, 4, 5, 6, 7, 8, 9}, {9, 8, 7, 6, 5, 4, 3, 2, 1}})};
  Bytes unpadded = BuildBmp(odd);
  unpadded.resize(unpadded.size() - 3);
  EXPECT_NO_THROW(LoadBmp(unpadded));

  auto header_with = [&](std::size_t at, std::uint32_t value) {
    Bytes b = good;
    for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
    return b;
  };
  BmpFixture os2{4, 4, 24, 4, 64, {}, {}, Bytes(48, 0x80)};
  const Bytes os2_rle24 = BuildBmp(os2);
  struct Case {
    const char* name;
    Bytes bytes;
    const char* message;  // nullptr: any message
  };
  const std::vector<Case> cases = {
      {"pixels cut short", Bytes(good.begin(), good.end() - 20), "Stream read error in BMP file."},
      {"header cut short", Bytes(good.begin(), good.begin() + 30), "Stream read error in BMP file."},
      {"30000 x 30000 pixels in a small file", header_with(22, 30000), "Stream read error in BMP file."},
      {"unknown header size", header_with(14, 10),
       "Cannot load image. Invalid or unexpected BMP image format."},
      {"zero width", header_with(18, 0), "Cannot load image. Invalid or unexpected BMP image format."},
      {"RLE8 with 24 bits", header_with(30, 1), "Cannot load image. Invalid or unexpected BMP image format."},
      {"RLE24 in an OS/2 header", os2_rle24,
       "Cannot load image. RLE24 compression not supported for BMP files."},
      {"beyond the picture limits", header_with(18, 1 << 25), nullptr},
      {"not a bitmap", Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      LoadBmp(c.bytes);
      ADD_FAILURE() << "loaded";
    } catch (const Error& e) {
      if (c.message) {
        EXPECT_STREQ(e.what(), c.message);
      }
    }
  }
}

TEST(BmpReader, EmbeddedPngAndAlphaBitfieldsFromEitherHeader) {
  // A BMP whose pixels are a PNG file shows that PNG (here the same picture as rgb24.bmp).
  const auto g = test::CorpusDir() / "bmp" / "g";
  const Picture embedded = LoadPictureFile((test::CorpusDir() / "bmp" / "q" / "rgb24png.bmp").string());
  EXPECT_EQ(test::Compare(embedded, LoadPictureFile((g / "rgb24.bmp").string())).differing_pixels, 0u);

  // The same pixels with the masks in a 56-byte header and after a 40-byte header
  // (compression 6); Pillow reads neither, so the two are held against each other.
  const auto dir = test::CorpusDir() / "bmp" / "q";
  const Picture v3 = LoadPictureFile((dir / "rgba32h56.bmp").string());
  const Picture abf = LoadPictureFile((dir / "rgba32abf.bmp").string());
  EXPECT_EQ(test::Compare(v3, abf).differing_pixels, 0u);
  EXPECT_TRUE(v3.Transparent());
  // Opaque pixels keep their colour; the translucent ones are lightened towards white.
  const Picture opaque = LoadPictureFile((g / "rgb32.bmp").string());
  EXPECT_NE(test::Compare(v3, opaque).differing_pixels, 0u);
}

}  // namespace
}  // namespace qel
