// The import library's own GIF reader: the first image of the corpus files against
// giflib (TGIFImage), and files built byte by byte for the rules and the damaged cases.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "import/framework/messages.h"
#include "import/gif/giflib_reader.h"
#include "import/gif/reader.h"
#include "support/test_support.h"
#include "unit/import/reader_helpers.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::PutLE16;

// ---------------------------------------------------------------------------------
// GIF files byte by byte.

// LZW data of palette indices: the clear code, literal codes only (with a clear code
// again before the table would widen the codes), the end code; packed from the least
// significant bit.
Bytes LzwLiterals(const Bytes& indices, int code_size) {
  const std::uint32_t clear = 1u << code_size, end = clear + 1;
  const std::uint32_t width = std::uint32_t(code_size) + 1;
  const std::size_t literals_per_clear = (std::size_t(1) << code_size) - 2;
  Bytes out;
  std::uint32_t bits = 0, held = 0;
  const auto put = [&](std::uint32_t code) {
    bits |= code << held;
    for (held += width; held >= 8; held -= 8, bits >>= 8) out.push_back(std::uint8_t(bits));
  };
  put(clear);
  for (std::size_t i = 0; i < indices.size(); ++i) {
    if (i > 0 && i % literals_per_clear == 0) put(clear);
    put(indices[i]);
  }
  put(end);
  if (held > 0) out.push_back(std::uint8_t(bits));
  return out;
}

Bytes SubBlocks(const Bytes& data) {
  Bytes out;
  for (std::size_t pos = 0; pos < data.size(); pos += 255) {
    const std::size_t n = std::min<std::size_t>(255, data.size() - pos);
    out.push_back(std::uint8_t(n));
    out.insert(out.end(), data.begin() + long(pos), data.begin() + long(pos + n));
  }
  out.push_back(0);
  return out;
}

// A colour table of 2^bits entries: the colours given, then black.
Bytes ColorTable(const std::vector<TColor>& colors, int bits) {
  Bytes out;
  for (std::size_t i = 0; i < (std::size_t(1) << bits); ++i) {
    const TColor c = i < colors.size() ? colors[i] : 0;
    out.insert(out.end(), {RedOf(c), GreenOf(c), BlueOf(c)});
  }
  return out;
}

struct Frame {
  Frame(std::uint16_t x, std::uint16_t y, std::uint16_t w, std::uint16_t h, Bytes pixels = {})
      : left(x), top(y), width(w), height(h), indices(std::move(pixels)) {}

  std::uint16_t left, top, width, height;
  Bytes indices;
  bool interlaced = false;
  std::vector<TColor> local_table;  // none when empty
  int table_bits = 2;
  int code_size = 2;
  Bytes extensions;  // written before the image descriptor
};

Bytes ImageBlock(const Frame& f) {
  Bytes out = f.extensions;
  out.push_back(0x2C);
  for (std::uint32_t v : {f.left, f.top, f.width, f.height}) PutLE16(out, v);
  std::uint8_t packed = f.interlaced ? 0x40 : 0;
  if (!f.local_table.empty()) packed = std::uint8_t(packed | 0x80 | (f.table_bits - 1));
  out.push_back(packed);
  if (!f.local_table.empty()) {
    const Bytes table = ColorTable(f.local_table, f.table_bits);
    out.insert(out.end(), table.begin(), table.end());
  }
  out.push_back(std::uint8_t(f.code_size));
  const Bytes blocks = SubBlocks(LzwLiterals(f.indices, f.code_size));
  out.insert(out.end(), blocks.begin(), blocks.end());
  return out;
}

// Header, screen descriptor, global table (none when empty), the frames, trailer.
Bytes GifFile(std::uint16_t width, std::uint16_t height, const std::vector<TColor>& global,
              const std::vector<Frame>& frames, int global_bits = 2, const char* version = "89a") {
  Bytes out = {'G', 'I', 'F'};
  out.insert(out.end(), version, version + 3);
  PutLE16(out, width);
  PutLE16(out, height);
  out.push_back(global.empty() ? 0 : std::uint8_t(0x80 | (global_bits - 1)));
  out.insert(out.end(), {0, 0});
  if (!global.empty()) {
    const Bytes table = ColorTable(global, global_bits);
    out.insert(out.end(), table.begin(), table.end());
  }
  for (const Frame& f : frames) {
    const Bytes block = ImageBlock(f);
    out.insert(out.end(), block.begin(), block.end());
  }
  out.push_back(0x3B);
  return out;
}

// A graphic control extension naming a transparent index.
Bytes GraphicControl(std::uint8_t transparent_index) {
  return {0x21, 0xF9, 4, 0x01, 0, 0, transparent_index, 0};
}

