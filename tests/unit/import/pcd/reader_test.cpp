#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "import/pcd/reader.h"
#include "import/pcd/upsample.h"
#include "import/pcd/ycc.h"
#include "support/test_support.h"
#include "unit/import/reader_fixture_util.h"

namespace qel {
namespace {

using test::Bytes;
using test::TempDir;

constexpr const char* kConvert = "/usr/bin/convert";
constexpr std::size_t kRotationByte = 3586;

// The bitmap drawn on a picture (the graphic keeps its pixels).
Picture Drawn(const TPCDGraphic& g) {
  Picture picture = NewPicture(g.Width(), g.Height(), kNoColor);
  g.Draw(picture, 0, 0);
  return picture;
}

// ImageMagick's decode of a Photo-CD file without its colour conversion: the
// upsampled luma and chroma as they are, turned like the picture. Converted here as
// the reader converts.
Picture ConvertPeerPlanes(const Picture& ycc) {
  const PhotoYccConverter converter;
  Picture out = NewPicture(ycc.Width(), ycc.Height(), kNoColor);
  std::vector<std::uint8_t> y(std::size_t(ycc.Width())), c1(y.size()), c2(y.size());
  for (int row = 0; row < ycc.Height(); ++row) {
    const std::uint8_t* in = ycc.Row(row);  // blue, green, red = C2, C1, Y
    for (std::size_t x = 0; x < y.size(); ++x) {
      c2[x] = in[3 * x];
      c1[x] = in[3 * x + 1];
      y[x] = in[3 * x + 2];
    }
    converter.ConvertRow(y.data(), c1.data(), c2.data(), out.Row(row), y.size());
  }
  return out;
}

// An image pack whose three lowest resolutions are vertical patches of the given luma
// and chroma values.
Bytes PatchFile(const std::vector<std::array<std::uint8_t, 3>>& patches) {
  Bytes file(384 * 2048, 0);
  std::copy_n("PCD_IPI", 7, file.begin() + 2048);
  const std::pair<std::size_t, std::size_t> resolutions[] = {{4, 192}, {23, 384}, {96, 768}};
  for (const auto& [sector, width] : resolutions) {
    auto at = file.begin() + std::ptrdiff_t(sector * 2048);
    const std::size_t n = patches.size();
    for (std::size_t pair = 0; pair < width / 3; ++pair) {  // height / 2 pairs of rows
      for (int row = 0; row < 2; ++row)
        for (std::size_t x = 0; x < width; ++x) *at++ = patches[x * n / width][0];
      for (int c = 1; c <= 2; ++c)
        for (std::size_t x = 0; x < width / 2; ++x) *at++ = patches[x * n / (width / 2)][std::size_t(c)];
    }
  }
  return file;
}

class PcdPeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QEL_SKIP_WITHOUT("convert");
    // Colour everywhere, sharp edges for the chroma upsampling, a neutral strip.
    const auto png = dir_ / "in.png";
    ASSERT_EQ(test::RunCommand(
                  std::string(kConvert) +
                  " -size 768x512 gradient:'rgb(250,40,10)-rgb(20,60,240)' -fill 'rgb(30,200,60)'"
                  " -draw 'rectangle 101,51 300,200' -fill 'rgb(255,240,0)' -draw 'circle 500,300 560,360'"
                  " -fill gray50 -draw 'rectangle 0,480 767,511' -depth 8 " +
                  test::ShellQuote(png.string())),
              0);
    file_ = dir_ / "out.pcd";
    ASSERT_EQ(test::RunCommand(std::string(kConvert) + " " + test::ShellQuote(png.string()) +
                               " PCD:" + test::ShellQuote(file_.string())),
              0);
    bytes_ = test::ReadFileBytes(file_);
    ASSERT_GT(bytes_.size(), 96u * 2048 + 768 * 512 * 3 / 2);
  }
  std::optional<Picture> PeerDecode(const std::filesystem::path& file, bool raw) {
    // "-set colorspace sRGB" keeps ImageMagick from converting the YCC samples.
    const std::string prefix = std::string("sh -c '") + kConvert +
                               (raw ? " \"$0\" -set colorspace sRGB" : " \"$0\"") + " -depth 8 \"ppm:$1\"'";
    return test::PeerDecode(prefix, file);
  }
  TempDir dir_;
  std::filesystem::path file_;
  Bytes bytes_;
};

TEST_F(PcdPeerTest, BaseImageMatchesImageMagicksPlanesInEveryRotation) {
  for (std::uint8_t rotation = 0; rotation < 4; ++rotation) {
    Bytes turned = bytes_;
    turned[kRotationByte] = std::uint8_t((turned[kRotationByte] & ~3) | rotation);
    const auto file = dir_ / ("turned" + std::to_string(rotation) + ".pcd");
    test::WriteFileBytes(file, turned);
    auto g = test::LoadBytes<TPCDGraphic>(turned);
    const bool portrait = rotation == 1 || rotation == 3;
    EXPECT_EQ(g->Width(), portrait ? 512 : 768);
    EXPECT_EQ(g->Height(), portrait ? 768 : 512);
    const auto planes = PeerDecode(file, /*raw=*/true);
    ASSERT_TRUE(planes);
    // Same layout, same upsampling, same turn: nothing may differ.
    const auto d = test::Compare(Drawn(*g), ConvertPeerPlanes(*planes));
    EXPECT_TRUE(d.same_size && d.max_channel_difference == 0)
        << "rotation " << int(rotation) << ": " << d.Describe();
  }
}

