// JPEG files turned upright by their Exif orientation: every orientation against
// Pillow's transposed decode, through qel-convert as a user would convert them, and
// Exif blocks that are damaged or say nothing usable, which leave the picture as stored.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "imaging/picture_container.h"
#include "import/jpeg/exif_orientation.h"
#include "support/test_support.h"
#include "unit/import/reader_helpers.h"

namespace qel {
namespace {

using test::Bytes;

// Writes o1.jpg .. o8.jpg: one 48 x 30 picture with a different colour in each corner,
// stored with Exif orientation 1 to 8, and o1.ppm .. o8.ppm, Pillow's decode of each
// turned upright by ImageOps.exif_transpose.
bool MakeOrientedFixtures(const test::TempDir& dir) {
  const std::string script = R"PY(
import sys
from PIL import Image, ImageOps, ImageDraw
folder = sys.argv[1]
im = Image.new("RGB", (48, 30), (90, 120, 150))
d = ImageDraw.Draw(im)
d.rectangle((0, 0, 15, 9), fill=(230, 20, 20))
d.rectangle((32, 0, 47, 9), fill=(20, 210, 40))
d.rectangle((0, 20, 15, 29), fill=(30, 40, 220))
d.rectangle((40, 24, 47, 29), fill=(250, 250, 250))
for o in range(1, 9):
    exif = Image.Exif()
    exif[274] = o
    path = "%s/o%d.jpg" % (folder, o)
    im.save(path, quality=95, exif=exif)
    ImageOps.exif_transpose(Image.open(path)).convert("RGB").save("%s/o%d.ppm" % (folder, o))
)PY";
  test::WriteFileBytes(dir / "make.py", Bytes(script.begin(), script.end()));
  return test::RunCommand("/usr/bin/python3 " + test::ShellQuote((dir / "make.py").string()) + " " +
                          test::ShellQuote(dir.Path().string())) == 0;
}

// "o6.jpg" and the like.
std::string FixtureName(int orientation, const char* extension) {
  std::string name = "o";
  name += char('0' + orientation);
  name += extension;
  return name;
}

TEST(JpegOrientation, ConvertsUprightLikePillowForEveryOrientation) {
  test::TempDir dir;
  ASSERT_TRUE(MakeOrientedFixtures(dir));
  const std::string tool = test::ShellQuote(test::ConvertTool().string());
  for (int o = 1; o <= 8; ++o) {
    SCOPED_TRACE(FixtureName(o, ".jpg"));
    const auto jpg = dir / FixtureName(o, ".jpg");
    const auto bmp = dir / FixtureName(o, ".bmp");
    ASSERT_EQ(test::RunCommand(tool + " " + test::ShellQuote(jpg.string()) + " " + test::ShellQuote(bmp.string())),
              0);
    const Picture converted = LoadPictureFile(bmp.string());
    const std::optional<Picture> expected = test::ReadPPMFile(dir / FixtureName(o, ".ppm"));
    ASSERT_TRUE(expected);
    // Orientations 5 to 8 turn the 48 x 30 picture on its side.
    EXPECT_EQ(converted.Width(), o >= 5 ? 30 : 48);
    const test::PictureDifference diff = test::Compare(converted, *expected);
    EXPECT_TRUE(diff.same_size && diff.max_channel_difference <= 2) << diff.Describe();
  }
}

// An Exif block around one IFD0 entry: tag, type, count and the value field's four bytes.
Bytes ExifBlock(bool big_endian, std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint16_t value) {
  Bytes b = {'E', 'x', 'i', 'f', 0, 0};
  auto u16 = [&](std::uint32_t v) {
    if (big_endian) test::PutBE16(b, v);
    else test::PutLE16(b, v);
  };
  auto u32 = [&](std::uint32_t v) {
    u16(big_endian ? v >> 16 : v & 0xFFFF);
    u16(big_endian ? v & 0xFFFF : v >> 16);
  };
  b.push_back(big_endian ? 'M' : 'I');
  b.push_back(big_endian ? 'M' : 'I');
  u16(42);
  u32(8);
  u16(1);
  u16(tag);
  u16(type);
  u32(count);
  u16(value);
  u16(0);
  u32(0);
  return b;
}

TEST(JpegOrientation, ExifBlocksAreReadWithinTheirBounds) {
  const Bytes little = ExifBlock(false, 274, 3, 1, 6);
  Bytes truncated = little;
  truncated.resize(24);  // cut inside the entry
  Bytes far_directory = little;
  far_directory[10] = 0xF0;  // IFD0 offset past the end
  Bytes many_entries = ExifBlock(false, 275, 3, 1, 6);
  many_entries[14] = 0xFF;  // an entry count far beyond the block
  many_entries[15] = 0xFF;
  Bytes wrong_signature = little;
  wrong_signature[0] = 'e';
  const struct {
    const char* what;
    Bytes block;
    int orientation;
  } cases[] = {
      {"little-endian", little, 6},
      {"big-endian", ExifBlock(true, 274, 3, 1, 8), 8},
      {"another tag only", ExifBlock(false, 275, 3, 1, 6), 0},
      {"value outside 1..8", ExifBlock(false, 274, 3, 1, 9), 0},
      {"not a SHORT", ExifBlock(false, 274, 4, 1, 6), 0},
      {"two values", ExifBlock(false, 274, 3, 2, 6), 0},
      {"truncated entry", truncated, 0},
      {"directory past the end", far_directory, 0},
      {"entry count past the end", many_entries, 0},
      {"wrong signature", wrong_signature, 0},
      {"signature only", Bytes{'E', 'x', 'i', 'f', 0, 0}, 0},
      {"empty", Bytes{}, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ExifOrientation(c.block), c.orientation) << c.what;
}

TEST(JpegOrientation, ADamagedExifBlockLeavesThePictureAsStored) {
  test::TempDir dir;
  ASSERT_TRUE(MakeOrientedFixtures(dir));
  Bytes file = test::ReadFileBytes(dir / "o6.jpg");
  // The IFD0 offset (after "Exif\0\0" and the byte order and magic number) made to
  // point far past the segment, in either byte order.
  const std::string signature("Exif\0\0", 6);
  const auto at = std::search(file.begin(), file.end(), signature.begin(), signature.end());
  ASSERT_NE(at, file.end());
  *(at + 6 + 4) = 0x7F;
  *(at + 6 + 7) = 0x7F;
  test::WriteFileBytes(dir / "damaged.jpg", file);
  const Picture picture = LoadPictureFile((dir / "damaged.jpg").string());
  EXPECT_EQ(picture.Width(), 48);
  EXPECT_EQ(picture.Height(), 30);
}

}  // namespace
}  // namespace qel