std::string ErrorOf(const Bytes& bytes) {
  return test::LoadErrorOf<TGIFGraphic>(bytes);
}
std::string Message(const char* pattern) {
  return FormatMessage(pattern, {"GIF"});
}

const std::vector<TColor> kColors = {0x0000FF, 0x00FF00, 0xFF0000, 0x808080};

// Row y of an 8-bit bitmap's indices.
Bytes IndexRow(const TBitmap& bitmap, int y) {
  return Bytes(bitmap.ScanLine(y), bitmap.ScanLine(y) + bitmap.Width());
}

// ---------------------------------------------------------------------------------

// Where the first image of each file lies on its screen, as Pillow sees it.
std::vector<std::array<int, 4>> FirstFrameRects(const std::vector<fs::path>& files) {
  std::string command =
      "/usr/bin/python3 -c \"import sys; from PIL import Image; "
      "[print(*Image.open(f).tile[0][1]) for f in sys.argv[1:]]\"";
  for (const fs::path& f : files) {
    command += ' ';
    command += test::ShellQuote(f.string());
  }
  std::string output;
  EXPECT_EQ(test::RunCommand(command, &output), 0) << output;
  std::istringstream lines(output);
  std::vector<std::array<int, 4>> rects;
  std::array<int, 4> r{};
  while (lines >> r[0] >> r[1] >> r[2] >> r[3]) rects.push_back(r);
  return rects;
}

// The first image's indices through its palette, a transparent index included,
// against giflib's colours for the same part of its screen (or Pillow's, for the file
// with 11-bit codes that giflib refuses).
TEST(ImportGifReader, FirstImageOfTheCorpusFilesMatchesGiflib) {
  QEL_SKIP_WITHOUT("pillow");
  const std::vector<fs::path> files = test::CorpusFiles({".gif"});
  ASSERT_GE(files.size(), 20u);
  const std::vector<std::array<int, 4>> rects = FirstFrameRects(files);
  ASSERT_EQ(rects.size(), files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i].filename().string());
    const auto [x0, y0, x1, y1] = rects[i];
    TGIFGraphic ours;
    ASSERT_NO_THROW(test::LoadFileInto(ours, files[i]));
    ASSERT_EQ(ours.PixelFormat(), TPixelFormat::pf8bit);
    ASSERT_EQ(ours.Width(), x1 - x0);
    ASSERT_EQ(ours.Height(), y1 - y0);
    Picture expected;
    auto giflib = std::make_unique<TGIFImage>();
    try {
      test::LoadFileInto(*giflib, files[i]);
      expected = test::BitmapColors(giflib->Bitmap(), x0, y0, x1 - x0, y1 - y0);
    } catch (const Error&) {
      const std::optional<Picture> pillow = test::PillowDecode(files[i], true);
      ASSERT_TRUE(pillow.has_value());
      expected = *pillow;
    }
    const test::PictureDifference diff = test::Compare(test::BitmapColors(ours), expected);
    EXPECT_TRUE(diff.same_size && diff.differing_pixels == 0) << diff.Describe();
  }
}

TEST(ImportGifReader, InterlacedRowsGoToTheirPasses) {
  Frame f{0, 0, 3, 10};
  f.interlaced = true;
  f.code_size = 4;
  for (std::uint8_t row = 0; row < 10; ++row) f.indices.insert(f.indices.end(), {row, row, row});
  TGIFGraphic g;
  test::LoadBytesInto(g, GifFile(3, 10, {}, {f}));
  ASSERT_EQ(g.Height(), 10);
  EXPECT_TRUE(g.ImageProperties().Interlaced);
  // Decoded rows 0..9 land on rows 0, 8, 4, 2, 6, 1, 3, 5, 7, 9.
  const int target[10] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
  for (std::uint8_t row = 0; row < 10; ++row) EXPECT_EQ(IndexRow(g, target[row]), Bytes(3, row)) << int(row);
}

