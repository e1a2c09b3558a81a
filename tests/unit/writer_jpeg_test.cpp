// The JPEG encoder: markers, quality, channel order and peer decodes.
#include <gtest/gtest.h>

#include "output/picture_writers.h"
#include "output/save_picture_file.h"
#include "support/test_support.h"
#include "writer_test_helpers.h"

namespace qel {
namespace {

std::vector<std::uint8_t> EncodeJpeg(const Picture& picture) {
  TMemoryStream stream;
  WriteJpeg(picture, stream);
  return stream.TakeBytes();
}

// The marker codes before the entropy-coded data, in file order.
std::vector<int> HeaderMarkers(const std::vector<std::uint8_t>& bytes) {
  std::vector<int> markers;
  std::size_t at = 2;
  while (at + 4 <= bytes.size() && bytes[at] == 0xFF) {
    const int marker = bytes[at + 1];
    markers.push_back(marker);
    if (marker == 0xDA) break;  // start of scan
    at += 2 + (std::size_t(bytes[at + 2]) << 8 | bytes[at + 3]);
  }
  return markers;
}

Picture SmoothPicture(int width, int height) {
  Picture picture = NewPicture(width, height, kNoColor);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture.SetPixel(x, y, RGBColor(std::uint8_t(x * 255 / width), std::uint8_t(y * 255 / height), 128));
  return picture;
}

TEST(WriterJpeg, BaselineColourFileWithJfifHeader) {
  const std::vector<std::uint8_t> bytes = EncodeJpeg(SmoothPicture(40, 30));
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xD8);
  EXPECT_EQ(bytes[bytes.size() - 2], 0xFF);
  EXPECT_EQ(bytes[bytes.size() - 1], 0xD9);
  const std::vector<int> markers = HeaderMarkers(bytes);
  ASSERT_FALSE(markers.empty());
  EXPECT_EQ(markers.front(), 0xE0);  // JFIF
  EXPECT_NE(std::find(markers.begin(), markers.end(), 0xC0), markers.end()) << "baseline frame";
  EXPECT_EQ(std::find(markers.begin(), markers.end(), 0xC2), markers.end()) << "progressive frame";
  EXPECT_EQ(markers.back(), 0xDA);
  // Three components: colour, not greyscale.
  const std::uint8_t start_of_frame[] = {0xFF, 0xC0};
  const auto sof =
      std::search(bytes.begin(), bytes.end(), std::begin(start_of_frame), std::end(start_of_frame));
  ASSERT_NE(sof, bytes.end());
  EXPECT_EQ(*(sof + 9), 3);
}

TEST(WriterJpeg, PeersDecodeWithinTheCodecsLossAndSeeQuality90) {
  test::TempDir dir;
  const Picture picture = SmoothPicture(64, 48);
  const std::string path = SavePictureFile((dir / "smooth.jpg").string(), picture, false);
  for (bool pillow : {true, false}) {
    const auto decoded = pillow ? test::PillowDecode(path) : test::MagickDecode(path);
    ASSERT_TRUE(decoded) << pillow;
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
  test::TempDir dir;
  const std::string path = SavePictureFile((dir / "red.jpg").string(), NewPicture(16, 16, 0x0000FF), false);
  const auto decoded = test::PillowDecode(path);
  ASSERT_TRUE(decoded);
  const TColor c = decoded->Pixel(8, 8);
  EXPECT_GE(RedOf(c), 240);
  EXPECT_LE(GreenOf(c), 15);
  EXPECT_LE(BlueOf(c), 15);
}

TEST(WriterJpeg, StreamFailureArrivesAsTheStreamsError) {
  const Picture picture = test::NoisePicture(300, 300);
  for (std::size_t capacity : {0u, 100u, 70000u}) {
    test::FailingStream stream(capacity);
    try {
      WriteJpeg(picture, stream);
      ADD_FAILURE() << "no error at " << capacity;
    } catch (const EWriteError& e) {
      EXPECT_STREQ(e.what(), "Stream write error: No space left on device");
    }
  }
  // The library's own refusal comes back as an error, not an exit.
  TMemoryStream stream;
  try {
    WriteJpeg(NewPicture(70000, 1, kNoColor), stream);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("JPEG error: "), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace qel