TEST_F(PcdPeerTest, ColoursAgreeWithImageMagick) {
  // ImageMagick's file, and one built byte by byte with patches of strong colours
  // (far from the chroma centres, some beyond the range of a channel), both as
  // ImageMagick converts them.
  const Bytes built = PatchFile({{128, 156, 137},
                                 {250, 156, 137},
                                 {128, 220, 137},
                                 {128, 90, 137},
                                 {128, 156, 200},
                                 {128, 156, 70},
                                 {180, 110, 175},
                                 {30, 185, 105},
                                 {100, 60, 210},
                                 {220, 195, 95},
                                 {5, 250, 250},
                                 {250, 5, 5}});
  test::WriteFileBytes(dir_ / "patches.pcd", built);
  for (const auto& [file, bytes] : {std::pair{file_, bytes_}, std::pair{dir_ / "patches.pcd", built}}) {
    const auto theirs = PeerDecode(file, /*raw=*/false);
    ASSERT_TRUE(theirs);
    const auto d = test::Compare(Drawn(*test::LoadBytes<TPCDGraphic>(bytes)), *theirs);
    EXPECT_TRUE(d.same_size && d.max_channel_difference <= 2) << file.filename() << ": " << d.Describe();
  }
}

TEST(PcdUpsample, SpreadsAveragesAndRoundsUp) {
  // 2 x 2 samples at the top left of a 4 x 4 plane.
  Bytes plane = {10, 20, 0, 0, 30, 41, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  UpsampleChroma(plane, 4, 4);
  EXPECT_EQ(plane, (Bytes{10, 15, 20, 20,  //
                          20, 25, 31, 31,  // (10 + 30 + 1) / 2, (10 + 20 + 30 + 41 + 2) / 4, vertical means
                          30, 36, 41, 41,  // (30 + 41 + 1) / 2 = 36
                          30, 36, 41, 41}));
  // A uniform plane stays uniform; a step gives the mean rounded up between the samples.
  Bytes uniform(768 * 512, 0);
  for (std::size_t y = 0; y < 256; ++y)
    for (std::size_t x = 0; x < 384; ++x) uniform[y * 768 + x] = 77;
  UpsampleChroma(uniform, 768, 512);
  EXPECT_TRUE(std::all_of(uniform.begin(), uniform.end(), [](std::uint8_t v) { return v == 77; }));
  Bytes step(8 * 2, 0);
  const Bytes half = {100, 101, 101, 101};
  std::copy(half.begin(), half.end(), step.begin());
  UpsampleChroma(step, 8, 2);
  EXPECT_EQ(Bytes(step.begin(), step.begin() + 8), (Bytes{100, 101, 101, 101, 101, 101, 101, 101}));
}

TEST(PcdReader, PropertiesStreamTestAndDamagedFiles) {
  Bytes file(96 * 2048 + 768 * 512 * 3 / 2, 128);
  std::copy_n("PCD_IPI", 7, file.begin() + 2048);
  file[kRotationByte] = 1;
  TPCDGraphic g;
  TMemoryStream stream{std::span<const std::uint8_t>(file)};
  EXPECT_TRUE(g.RecognizesStream(stream));
  EXPECT_EQ(stream.Position(), 0u);
  for (int resolution = 0; resolution <= 6; ++resolution) {
    stream.SetPosition(0);
    ASSERT_TRUE(g.ReadProperties(stream, resolution));
    const int r = std::min(resolution, 5);
    EXPECT_EQ(g.ImageProperties().Width, 128u << r);  // portrait: width and height exchanged
    EXPECT_EQ(g.ImageProperties().Height, 192u << r);
    EXPECT_EQ(g.ImageProperties().Compression,
              r < 3 ? CompressionType::cmpNone : CompressionType::cmpPCDHuffman);
  }
  // Mid-gray everywhere: luma 128 with chroma at 128 is a colour, the same everywhere.
  auto flat = test::LoadBytes<TPCDGraphic>(file);
  ASSERT_EQ(flat->Width(), 512);
  const Picture drawn = Drawn(*flat);
  EXPECT_EQ(drawn.Pixel(0, 0), drawn.Pixel(511, 767));
  EXPECT_EQ(flat->ImageProperties().Rotation, 1);

  // Not a Photo-CD file, or too short for the header: the invalid-format message.
  EXPECT_EQ(test::LoadError<TPCDGraphic>(Bytes(file.begin() + 4096, file.end())),
            "Cannot load image. Invalid or unexpected PCD image format.");
  // Changed header bytes (signatures, rotation) load or fail cleanly.
  test::ExpectChangedCopiesHandled<TPCDGraphic>(file, 6144, 40);
  // Cut inside the header: not recognised; cut inside the image: a read error.
  test::ExpectCutCopiesFail<TPCDGraphic>(file, 0, 1500);
  for (std::size_t cut = 6144; cut < file.size(); cut += 99999) {
    EXPECT_EQ(test::LoadError<TPCDGraphic>(Bytes(file.begin(), file.begin() + std::ptrdiff_t(cut))),
              "Stream read error")
        << cut;
  }
}

}  // namespace
}  // namespace qel