TEST(ImportGifReader, FirstImageOfItsOwnSizeWithItsOwnPalette) {
  // An image narrower than the screen and placed inside it keeps its own size.
  Frame small{5, 2, 2, 2, {0, 1, 2, 3}};
  TGIFGraphic g;
  test::LoadBytesInto(g, GifFile(20, 10, kColors, {small}));
  ASSERT_EQ(g.Width(), 2);
  ASSERT_EQ(g.Height(), 2);
  EXPECT_EQ(g.PixelColor(1, 1), 0x808080u);

  // Width and height 0 in the image descriptor take the screen's.
  Frame whole{0, 0, 0, 0, {3, 2, 1, 0, 0, 1}};
  TGIFGraphic screen_sized;
  test::LoadBytesInto(screen_sized, GifFile(3, 2, kColors, {whole}));
  EXPECT_EQ(screen_sized.Width(), 3);
  EXPECT_EQ(screen_sized.Height(), 2);
  EXPECT_EQ(IndexRow(screen_sized, 1), (Bytes{0, 0, 1}));

  // A local table stands in for the global one, with its own size.
  Frame local{0, 0, 2, 1, {0, 1}};
  local.local_table = {0x112233, 0x445566};
  local.table_bits = 1;
  TGIFGraphic l;
  test::LoadBytesInto(l, GifFile(2, 1, kColors, {local}, 3));
  EXPECT_EQ(l.PaletteRef().size(), 2u);
  EXPECT_EQ(l.PixelColor(1, 0), 0x445566u);
  EXPECT_TRUE(l.ImageProperties().HasLocalPalette);
  EXPECT_EQ(l.ImageProperties().BitsPerSample, 1);

  // Only the first frame of an animation is read; its transparent index is drawn in
  // its palette colour.
  Frame first{0, 0, 2, 1, {0, 3}};
  first.extensions = GraphicControl(3);
  Frame second{0, 0, 2, 1, {1, 1}};
  second.extensions = GraphicControl(0);
  const Bytes animation = GifFile(2, 1, kColors, {first, second});
  TMemoryStream stream{std::span<const std::uint8_t>(animation)};
  const Picture drawn = LoadPictureStream(stream, TGIFGraphic::StaticClass());
  EXPECT_FALSE(drawn.Transparent());
  EXPECT_EQ(drawn.Pixel(0, 0), 0x0000FFu);
  EXPECT_EQ(drawn.Pixel(1, 0), 0x808080u);
}

TEST(ImportGifReader, ExtensionsOfEveryKindAreSkipped) {
  Frame f{0, 0, 2, 1, {2, 1}};
  // Plain text (its header block, then text), comment, application and an unknown
  // label, whose data holds the bytes of an image introducer and a trailer.
  f.extensions = {0x21, 0x01, 12, 0,   0,   0,   0,    2,    0,   1,   0,   8,   8,
                  0,    1,    2,  ',', ';', 0,  // plain text
                  0x21, 0xFE, 2,  ',', ';', 0,  // comment
                  0x21, 0xFF, 11, 'N', 'E', 'T', 'S',  'C',  'A', 'P', 'E', '2', '.',
                  '0',  3,    1,  0,   0,   0,   0x21, 0x42, 2,   ',', ';', 0};  // unknown label

  TGIFGraphic g;
  test::LoadBytesInto(g, GifFile(2, 1, kColors, {f}));
  EXPECT_EQ(IndexRow(g, 0), (Bytes{2, 1}));
}

TEST(ImportGifReader, PropertiesDescribeTheFirstImage) {
  Frame f{0, 0, 7, 3, Bytes(21, 1)};
  f.interlaced = true;
  const Bytes file = GifFile(9, 4, kColors, {f}, 2, "87a");
  TGIFGraphic g;
  TMemoryStream stream{std::span<const std::uint8_t>(file)};
  EXPECT_TRUE(g.RecognizesStream(stream));
  EXPECT_EQ(stream.Position(), 0u);
  ASSERT_TRUE(g.ReadProperties(stream, 0));
  const TImageProperties& p = g.ImageProperties();
  EXPECT_EQ(p.FormatVersion, 87u);
  EXPECT_EQ(p.Width, 7u);
  EXPECT_EQ(p.Height, 3u);
  EXPECT_EQ(p.ColorScheme, ColorScheme::schIndexed);
  EXPECT_EQ(p.Compression, CompressionType::cmpLZW);
  EXPECT_EQ(p.BitsPerSample, 2);
  EXPECT_EQ(p.BitsPerPixel, 2);
  EXPECT_EQ(p.SamplesPerPixel, 1);
  EXPECT_TRUE(p.Interlaced);
  EXPECT_FALSE(p.HasLocalPalette);

  // Without a global table the samples are 8 bits; "gif" in lower case is a signature too.
  Bytes lower = GifFile(1, 1, {}, {Frame{0, 0, 1, 1, {0}}});
  lower[0] = 'g';
  TMemoryStream lower_stream{std::span<const std::uint8_t>(lower)};
  EXPECT_TRUE(g.RecognizesStream(lower_stream));
  ASSERT_TRUE(g.ReadProperties(lower_stream, 0));
  EXPECT_EQ(g.ImageProperties().BitsPerSample, 8);
  // A stream of 22 bytes or fewer is too short to be recognised.
  const Bytes tiny(lower.begin(), lower.begin() + 22);
  TMemoryStream tiny_stream{std::span<const std::uint8_t>(tiny)};
  EXPECT_FALSE(g.RecognizesStream(tiny_stream));
}

