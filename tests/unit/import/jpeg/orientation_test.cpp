// JPEG files turned upright by their Exif orientation: every orientation converted by
// qel-convert against Pillow's transposed decode, and Exif blocks that are damaged or
// say nothing usable, which leave the picture as stored.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "imaging/picture_container.h"
#include "import/jpeg/exif_orientation.h"
#include "support/test_support.h"
#include "unit/import/reader_helpers.h"

namespace qel {
namespace {

using test::Bytes;

// o1.jpg .. o8.jpg: a 48 x 30 picture with a different colour in each corner, stored
// with Exif orientation 1 to 8; o1.ppm .. o8.ppm: Pillow's decode of each, upright.
constexpr const char* kMakeFixtures = R"PY(
import sys
from PIL import Image, ImageOps, ImageDraw
im = Image.new("RGB", (48, 30), (90, 120, 150))
d = ImageDraw.Draw(im)
for box, colour in [((0, 0, 15, 9), (230, 20, 20)), ((32, 0, 47, 9), (20, 210, 40)),
                    ((0, 20, 15, 29), (30, 40, 220)), ((40, 24, 47, 29), (250, 250, 250))]:
    d.rectangle(box, fill=colour)
for o in range(1, 9):
    exif = Image.Exif()
    exif[274] = o
    path = "%s/o%d.jpg" % (sys.argv[1], o)
    im.save(path, quality=95, exif=exif)
    ImageOps.exif_transpose(Image.open(path)).convert("RGB").save(path[:-3] + "ppm")
)PY";

TEST(JpegOrientation, ConvertsUprightLikePillowForEveryOrientation) {
  QEL_SKIP_WITHOUT("pillow");
  test::TempDir dir;
  test::WriteFileBytes(dir / "make.py", Bytes(kMakeFixtures, kMakeFixtures + std::strlen(kMakeFixtures)));
  ASSERT_EQ(test::RunCommand("/usr/bin/python3 " + test::ShellQuote((dir / "make.py").string()) + " " +
                             test::ShellQuote(dir.Path().string())),
            0);
  for (char o = '1'; o <= '8'; ++o) {
    const std::string stem = std::string("o") + o;
    SCOPED_TRACE(stem);
    const std::string bmp = (dir / (stem + ".bmp")).string();
    ASSERT_EQ(
        test::RunCommand(test::ShellQuote(test::ConvertTool().string()) + " " +
                         test::ShellQuote((dir / (stem + ".jpg")).string()) + " " + test::ShellQuote(bmp)),
        0);
    const std::optional<Picture> expected = test::ReadPPMFile(dir / (stem + ".ppm"));
    ASSERT_TRUE(expected);
    const Picture converted = LoadPictureFile(bmp);
    EXPECT_EQ(converted.Width(), o >= '5' ? 30 : 48);  // 5 to 8 turn it on its side
    const test::PictureDifference diff = test::Compare(converted, *expected);
    EXPECT_TRUE(diff.same_size && diff.max_channel_difference <= 2) << diff.Describe();
  }
}

// A little-endian Exif block of one IFD0 entry (tag, type, count, SHORT value) whose
// entry count and IFD0 offset can be made to lie.
Bytes ExifBlock(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint16_t value,
                std::uint16_t entries = 1, std::uint32_t directory = 8) {
  Bytes b = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0};
  const auto u32 = [&b](std::uint32_t v) { test::PutLE16(b, v & 0xFFFF), test::PutLE16(b, v >> 16); };
  u32(directory);
  test::PutLE16(b, entries);
  test::PutLE16(b, tag);
  test::PutLE16(b, type);
  u32(count);
  u32(value);  // the value sits in the field's first two bytes
  return b;
}

TEST(JpegOrientation, ExifBlocksAreReadWithinTheirBounds) {
  Bytes big_endian = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8,
                      0,   1,   1,   18,  0, 3, 0,   0,   0, 1,  0, 8, 0, 0};
  Bytes truncated = ExifBlock(274, 3, 1, 6);
  truncated.resize(24);
  const std::pair<Bytes, int> cases[] = {
      {ExifBlock(274, 3, 1, 6), 6},
      {big_endian, 8},
      {ExifBlock(275, 3, 1, 6), 0},  // another tag only
      {ExifBlock(274, 3, 1, 9), 0},  // outside 1..8
      {ExifBlock(274, 4, 1, 6), 0},  // not a SHORT
      {ExifBlock(274, 3, 2, 6), 0},  // two values
      {truncated, 0},
      {ExifBlock(274, 3, 1, 6, 1, 0x7F000000), 0},  // directory past the end
      {ExifBlock(275, 3, 1, 6, 0xFFFF), 0},         // entry count past the end
      {Bytes{'E', 'x', 'i', 'f'}, 0},
  };
  for (const auto& [block, orientation] : cases) EXPECT_EQ(ExifOrientation(block), orientation);
}

}  // namespace
}  // namespace qel
