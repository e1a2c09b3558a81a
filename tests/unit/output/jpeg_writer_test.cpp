// The JPEG encoder: markers, quality, channel order and peer decodes.
#include <gtest/gtest.h>

#include "output/picture_writers.h"
#include "output/save_picture_file.h"
#include "unit/output/writer_helpers.h"

namespace qel {
namespace {

Picture SmoothPicture(int width, int height) {
  Picture picture = NewPicture(width, height, kNoColor);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture.SetPixel(x, y, RGBColor(std::uint8_t(x * 255 / width), std::uint8_t(y * 255 / height), 128));
  return picture;
}

TEST(WriterJpeg, BaselineColourFileThatPeersDecodeAtQuality90) {
  QEL_SKIP_WITHOUT("pillow", "convert", "identify");
  test::TempDir dir;
  const Picture picture = SmoothPicture(64, 48);
  const std::string path = SavePictureFile((dir / "smooth.jpg").string(), picture, false);
  const std::vector<std::uint8_t> b = test::ReadFileBytes(path);
  // The markers up to the scan: JFIF first, a baseline frame of three components.
  std::vector<int> markers;
  int components = 0;
  for (std::size_t at = 2; at + 10 <= b.size() && b[at] == 0xFF && markers.size() < 20;) {
    markers.push_back(b[at + 1]);
    if (b[at + 1] == 0xC0) components = b[at + 9];
    if (b[at + 1] == 0xDA) break;
    at += 2 + (std::size_t(b[at + 2]) << 8 | b[at + 3]);
  }
  ASSERT_FALSE(markers.empty());
  EXPECT_EQ(markers.front(), 0xE0);
  EXPECT_EQ(markers.back(), 0xDA);
  EXPECT_EQ(std::count(markers.begin(), markers.end(), 0xC0), 1);
  EXPECT_EQ(std::count(markers.begin(), markers.end(), 0xC2), 0);  // not progressive
  EXPECT_EQ(components, 3);
  EXPECT_EQ(b[b.size() - 2], 0xFF);
  EXPECT_EQ(b[b.size() - 1], 0xD9);

  for (const auto& decoded : {test::PillowDecode(path), test::MagickDecode(path)}) {
    ASSERT_TRUE(decoded);
    const auto difference = test::Compare(*decoded, picture);
    EXPECT_TRUE(difference.same_size);
    EXPECT_LE(difference.max_channel_difference, 8) << difference.Describe();
  }
  std::string quality;
  ASSERT_EQ(test::RunCommand("/usr/bin/identify -format %Q " + test::ShellQuote(path), &quality), 0)
      << quality;
  EXPECT_EQ(quality, "90");
}

TEST(WriterJpeg, RedStaysRed) {
  QEL_SKIP_WITHOUT("pillow");
  test::TempDir dir;
  const std::string path = SavePictureFile((dir / "red.jpg").string(), NewPicture(16, 16, 0x0000FF), false);
  const auto decoded = test::PillowDecode(path);
  ASSERT_TRUE(decoded);
  const TColor c = decoded->Pixel(8, 8);
  EXPECT_GE(RedOf(c), 240);
  EXPECT_LE(GreenOf(c), 15);
  EXPECT_LE(BlueOf(c), 15);
}

}  // namespace
}  // namespace qel
