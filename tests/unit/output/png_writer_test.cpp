// The PNG encoder: chunk layout, transparency, IDAT sizes, and peer decodes.
#include <gtest/gtest.h>

#include "output/picture_writers.h"
#include "output/save_picture_file.h"
#include "unit/output/writer_helpers.h"

namespace qel {
namespace {

struct Chunk {
  std::string type;
  std::vector<std::uint8_t> data;
};

// The chunks of the PNG the encoder makes of the picture; consecutive IDAT chunks are
// listed one by one.
std::vector<Chunk> EncodeToChunks(const Picture& picture) {
  TMemoryStream stream;
  WritePng(picture, stream);
  const std::vector<std::uint8_t> b = stream.TakeBytes();
  const std::vector<std::uint8_t> signature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  EXPECT_TRUE(b.size() >= 8 && std::equal(signature.begin(), signature.end(), b.begin()));
  std::vector<Chunk> chunks;
  for (std::size_t at = 8; at + 12 <= b.size();) {
    const std::size_t length =
        std::size_t(b[at]) << 24 | std::size_t(b[at + 1]) << 16 | b[at + 2] << 8 | b[at + 3];
    if (at + 12 + length > b.size()) break;
    chunks.push_back(
        {std::string(b.begin() + long(at) + 4, b.begin() + long(at) + 8),
         std::vector<std::uint8_t>(b.begin() + long(at) + 8, b.begin() + long(at + 8 + length))});
    at += 12 + length;
  }
  return chunks;
}

std::string Layout(const std::vector<Chunk>& chunks) {
  std::string types;
  for (const auto& c : chunks) {
    if (!(c.type == "IDAT" && types.ends_with("IDAT "))) types += c.type + " ";
  }
  return types;
}

TEST(WriterPng, ChunksAndTransparentColour) {
  Picture picture = test::NoisePicture(7, 5);
  std::vector<Chunk> chunks = EncodeToChunks(picture);
  EXPECT_EQ(Layout(chunks), "IHDR IDAT IEND ");
  // Width 7, height 5, 8 bits, truecolour, deflate, filter method 0, not interlaced.
  EXPECT_EQ(chunks[0].data, (std::vector<std::uint8_t>{0, 0, 0, 7, 0, 0, 0, 5, 8, 2, 0, 0, 0}));

  picture.SetPixel(0, 4, 0xFFFFFF);
  picture.SetTransparent(true);
  chunks = EncodeToChunks(picture);
  EXPECT_EQ(Layout(chunks), "IHDR tRNS IDAT IEND ");
  EXPECT_EQ(chunks[1].data, (std::vector<std::uint8_t>{0, 255, 0, 255, 0, 255}));
  // Red, green, blue in that order, whatever the picture's byte order.
  picture.SetPixel(0, 4, RGBColor(0x12, 0x34, 0x56));
  EXPECT_EQ(EncodeToChunks(picture)[1].data, (std::vector<std::uint8_t>{0, 0x12, 0, 0x34, 0, 0x56}));
}

TEST(WriterPng, LargePictureIsSplitIntoBoundedDataChunks) {
  const std::vector<Chunk> chunks = EncodeToChunks(test::NoisePicture(400, 300));
  EXPECT_EQ(Layout(chunks), "IHDR IDAT IEND ");
  std::size_t count = 0, largest = 0;
  for (const auto& c : chunks) {
    if (c.type != "IDAT") continue;
    ++count;
    largest = std::max(largest, c.data.size());
  }
  EXPECT_GT(count, 1u);
  EXPECT_EQ(largest, 65535u);
}

TEST(WriterPng, PeersDecodeTheExactPixels) {
  QEL_SKIP_WITHOUT("pillow", "convert");
  test::TempDir dir;
  Picture picture = test::NoisePicture(33, 17, 7);
  picture.SetPixel(0, 0, 0x0000FF);  // red
  const std::string path = SavePictureFile((dir / "noise.png").string(), picture, false);
  for (const auto& decoded : {test::PillowDecode(path), test::MagickDecode(path)}) {
    ASSERT_TRUE(decoded);
    EXPECT_EQ(test::Compare(*decoded, picture).differing_pixels, 0u);
    EXPECT_EQ(decoded->Pixel(0, 0), 0x0000FFu);
  }
  // Transparent: the pixels of the bottom-left colour, and only they.
  picture.SetPixel(0, 16, 0x00FF00);
  picture.SetPixel(5, 5, 0x00FF00);
  picture.SetTransparent(true);
  const std::string transparent = SavePictureFile((dir / "t.png").string(), picture, false);
  EXPECT_EQ(test::PillowAlpha(transparent, 5, 5), 0);
  EXPECT_EQ(test::PillowAlpha(transparent, 0, 16), 0);
  EXPECT_EQ(test::PillowAlpha(transparent, 1, 1), 255);
}

}  // namespace
}  // namespace qel
