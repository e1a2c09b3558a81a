// The EPS preview reader: binary EPS files with a TIFF preview (made by ImageMagick, from
// the corpus and built by hand) load as their preview, files without one are refused
// with a message that says so, and the preview is read only inside its own bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "import/eps/reader.h"
#include "support/test_support.h"
#include "unit/import/tiff/test_builder.h"

namespace qel::test {
namespace {

namespace fs = std::filesystem;

const std::string kNoPreview =
    "Cannot load image. PostScript without a TIFF preview is not supported for EPS files.";
const std::string kInvalidEPS = "Cannot load image. Invalid or unexpected EPS image format.";

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

// A binary EPS file: header, some PostScript, the TIFF preview, then trailing bytes.
std::vector<std::uint8_t> MakeEPS(const std::vector<std::uint8_t>& tiff, std::size_t trailing = 0) {
  const std::string postscript = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\nshowpage\n";
  const std::uint32_t fields[] = {0xC6D3D0C5u,
                                  30,
                                  std::uint32_t(postscript.size()),
                                  0,
                                  0,
                                  std::uint32_t(30 + postscript.size()),
                                  std::uint32_t(tiff.size())};
  std::vector<std::uint8_t> bytes;
  bytes.reserve(30 + postscript.size() + tiff.size() + trailing);
  for (const std::uint32_t v : fields)
    for (int i = 0; i < 4; ++i) bytes.push_back(std::uint8_t(v >> (8 * i)));
  bytes.push_back(0xFF);  // checksum
  bytes.push_back(0xFF);
  bytes.insert(bytes.end(), postscript.begin(), postscript.end());
  bytes.insert(bytes.end(), tiff.begin(), tiff.end());
  bytes.insert(bytes.end(), trailing, 0x41);
  return bytes;
}

std::vector<std::uint8_t> PreviewOf(const std::vector<std::uint8_t>& eps) {
  const auto u32 = [&](std::size_t i) {
    return std::uint32_t(eps[i] | (eps[i + 1] << 8) | (eps[i + 2] << 16) | (std::uint32_t(eps[i + 3]) << 24));
  };
  return {eps.begin() + u32(20), eps.begin() + u32(20) + u32(24)};
}

Picture LoadEPS(const std::vector<std::uint8_t>& bytes) {
  TMemoryStream stream{std::span(bytes)};
  return LoadPictureStream(stream, TEPSGraphic::StaticClass());
}

std::string LoadError(const std::vector<std::uint8_t>& bytes) {
  try {
    LoadEPS(bytes);
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

void ExpectSame(const Picture& a, const Picture& b, int tolerance = 0) {
  const PictureDifference diff = Compare(a, b);
  EXPECT_TRUE(diff.same_size);
  EXPECT_LE(diff.max_channel_difference, tolerance) << diff.Describe();
}

TEST(EPSReader, ImageMagickAndCorpusPreviewsMatchPillowsDecodeOfThePreview) {
  QEL_SKIP_WITHOUT("convert", "pillow");
  TempDir dir;
  const std::string photo = ShellQuote((CorpusDir() / "hopper.png").string());
  // ImageMagick's previews have 16-bit colour maps of any value: the reader cuts them
  // to 8 bits as v * 255 / 65535, Pillow shifts them by 8, so they may differ by 1.
  std::vector<std::pair<fs::path, int>> files;
  for (const char* kind : {"EPT2", "EPT3"}) {
    const fs::path out = dir / (std::string(kind) + ".eps");
    ASSERT_EQ(
        RunCommand("/usr/bin/convert " + photo + " -resize 61x47! " + kind + ":" + ShellQuote(out.string())),
        0);
    files.emplace_back(out, 1);
  }
  for (const char* name : {"1.eps", "illu10_preview.eps", "illuCS6_preview.eps"})
    files.emplace_back(CorpusDir() / "eps" / name, 0);

  for (const auto& [file, tolerance] : files) {
    SCOPED_TRACE(file.filename().string());
    const fs::path preview = dir / (file.stem().string() + "_preview.tif");
    WriteFileBytes(preview, PreviewOf(ReadFileBytes(file)));
    const std::optional<Picture> expected = PillowDecode(preview);
    ASSERT_TRUE(expected.has_value());
    ExpectSame(LoadPictureFile(file.string()), *expected, tolerance);
  }
}

TEST(EPSReader, FilesWithoutAPreviewSayThatTheyHaveNone) {
  for (const char* name : {"illuCS6_no_preview.eps", "zero_bb.eps", "zero_bb_trailer.eps"}) {
    SCOPED_TRACE(name);
    try {
      LoadPictureFile((CorpusDir() / "eps" / name).string());
      ADD_FAILURE() << "loaded";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), kNoPreview);
    }
  }
  TiffBuilder b;
  b.Image(2, 1, {8}, 1, 1, {{1, 2}}, 1);
  std::vector<std::uint8_t> eps = MakeEPS(b.Build());
  PutU32(eps, 20, 0);  // a header with a metafile preview only
  PutU32(eps, 24, 0);
  EXPECT_EQ(LoadError(eps), kNoPreview);
}

TEST(EPSReader, LzwPalettePreviewLoadsLikeTheTiffOnItsOwn) {
  QEL_SKIP_WITHOUT("convert", "tiffcp");
  TempDir dir;
  const fs::path palette = dir / "p8.tif", lzw = dir / "p8_lzw.tif";
  ASSERT_EQ(
      RunCommand("/usr/bin/convert " + ShellQuote((CorpusDir() / "hopper.png").string()) +
                 " -resize 61x47! -type Palette -depth 8 -compress None " + ShellQuote(palette.string()) +
                 " && tiffcp -c lzw " + ShellQuote(palette.string()) + " " + ShellQuote(lzw.string())),
      0);
  const std::vector<std::uint8_t> tiff = ReadFileBytes(lzw);
  ExpectSame(LoadEPS(MakeEPS(tiff, 100)), LoadTiffBytes(tiff));
}

TEST(EPSReader, HeaderChecksAndRecognition) {
  TiffBuilder b;
  b.Image(2, 1, {8}, 1, 1, {{1, 2}}, 1);
  const std::vector<std::uint8_t> good = MakeEPS(b.Build());
  const auto recognizes = [](const std::vector<std::uint8_t>& bytes) {
    TMemoryStream stream{std::span(bytes)};
    const bool answer = TEPSGraphic().RecognizesStream(stream);
    EXPECT_EQ(stream.Position(), 0u);
    return answer;
  };
  EXPECT_TRUE(recognizes(good));
  EXPECT_EQ(LoadEPS(good).Pixel(1, 0), RGBColor(2, 2, 2));

  std::vector<std::uint8_t> bad = good;
  bad[0] = 0xC4;
  EXPECT_FALSE(recognizes(bad));
  EXPECT_EQ(LoadError(bad), kInvalidEPS);
  bad = good;
  PutU32(bad, 20, 12);  // preview inside the header
  EXPECT_FALSE(recognizes(bad));
  bad = good;
  PutU32(bad, 24, std::uint32_t(good.size()));  // longer than the file
  EXPECT_FALSE(recognizes(bad));
  EXPECT_EQ(LoadError(bad), kInvalidEPS);
  EXPECT_FALSE(recognizes({good.begin(), good.begin() + 30}));
  EXPECT_EQ(LoadError({good.begin(), good.begin() + 20}), kInvalidEPS);

  TEPSGraphic graphic;
  TMemoryStream stream{std::span(good)};
  ASSERT_TRUE(graphic.ReadProperties(stream, 0));
  EXPECT_EQ(graphic.ImageProperties().Width, 2u);
  EXPECT_EQ(graphic.ImageProperties().FormatVersion, 42u);
  // A preview of no width is no picture: refused, and nothing of the file read before
  // stays in the properties.
  TiffBuilder zero;
  zero.Image(0, 1, {8}, 1, 1, {{1}}, 1);
  const std::vector<std::uint8_t> empty = MakeEPS(zero.Build());
  TMemoryStream empty_stream{std::span(empty)};
  EXPECT_FALSE(graphic.ReadProperties(empty_stream, 0));
  EXPECT_EQ(graphic.ImageProperties().Width, 0u);
  EXPECT_EQ(graphic.ImageProperties().FormatVersion, 0u);
  EXPECT_EQ(LoadError(empty), "Cannot load image. Invalid or unexpected TIF/TIFF image format.");
}

TEST(EPSReader, ThePreviewIsReadOnlyInsideItsOwnBytes) {
  // The strip offset points past the end of the preview, into bytes the file still has.
  TiffBuilder b;
  b.Long(256, 2);
  b.Long(257, 1);
  b.Short(258, 8);
  b.RawField(273, TiffBuilder::kLong, 1, 0);
  std::vector<std::uint8_t> tiff = b.Build();
  // Rebuilt with the offset now known (the size does not change): 8 bytes after the
  // preview's end.
  TiffBuilder c;
  c.Long(256, 2);
  c.Long(257, 1);
  c.Short(258, 8);
  c.RawField(273, TiffBuilder::kLong, 1, std::uint32_t(tiff.size() + 8));
  tiff = c.Build();
  EXPECT_EQ(LoadError(MakeEPS(tiff, 64)), "Stream read error in TIF/TIFF file.");
  EXPECT_EQ(LoadError(MakeEPS(tiff, 0)), "Stream read error in TIF/TIFF file.");

  // Cut copies of a real file fail cleanly.
  const std::vector<std::uint8_t> original = ReadFileBytes(CorpusDir() / "eps" / "1.eps");
  for (std::size_t cut = 10; cut < original.size(); cut += original.size() / 9)
    EXPECT_NO_THROW(LoadError({original.begin(), original.begin() + std::ptrdiff_t(cut)}));
}

}  // namespace
}  // namespace qel::test
