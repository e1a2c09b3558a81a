// The PNG encoder: chunk layout, transparency, IDAT sizes, and peer decodes.
#include <gtest/gtest.h>

#include "output/picture_writers.h"
#include "output/save_picture_file.h"
#include "support/test_support.h"
#include "writer_test_helpers.h"

namespace qel {
namespace {

using test::PngChunk;

std::vector<std::uint8_t> EncodePng(const Picture& picture) {
  TMemoryStream stream;
  WritePng(picture, stream);
  return stream.TakeBytes();
}

std::vector<std::string> ChunkTypes(const std::vector<PngChunk>& chunks) {
  std::vector<std::string> types;
  for (const auto& c : chunks) {
    if (types.empty() || types.back() != c.type || c.type != "IDAT") types.push_back(c.type);
  }
  return types;
}

TEST(WriterPng, OpaquePictureHasNoTransparencyChunk) {
  const auto chunks = test::ReadPngChunks(EncodePng(test::NoisePicture(7, 5)));
  ASSERT_TRUE(chunks);
  EXPECT_EQ(ChunkTypes(*chunks), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  // Width 7, height 5, 8 bits, truecolour, deflate, filter method 0, not interlaced.
  const std::vector<std::uint8_t> ihdr = {0, 0, 0, 7, 0, 0, 0, 5, 8, 2, 0, 0, 0};
  EXPECT_EQ((*chunks)[0].data, ihdr);
}

TEST(WriterPng, TransparentPictureCarriesItsBottomLeftColour) {
  Picture picture = test::NoisePicture(6, 4);
  picture.SetPixel(0, 3, 0xFFFFFF);
  picture.SetTransparent(true);
  auto chunks = test::ReadPngChunks(EncodePng(picture));
  ASSERT_TRUE(chunks);
  EXPECT_EQ(ChunkTypes(*chunks), (std::vector<std::string>{"IHDR", "tRNS", "IDAT", "IEND"}));
  EXPECT_EQ((*chunks)[1].data, (std::vector<std::uint8_t>{0, 255, 0, 255, 0, 255}));

  // Red 0x12, green 0x34, blue 0x56 in that order, whatever the picture's byte order.
  picture.SetPixel(0, 3, RGBColor(0x12, 0x34, 0x56));
  chunks = test::ReadPngChunks(EncodePng(picture));
  ASSERT_TRUE(chunks);
  EXPECT_EQ((*chunks)[1].data, (std::vector<std::uint8_t>{0, 0x12, 0, 0x34, 0, 0x56}));
}

TEST(WriterPng, LargePictureIsSplitIntoBoundedDataChunks) {
  const auto chunks = test::ReadPngChunks(EncodePng(test::NoisePicture(400, 300)));
  ASSERT_TRUE(chunks);
  EXPECT_EQ(ChunkTypes(*chunks), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  std::size_t idat = 0, largest = 0;
  for (const auto& c : *chunks) {
    if (c.type != "IDAT") continue;
    ++idat;
    largest = std::max(largest, c.data.size());
  }
  EXPECT_GT(idat, 1u);
  EXPECT_LE(largest, 65535u);
  EXPECT_GT(largest, 32768u);  // the limit is used, not a small default buffer
}

TEST(WriterPng, PeersDecodeTheExactPixels) {
  test::TempDir dir;
  Picture picture = test::NoisePicture(33, 17, 7);
  picture.SetPixel(0, 0, 0x0000FF);  // red
  const std::string path = SavePictureFile((dir / "noise.png").string(), picture, false);
  for (const std::string& peer : {std::string("pillow"), std::string("/usr/bin/convert")}) {
    const auto decoded = peer == "pillow" ? test::PillowDecode(path) : test::MagickDecode(path);
    ASSERT_TRUE(decoded) << peer;
    EXPECT_EQ(test::Compare(*decoded, picture).differing_pixels, 0u) << peer;
    EXPECT_EQ(decoded->Pixel(0, 0), 0x0000FFu) << peer;
  }
  // A transparent picture: the peer sees the pixels of the transparent colour as
  // transparent and keeps the others.
  picture.SetPixel(0, 16, 0x00FF00);
  picture.SetPixel(5, 5, 0x00FF00);
  picture.SetTransparent(true);
  const std::string transparent = SavePictureFile((dir / "t.png").string(), picture, false);
  std::string out;
  ASSERT_EQ(
      test::RunCommand("/usr/bin/python3 -c \"import sys; from PIL import Image; im = "
                       "Image.open(sys.argv[1]).convert('RGBA'); "
                       "print(im.getpixel((5, 5))[3], im.getpixel((0, 16))[3], im.getpixel((1, 1))[3])\" " +
                           test::ShellQuote(transparent),
                       &out),
      0)
      << out;
  EXPECT_EQ(out, "0 0 255\n");
}

TEST(WriterPng, StreamFailureArrivesAsTheStreamsError) {
  const Picture picture = test::NoisePicture(64, 64);
  for (std::size_t capacity : {0u, 8u, 40u, 5000u}) {
    test::FailingStream stream(capacity);
    try {
      WritePng(picture, stream);
      ADD_FAILURE() << "no error at " << capacity;
    } catch (const EWriteError& e) {
      EXPECT_STREQ(e.what(), "Stream write error: No space left on device");
    }
  }
  TMemoryStream stream;
  EXPECT_THROW(WritePng(Picture(), stream), Error);
}

}  // namespace
}  // namespace qel
