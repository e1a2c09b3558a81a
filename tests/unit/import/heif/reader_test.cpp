// HEIC files of heif-enc decode as the source shows over white, deep ones brought to 8
// bits, and a file that asks for a rotation shows upright.
#include <cstring>

#include "unit/import/library_reader_helpers.h"

namespace qel {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Get32(const Bytes& b, std::size_t at) {
  return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 |
         b[at + 3];
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (24 - 8 * i));
}
void Grow(Bytes& b, std::size_t box, std::uint32_t by) {
  Put32(b, box, Get32(b, box) + by);
}

// The offset of the first box of that type among the boxes from..to; 0 when none.
std::size_t FindBox(const Bytes& b, std::size_t from, std::size_t to, const char* type) {
  for (std::size_t at = from; at + 8 <= to && Get32(b, at) >= 8; at += Get32(b, at))
    if (std::memcmp(&b[at + 4], type, 4) == 0) return at;
  return 0;
}

// Adds to a heif-enc file an "irot" property (anticlockwise quarter turns) of its primary
// picture: the property at the end of "ipco", its association in "ipma", the sizes of
// the boxes around them, and the offsets of "iloc" that point past them.
Bytes WithRotation(Bytes b, std::uint8_t quarter_turns) {
  const std::size_t meta = FindBox(b, 0, b.size(), "meta");
  const std::size_t meta_end = meta + Get32(b, meta);
  const std::size_t iprp = FindBox(b, meta + 12, meta_end, "iprp");
  const std::size_t ipco = FindBox(b, iprp + 8, iprp + Get32(b, iprp), "ipco");
  const std::size_t ipma = FindBox(b, iprp + 8, iprp + Get32(b, iprp), "ipma");
  const std::size_t iloc = FindBox(b, meta + 12, meta_end, "iloc");
  const std::size_t pitm = FindBox(b, meta + 12, meta_end, "pitm");
  EXPECT_TRUE(meta && iprp && ipco && ipma && iloc && pitm && ipma > ipco);
  EXPECT_TRUE(b[ipma + 8] == 0 && b[ipma + 11] == 0);  // 16-bit item ids, 1-byte associations
  EXPECT_TRUE(b[iloc + 8] == 1 && b[iloc + 12] == 0x44 && b[iloc + 13] == 0x40);  // 32-bit offsets
  const std::uint32_t primary = std::uint32_t(b[pitm + 12]) << 8 | b[pitm + 13];
  int properties = 0;
  for (std::size_t at = ipco + 8; at < ipco + Get32(b, ipco); at += Get32(b, at)) ++properties;
  // The association, after the primary item's others.
  std::size_t entry = ipma + 16;
  for (std::uint32_t n = Get32(b, ipma + 12); n > 0; --n) {
    const std::uint32_t item = std::uint32_t(b[entry]) << 8 | b[entry + 1];
    if (item == primary) break;
    entry += 3 + b[entry + 2];
  }
  const std::size_t end_of_associations = entry + 3 + b[entry + 2];
  ++b[entry + 2];
  b.insert(b.begin() + std::ptrdiff_t(end_of_associations), std::uint8_t(0x80 | (properties + 1)));
  Grow(b, ipma, 1);
  const Bytes irot = {0, 0, 0, 9, 'i', 'r', 'o', 't', quarter_turns};
  b.insert(b.begin() + std::ptrdiff_t(ipco + Get32(b, ipco)), irot.begin(), irot.end());
  Grow(b, ipco, 9);
  Grow(b, iprp, 10);
  Grow(b, meta, 10);
  // Items stored in the file (construction method 0) start 10 bytes later now.
  std::size_t item = iloc + 16;
  for (std::uint32_t n = std::uint32_t(b[iloc + 14]) << 8 | b[iloc + 15]; n > 0; --n) {
    const int method = b[item + 3] & 15;
    const std::uint32_t extents = std::uint32_t(b[item + 10]) << 8 | b[item + 11];
    if (method == 0) Grow(b, item + 6, 10);
    item += 12 + 8 * extents;
  }
  return b;
}

TEST(HEIFReader, FilesOfTheDebianEncoderShowTheirSource) {
  QEL_SKIP_WITHOUT("convert", "pillow", "heif-enc");
  test::CheckEncodedCases("heic", {
                                      {"lossy", "opaque", "heif-enc -q 90 IN -o OUT", 12},
                                      {"lossless", "opaque", "heif-enc -L -p chroma=444 IN -o OUT", 2},
                                      {"alpha", "alpha", "heif-enc -q 90 IN -o OUT", 12},
                                      {"ten-bit", "deep", "heif-enc -b 10 -q 90 IN -o OUT", 12},
                                  });
}

TEST(HEIFReader, AFileThatAsksForARotationShowsUpright) {
  QEL_SKIP_WITHOUT("heif-enc");
  RegisterStartupFormats();
  test::TempDir dir;
  // A wide picture with a blue band on its left.
  Picture wide = NewPicture(40, 20, RGBColor(250, 250, 250));
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 10; ++x) wide.SetPixel(x, y, RGBColor(0, 0, 255));
  SavePictureFile((dir / "wide.png").string(), wide, true);
  ASSERT_EQ(test::RunCommand("heif-enc -q 95 " + test::ShellQuote((dir / "wide.png").string()) + " -o " +
                             test::ShellQuote((dir / "wide.heic").string())),
            0);
  const Bytes plain = test::ReadFileBytes(dir / "wide.heic");
  // A quarter turn to the left puts the band at the bottom; three quarters, at the top.
  for (const auto& [turns, band_row] : std::vector<std::pair<std::uint8_t, int>>{{1, 35}, {3, 4}, {2, 10}}) {
    SCOPED_TRACE(int(turns));
    test::WriteFileBytes(dir / "turned.heic", WithRotation(plain, turns));
    const Picture shown = LoadPictureFile((dir / "turned.heic").string());
    const bool quarter = turns % 2 == 1;
    ASSERT_EQ(shown.Width(), quarter ? 20 : 40);
    ASSERT_EQ(shown.Height(), quarter ? 40 : 20);
    const TColor band = quarter ? shown.Pixel(10, band_row) : shown.Pixel(35, band_row);
    const TColor away = quarter ? shown.Pixel(10, 39 - band_row) : shown.Pixel(4, band_row);
    EXPECT_GT(BlueOf(band), 200);
    EXPECT_LT(RedOf(band), 60);
    EXPECT_GT(RedOf(away), 200);
  }
}

}  // namespace
}  // namespace qel
