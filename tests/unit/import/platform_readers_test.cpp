// PNG, JPEG and GIF: the cases the corpus lacks (built with ImageMagick, Pillow or byte
// by byte), transparency as the loader hands it on (icons' too), and broken files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "import/framework/bitmap.h"
#include "import/gif/giflib_reader.h"
#include "import/icon/reader.h"
#include "import/jpeg/reader.h"
#include "import/png/libpng_reader.h"
#include "support/test_support.h"
#include "unit/import/icon/ico_builder.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr TColor kWhite = 0xFFFFFF;

Picture LoadBytes(const Bytes& bytes, const GraphicClass& graphic_class,
                  ProgressObserver* observer = nullptr) {
  TMemoryStream stream{std::span<const std::uint8_t>(bytes)};
  return LoadPictureStream(stream, graphic_class, observer);
}

// The message of the error that loading raises ("" when it loads).
std::string LoadError(const Bytes& bytes, const GraphicClass& graphic_class) {
  try {
    LoadBytes(bytes, graphic_class);
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

Bytes Prefix(const Bytes& bytes, std::size_t count) {
  return Bytes(bytes.begin(), bytes.begin() + long(count));
}

// The loader's picture of a graphic with transparent parts: 24-bit, white where the
// graphic is transparent, marked transparent, its transparent colour (the bottom-left
// pixel's) white; qel-convert --info says so.
TEST(Transparency, TransparentBottomLeftPixelsBecomeTheWhiteTransparentColour) {
  test::TempDir dir;
  const fs::path ico = dir / "masked.ico";
  test::WriteFileBytes(ico, test::BuildIco({test::MaskedIcon()}));
  const std::vector<std::pair<fs::path, std::string>> cases = {
      {test::CorpusDir() / "pil123rgba.png", "162 x 150 TPNGObject transparent"},
      {test::CorpusDir() / "transparent.gif", "200 x 150 TGIFImage transparent"},
      {test::CorpusDir() / "rgb32bf-rgba.bmp", "127 x 64 TBitmap transparent"},
      {ico, "8 x 8 TIcon transparent"},
  };
  for (const auto& [path, info] : cases) {
    SCOPED_TRACE(path.filename().string());
    const Picture p = LoadPictureFile(path.string());
    EXPECT_TRUE(p.Transparent());
    EXPECT_EQ(p.Pixel(0, p.Height() - 1), kWhite);
    EXPECT_EQ(p.TransparentColor(), kWhite);
    std::string output;
    EXPECT_EQ(test::RunCommand(test::ShellQuote(test::ConvertTool().string()) + " --info " +
                                   test::ShellQuote(path.string()),
                               &output),
              0);
    EXPECT_EQ(output, info + "\n");
  }
  // Opaque pictures are not marked.
  for (const char* name :
       {"hopper.jpg", "hopper.bmp", "hopper.png", "hopper_resized.gif", "hopper_256x256.ico"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(LoadPictureFile((test::CorpusDir() / name).string()).Transparent());
  }
}

// Files made from a corpus picture with ImageMagick, each held against Pillow's decode.
struct PeerVariant {
  std::string name;
  std::string options;
  std::string output_prefix = "";  // ImageMagick's format prefix of the output, e.g. "PNG64:"
};

void ExpectPeerMadeFilesMatchPillow(const fs::path& source, const std::vector<PeerVariant>& variants) {
  test::TempDir dir;
  for (const PeerVariant& v : variants) {
    SCOPED_TRACE(v.name);
    const fs::path file = dir / v.name;
    ASSERT_EQ(test::RunCommand("/usr/bin/convert " + test::ShellQuote(source.string()) + " " + v.options +
                               " " + test::ShellQuote(v.output_prefix + file.string())),
              0);
    const std::optional<Picture> expected = test::PillowDecode(file);
    ASSERT_TRUE(expected.has_value());
    const Picture ours = LoadPictureFile(file.string());
    const test::PictureDifference diff = test::Compare(ours, *expected);
    EXPECT_TRUE(diff.same_size && diff.differing_pixels == 0) << diff.Describe();
  }
}

TEST(PngReader, EveryColourTypeAndDepthMatchesPillow) {
  QEL_SKIP_WITHOUT("convert", "pillow");
  ExpectPeerMadeFilesMatchPillow(
      test::CorpusDir() / "pil123rgba.png",
      {{"rgba16.png", "", "PNG64:"},
       {"rgb16.png", "-background red -flatten", "PNG48:"},
       {"rgba16-interlaced.png", "-interlace PNG", "PNG64:"},
       {"grey2.png", "-colorspace Gray -define png:bit-depth=2 -define png:color-type=0"},
       {"grey4.png", "-colorspace Gray -define png:bit-depth=4 -define png:color-type=0"},
       {"greyalpha8.png", "-colorspace Gray -define png:bit-depth=8 -define png:color-type=4"},
       {"greyalpha16.png", "-colorspace Gray -define png:bit-depth=16 -define png:color-type=4"},
       {"palette4.png", "-colors 12", "PNG8:"}});
}

TEST(PngReader, BrokenFilesFailCleanly) {
  const Bytes good = test::ReadFileBytes(test::CorpusDir() / "hopper.png");
  ASSERT_EQ(LoadError(good, TPNGObject::StaticClass()), "");
  Bytes bad_crc = good;
  bad_crc[20] ^= 0x01;  // inside the header chunk
  // A file cut inside its image data shows the rows there are (see PngCutShort).
  EXPECT_EQ(LoadError(Prefix(good, good.size() / 2), TPNGObject::StaticClass()), "");
  EXPECT_EQ(LoadError(Prefix(good, 20), TPNGObject::StaticClass()), "Stream read error in PNG file.");
  EXPECT_NE(LoadError(bad_crc, TPNGObject::StaticClass()).find("CRC error"), std::string::npos);
  EXPECT_EQ(LoadError(Bytes{'P', 'N', 'G'}, TPNGObject::StaticClass()),
            "Cannot load image. Invalid or unexpected PNG image format.");
}

TEST(JpegReader, GreyCmykAndProgressiveFilesMatchPillow) {
  QEL_SKIP_WITHOUT("convert", "pillow");
  ExpectPeerMadeFilesMatchPillow(test::CorpusDir() / "hopper.jpg",
                                 {{"grey.jpg", "-colorspace Gray"},
                                  {"cmyk.jpg", "-colorspace CMYK"},
                                  {"progressive.jpg", "-interlace JPEG"},
                                  {"progressive-cmyk.jpg", "-colorspace CMYK -interlace JPEG"},
                                  {"subsampled-411.jpg", "-sampling-factor 4:1:1 -quality 70"}});
}

class WarningLog : public ProgressObserver {
 public:
  void OnProgress(ProgressStage, int, const TRect&, std::string_view) override {}
  void OnWarning(std::string_view text) override { warnings.emplace_back(text); }
  std::vector<std::string> warnings;
};

TEST(JpegReader, BrokenFilesGiveLibjpegsMessage) {
  const Bytes good = test::ReadFileBytes(test::CorpusDir() / "hopper.jpg");
  EXPECT_EQ(LoadError(Bytes{'h', 'e', 'l', 'l', 'o'}, TJPEGImage::StaticClass()),
            "Not a JPEG file: starts with 0x68 0x65");
  EXPECT_NE(LoadError(Prefix(good, 300), TJPEGImage::StaticClass()), "");
  EXPECT_NE(LoadError(Bytes{}, TJPEGImage::StaticClass()), "");
  // A file cut in its image data shows as far as it goes, with libjpeg's warning.
  WarningLog log;
  const Picture partial = LoadBytes(Prefix(good, good.size() / 2), TJPEGImage::StaticClass(), &log);
  EXPECT_EQ(partial.Width(), 128);
  ASSERT_EQ(log.warnings.size(), 1u);
  EXPECT_EQ(log.warnings[0], "Premature end of JPEG file");
}

TEST(GifReader, FrameReachingBeyondTheScreenGrowsItAsPillowDoes) {
  QEL_SKIP_WITHOUT("pillow");
  test::TempDir dir;
  const fs::path made = dir / "frame.gif";
  // A 6 x 5 frame at (2, 1) with a transparent index, written by Pillow; the logical
  // screen is then cut to 4 x 3.
  const std::string script =
      "import sys\n"
      "from PIL import Image\n"
      "im = Image.new('P', (6, 5)); im.putpalette([0,0,0, 255,0,0, 0,255,0, 0,0,255] + [9] * 756)\n"
      "im.putdata([(x + y) % 4 for y in range(5) for x in range(6)])\n"
      "im.save(sys.argv[1], transparency=2)\n";
  ASSERT_EQ(test::RunCommand("/usr/bin/python3 -c " + test::ShellQuote(script) + " " +
                             test::ShellQuote(made.string())),
            0);
  Bytes gif = test::ReadFileBytes(made);
  gif[6] = 4;
  gif[8] = 3;
  // Move the frame: find the image descriptor after the header and palette.
  std::size_t at = 13 + 3 * (std::size_t(2) << (gif[10] & 7));
  while (at < gif.size() && gif[at] != 0x2C) at += gif[at] == 0x21 ? 3 + gif[at + 2] + 1 : 1;
  ASSERT_LT(at, gif.size());
  gif[at + 1] = 2;
  gif[at + 3] = 1;
  const fs::path patched = dir / "patched.gif";
  test::WriteFileBytes(patched, gif);
  const std::optional<Picture> expected = test::PillowDecode(patched);
  ASSERT_TRUE(expected.has_value());
  const Picture ours = LoadPictureFile(patched.string());
  EXPECT_EQ(ours.Width(), 8);
  EXPECT_EQ(ours.Height(), 6);
  EXPECT_EQ(test::Compare(ours, *expected).differing_pixels, 0u) << test::Compare(ours, *expected).Describe();
  EXPECT_TRUE(ours.Transparent());
}

TEST(GifReader, BrokenFilesFailCleanly) {
  const Bytes good = test::ReadFileBytes(test::CorpusDir() / "chi.gif");
  ASSERT_EQ(LoadError(good, TGIFImage::StaticClass()), "");
  // The first frame's image data runs from byte 839 to 1955.
  // Cut inside it, the rows there are show (see GifCutShort).
  EXPECT_EQ(LoadError(Prefix(good, 1500), TGIFImage::StaticClass()), "");
  EXPECT_EQ(LoadError(Prefix(good, 9), TGIFImage::StaticClass()), "Stream read error in GIF file.");
  EXPECT_EQ(LoadError(Bytes{'J', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0}, TGIFImage::StaticClass()),
            "Cannot load image. Invalid or unexpected GIF image format.");
  // A header and a trailer with no image between them.
  Bytes empty = Prefix(good, 13);
  empty[10] = 0;  // no global palette
  empty.push_back(0x3B);
  EXPECT_EQ(LoadError(empty, TGIFImage::StaticClass()),
            "Cannot load image. Invalid or unexpected GIF image format.");
}

// Damaged copies of real files (bytes overwritten with deterministic noise, cut short)
// load or fail with the library's error, never anything else; with the sanitizers on
// this also shows that no read or write leaves its buffer.
TEST(PlatformReaders, DamagedFilesLoadOrFailCleanly) {
  struct Seed {
    const char* file;
    const GraphicClass& graphic_class;
  };
  const std::vector<Seed> seeds = {
      {"hopper_rle8.bmp", TBitmap::StaticClass()},
      {"bmp/q/pal4rletrns.bmp", TBitmap::StaticClass()},
      {"clipboard.dib", TBitmap::StaticClass()},
      {"bmp/q/rgba16-4444.bmp", TBitmap::StaticClass()},
      {"python.ico", TIcon::StaticClass()},
      {"black_and_white.ico", TIcon::StaticClass()},
      {"pil123p.png", TPNGObject::StaticClass()},
      {"hopper.jpg", TJPEGImage::StaticClass()},
      {"transparent_dispose.gif", TGIFImage::StaticClass()},
      {"chi.gif", TGIFImage::StaticClass()},
  };
  std::uint32_t noise = 12345;
  auto next = [&noise] { return noise = noise * 1103515245u + 12345u; };
  for (const Seed& seed : seeds) {
    SCOPED_TRACE(seed.file);
    const Bytes original = test::ReadFileBytes(test::CorpusDir() / seed.file);
    for (int round = 0; round < 60; ++round) {
      Bytes damaged = original;
      // Mostly the first kilobyte, where the headers are.
      const std::size_t span = std::min<std::size_t>(damaged.size(), round % 3 ? 1024 : damaged.size());
      for (int i = 0; i < 1 + round % 8; ++i) damaged[next() % span] = std::uint8_t(next() >> 16);
      if (round % 5 == 0) damaged.resize(next() % damaged.size());
      try {
        LoadBytes(damaged, seed.graphic_class);
      } catch (const Error&) {
      } catch (const std::exception& e) {
        ADD_FAILURE() << "round " << round << ": " << e.what();
      }
    }
  }
}

}  // namespace
}  // namespace qel