TEST(ImportGifReader, BrokenFilesFailCleanly) {
  const Frame f{0, 0, 4, 4, Bytes(16, 2)};
  const Bytes good = GifFile(4, 4, kColors, {f});
  ASSERT_EQ(ErrorOf(good), "");

  // A file with no image has no picture to give.
  EXPECT_EQ(ErrorOf(GifFile(4, 4, kColors, {})), Message(msg::kInvalidImage));

  Bytes not_gif = good;
  not_gif[1] = 'X';
  EXPECT_EQ(ErrorOf(not_gif), Message(msg::kInvalidImage));
  EXPECT_EQ(ErrorOf(Bytes(good.begin(), good.begin() + 10)), Message(msg::kInvalidImage));
  // Cut inside the data sub-blocks, or just before the block that ends them: the rows
  // there are show (see GifCutShort).
  EXPECT_EQ(ErrorOf(Bytes(good.begin(), good.end() - 4)), "");
  EXPECT_EQ(ErrorOf(Bytes(good.begin(), good.end() - 2)), "");
  // Cut inside an extension before the image.
  Frame with_comment = f;
  with_comment.extensions = {0x21, 0xFE, 200, 'x'};
  EXPECT_EQ(ErrorOf(GifFile(4, 4, kColors, {with_comment})), Message(msg::kInvalidImage));
  // Code sizes the decoder cannot start with.
  for (std::uint8_t size : {0, 12, 255}) {
    Bytes bad = good;
    bad[13 + 12 + 10] = size;
    EXPECT_EQ(ErrorOf(bad),
              "Cannot load image. LZW code size " + std::to_string(size) + " not supported for GIF files.");
  }
  // An image far larger than its data could describe is refused before it is allocated.
  EXPECT_EQ(ErrorOf(GifFile(4, 4, kColors, {Frame{0, 0, 30000, 30000, Bytes(16, 2)}})),
            "Cannot load image. The GIF file holds too little data for a picture of 30000 x 30000 pixels.");
  // Data that stops short of the image keeps its whole rows and leaves the rest white.
  Frame short_data = f;
  short_data.indices.resize(5);
  TGIFGraphic partial;
  test::LoadBytesInto(partial, GifFile(4, 4, kColors, {short_data}));
  EXPECT_EQ(partial.PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(partial.PixelColor(3, 0), kColors[2]);
  EXPECT_EQ(partial.PixelColor(0, 1), RGBColor(255, 255, 255));
}

TEST(ImportGifReader, DamagedCopiesLoadOrFailCleanly) {
  test::Damager damager;
  for (const char* name :
       {"chi.gif", "transparent_dispose.gif", "first_frame_transparency.gif", "issue_2811.gif"}) {
    SCOPED_TRACE(name);
    const Bytes original = test::ReadFileBytes(test::CorpusDir() / name);
    for (int round = 0; round < 80; ++round) {
      SCOPED_TRACE(round);
      ErrorOf(damager.Damage(original, round));  // a library error or a load; anything else escapes
    }
  }
}

}  // namespace
}  // namespace qel

namespace qel {
namespace {

TEST(GifCutShort, BothReadersKeepTheRowsTheDataHolds) {
  QEL_SKIP_WITHOUT("convert", "pillow");
  // ImageMagick's files, plain and interlaced, cut at several points: giflib's reader
  // and the tool's own show the rows decoded, the rest white, and warn; a file cut
  // before any row is still refused.
  test::TempDir dir;
  for (const char* interlace : {"None", "GIF"}) {
    const auto file = dir / "rose.gif";
    ASSERT_EQ(test::RunCommand(std::string("/usr/bin/convert rose: -resize 200x150 -interlace ") + interlace +
                               " " + test::ShellQuote(file.string())),
              0);
    const auto complete = test::PillowDecode(file);
    ASSERT_TRUE(complete);
    const Bytes bytes = test::ReadFileBytes(file);
    for (const GraphicClass* reader : {&TGIFImage::StaticClass(), &TGIFGraphic::StaticClass()}) {
      double shown_before = 0;
      for (int tenths : {3, 6, 9}) {
        SCOPED_TRACE(std::string(interlace) + " cut at " + std::to_string(tenths) + "/10 by " +
                     std::string(reader->Name()));
        const auto cut = dir / "cut.gif";
        test::WriteFileBytes(
            cut, Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(bytes.size() * tenths / 10)));
        const double shown = test::ExpectCutCopyShowsWhatItHolds(cut, *reader, *complete);
        EXPECT_GT(shown, shown_before);
        shown_before = shown;
      }
      test::WriteFileBytes(dir / "header.gif", Bytes(bytes.begin(), bytes.begin() + 800));
      EXPECT_THROW(LoadPictureFileAs((dir / "header.gif").string(), *reader), Error) << reader->Name();
    }
  }
}

}  // namespace
}  // namespace qel
