// The WebP writer: files that Pillow and dwebp read back, lossless exactly, with the
// transparent colour clear; qel-convert's --quality and --lossless.
#include <gtest/gtest.h>

#include "output/picture_writers.h"
#include "output/save_picture_file.h"
#include "unit/import/library_reader_helpers.h"
#include "unit/output/writer_helpers.h"

namespace qel {
namespace {

std::optional<Picture> DwebpDecode(const std::filesystem::path& file) {
  return test::PeerDecode("sh -c 'dwebp -quiet \"$0\" -ppm -o \"$1\"'", file);
}

TEST(WriterWebp, PeersReadBackWhatIsWritten) {
  QEL_SKIP_WITHOUT("pillow", "dwebp");
  test::TempDir dir;
  const Picture smooth = test::SmoothPicture(61, 47);
  Picture keyed = smooth;        // transparent: its colour is that of the bottom-left pixel
  Picture keyed_shown = smooth;  // what it shows over white
  for (int x = 0; x < 20; ++x) {
    keyed.SetPixel(x, 46, RGBColor(255, 0, 255));
    keyed_shown.SetPixel(x, 46, RGBColor(255, 255, 255));
  }
  keyed.SetTransparent(true);
  struct Case {
    const char* name;
    const Picture& picture;
    WriteOptions options;
    int max_difference;
  };
  for (const Case& c : std::vector<Case>{{"default", smooth, {}, 12},
                                         {"quality-50", smooth, {50, false}, 20},
                                         {"lossless", smooth, {90, true}, 0},
                                         {"keyed-lossless", keyed, {90, true}, 0}}) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path file = dir / (std::string(c.name) + ".webp");
    SavePictureFile(file.string(), c.picture, true, c.options);
    const bool transparent = c.picture.Transparent();
    // dwebp leaves alpha out; Pillow draws over white.
    for (const auto& decoded :
         {test::PillowDecode(file), transparent ? test::PillowDecode(file) : DwebpDecode(file)}) {
      ASSERT_TRUE(decoded);
      const auto difference = test::Compare(*decoded, transparent ? keyed_shown : c.picture);
      EXPECT_TRUE(difference.same_size);
      EXPECT_LE(difference.max_channel_difference, c.max_difference) << difference.Describe();
    }
    EXPECT_EQ(test::PillowAlpha(file, 3, 46), transparent ? 0 : 255);
    EXPECT_EQ(test::PillowAlpha(file, 30, 20), 255);
  }
  TMemoryStream stream;
  EXPECT_THROW(WriteWebp(NewPicture(16384, 1, kNoColor), stream), Error);  // beyond the format's sides
  EXPECT_THROW(WriteWebpWith(smooth, stream, {0, false}), Error);
  EXPECT_EQ(stream.Size(), 0u);
}

TEST(WriterWebp, QualityOfTheCommandLineChangesJpegAndWebpSizes) {
  QEL_SKIP_WITHOUT("dwebp");
  test::TempDir dir;
  SavePictureFile((dir / "noise.png").string(), test::NoisePicture(96, 64), true);
  const std::string convert = test::ShellQuote(test::ConvertTool().string()) + " " +
                              test::ShellQuote((dir / "noise.png").string()) + " ";
  const auto size_of = [&](const std::string& name, const std::string& options) {
    std::string log;
    EXPECT_EQ(
        test::RunCommand(convert + test::ShellQuote((dir / name).string()) + " --overwrite " + options, &log),
        0)
        << log;
    return std::filesystem::file_size(dir / name);
  };
  for (const char* ext : {".jpg", ".webp"}) {
    SCOPED_TRACE(ext);
    const auto low = size_of(std::string("low") + ext, "--quality 20");
    const auto standard = size_of(std::string("standard") + ext, "");
    const auto high = size_of(std::string("high") + ext, "--quality 100");
    EXPECT_LT(low, standard);
    EXPECT_LT(standard, high);
    EXPECT_EQ(standard, size_of(std::string("ninety") + ext, "--quality 90"));
  }
  // Lossless WebP holds every byte; a batch writes WebP too.
  size_of("lossless.webp", "--lossless");
  EXPECT_EQ(
      test::Compare(*DwebpDecode(dir / "lossless.webp"), test::NoisePicture(96, 64)).max_channel_difference,
      0);
  std::string log;
  EXPECT_EQ(test::RunCommand(test::ShellQuote(test::ConvertTool().string()) + " -o " +
                                 test::ShellQuote((dir / "out").string()) + " --to webp --lossless " +
                                 test::ShellQuote((dir / "noise.png").string()),
                             &log),
            0)
      << log;
  EXPECT_TRUE(std::filesystem::exists(dir / "out" / "noise.webp"));
  for (const char* bad : {"--quality 0", "--quality 101", "--quality x", "--quality"})
    EXPECT_NE(test::RunCommand(convert + test::ShellQuote((dir / "bad.webp").string()) + " " + bad, &log), 0)
        << bad;
  EXPECT_FALSE(std::filesystem::exists(dir / "bad.webp"));
}

}  // namespace
}  // namespace qel
