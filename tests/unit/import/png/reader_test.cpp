// The import library's own PNG reader: held against libpng (TPNGObject) on files that
// ImageMagick, Pillow and netpbm make in every colour type and depth and on the corpus,
// and on files built byte by byte for the rules and the damaged cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "import/codecs/checksums.h"
#include "import/framework/messages.h"
#include "import/png/libpng_reader.h"
#include "import/png/reader.h"
#include "support/test_support.h"
#include "unit/import/reader_helpers.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::PutBE16;
using test::PutBE32;

constexpr TColor kWhite = 0xFFFFFF;

// ---------------------------------------------------------------------------------
// PNG files byte by byte.

Bytes Chunk(std::string_view type, const Bytes& data) {
  Bytes out;
  PutBE32(out, std::uint32_t(data.size()));
  Bytes typed(type.begin(), type.end());
  typed.insert(typed.end(), data.begin(), data.end());
  out.insert(out.end(), typed.begin(), typed.end());
  PutBE32(out, Crc32(typed));
  return out;
}

// A zlib stream of stored (uncompressed) blocks; trailing bytes follow the checksum.
Bytes StoredZlib(const Bytes& raw, const Bytes& trailing = {}) {
  Bytes out = {0x78, 0x01};
  std::size_t pos = 0;
  do {
    const std::size_t n = std::min<std::size_t>(raw.size() - pos, 65535);
    out.push_back(pos + n == raw.size() ? 1 : 0);
    test::PutLE16(out, std::uint32_t(n));
    test::PutLE16(out, std::uint32_t(~n & 0xFFFF));
    out.insert(out.end(), raw.begin() + long(pos), raw.begin() + long(pos + n));
    pos += n;
  } while (pos < raw.size());
  PutBE32(out, Adler32(raw));
  out.insert(out.end(), trailing.begin(), trailing.end());
  return out;
}

struct Header {
  std::uint32_t width = 1, height = 1;
  std::uint8_t depth = 8, color_type = 0, compression = 0, filter = 0, interlace = 0;
};

Bytes Ihdr(const Header& h) {
  Bytes d;
  PutBE32(d, h.width);
  PutBE32(d, h.height);
  d.insert(d.end(), {h.depth, h.color_type, h.compression, h.filter, h.interlace});
  return Chunk("IHDR", d);
}

// Signature, IHDR, the chunks before the data, the data as one IDAT chunk (none when
// empty), the chunks after it and IEND.
Bytes PngFile(const Header& h, const Bytes& zlib_data, const std::vector<Bytes>& before = {},
              const std::vector<Bytes>& after = {}) {
  Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  const auto append = [&out](const Bytes& b) { out.insert(out.end(), b.begin(), b.end()); };
  append(Ihdr(h));
  for (const Bytes& c : before) append(c);
  if (!zlib_data.empty()) append(Chunk("IDAT", zlib_data));
  for (const Bytes& c : after) append(c);
  append(Chunk("IEND", {}));
  return out;
}

// Rows of samples, each with filter type 0 in front.
Bytes UnfilteredRows(const std::vector<Bytes>& rows) {
  Bytes out;
  for (const Bytes& r : rows) {
    out.push_back(0);
    out.insert(out.end(), r.begin(), r.end());
  }
  return out;
}

Bytes Palette3(std::initializer_list<TColor> colors) {
  Bytes d;
  for (TColor c : colors) d.insert(d.end(), {RedOf(c), GreenOf(c), BlueOf(c)});
  return d;
}

std::string ErrorOf(const Bytes& bytes) {
  return test::LoadErrorOf<TPNGGraphic>(bytes);
}

std::string Message(const char* pattern) {
  return FormatMessage(pattern, {"PNG"});
}

// ---------------------------------------------------------------------------------
// Agreement with libpng.

// libpng's decode of a file, or nothing when libpng refuses it.
std::unique_ptr<TPNGObject> LibpngDecode(const fs::path& file) {
  auto ref = std::make_unique<TPNGObject>();
  try {
    test::LoadFileInto(*ref, file);
  } catch (const Error&) {
    ref.reset();
  }
  return ref;
}

// Compares the colours this reader stores with libpng's, which are 8 bits a sample
// (16-bit samples cut to their high byte), carry no gamma correction and keep the
// colour of transparent pixels in their colour bytes. So the reference goes through
// this reader's gamma table when it applied one, and 16-bit files may differ by the
// rounding of v x 255 / 65535 against v / 256 (passed through the gamma table).
void ExpectSameColorsAsLibpng(const fs::path& file) {
  SCOPED_TRACE(file.filename().string());
  const std::unique_ptr<TPNGObject> ref = LibpngDecode(file);
  TPNGGraphic ours;
  if (!ref) {
    ASSERT_NE(test::LoadErrorOf<TPNGGraphic>(test::ReadFileBytes(file)), "") << "libpng refuses it";
    return;
  }
  ASSERT_NO_THROW(test::LoadFileInto(ours, file));
  Picture expected = test::BitmapColors(ref->Bitmap());
  const bool gamma = (ours.ImageProperties().Flags & ImageFlags::kUseGamma) != 0;
  const auto& table = ours.ColorManager().GammaTable();
  int tolerance = 0;
  if (ours.ImageProperties().BitsPerSample == 16) {
    tolerance = 1;
    for (int i = 0; gamma && i < 255; ++i) tolerance = std::max(tolerance, table[i + 1] - table[i]);
  }
  if (gamma) {
    for (std::uint8_t& byte : expected.Bytes()) byte = table[byte];
  }
  const test::PictureDifference diff = test::Compare(test::BitmapColors(ours), expected);
  EXPECT_TRUE(diff.same_size && diff.max_channel_difference <= tolerance) << diff.Describe();
  EXPECT_FALSE(ours.AlphaBlended());
}

struct MadeFile {
  std::string name;
  std::string command;  // {in} and {out} stand for the quoted paths
  std::string input = "rgba";
  // What the header must say: bit depth, colour type, interlace method (unchecked when depth is 0).
  std::array<int, 3> header = {0, 0, 0};
};

std::string Expand(std::string text, const std::string& in, const std::string& out) {
  for (const auto& [key, value] : {std::pair<std::string, std::string>{"{in}", in}, {"{out}", out}}) {
    for (std::size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, key.size(), value);
  }
  return text;
}

// Makes the files in dir from a small picture of the corpus, odd-sized so that rows
// end inside bytes and the interlace passes inside their groups: "rgba" with
// transparency, "rgb" without. Peers quietly write other layouts than asked for at
// times, so each file's header is checked.
void MakeFiles(const test::TempDir& dir, const std::vector<MadeFile>& files) {
  const std::string rgba = (dir / "base-rgba.png").string(), rgb = (dir / "base-rgb.png").string();
  const std::string source = test::ShellQuote((test::CorpusDir() / "pil123rgba.png").string());
  ASSERT_EQ(test::RunCommand("/usr/bin/convert " + source + " -resize '45x33!' " + test::ShellQuote(rgba)),
            0);
  ASSERT_EQ(test::RunCommand("/usr/bin/convert " + source +
                             " -resize '45x33!' -background '#3080c0' -flatten -background white " +
                             test::ShellQuote(rgb)),
            0);
  for (const MadeFile& f : files) {
    SCOPED_TRACE(f.name);
    const std::string in = test::ShellQuote(f.input == "rgba" ? rgba : rgb);
    ASSERT_EQ(test::RunCommand(Expand(f.command, in, test::ShellQuote((dir / f.name).string()))), 0);
    if (f.header[0] == 0) continue;
    const Bytes bytes = test::ReadFileBytes(dir / f.name);
    ASSERT_GT(bytes.size(), 29u);
    EXPECT_EQ((std::array<int, 3>{bytes[24], bytes[25], bytes[28]}), f.header);
  }
}

// Gray and RGB with one transparent colour, by Pillow (which writes no gAMA, so that
// libpng's colours are this reader's too). The colour is the picture's background.
std::vector<MadeFile> TransparentFiles() {
  const std::string pillow =
      "/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); ";
  return {{"gray8-trns.png",
           pillow + "im.convert('L').save(sys.argv[2], transparency=111)\" {in} {out}",
           "rgb",
           {8, 0, 0}},
          {"rgb8-trns.png",
           pillow + "im.convert('RGB').save(sys.argv[2], transparency=(48, 128, 192))\" {in} {out}",
           "rgb",
           {8, 2, 0}}};
}

std::vector<MadeFile> EveryColourTypeAndDepth() {
  const std::string im = "/usr/bin/convert {in} ";
  std::vector<MadeFile> files;
  for (int interlace : {0, 1}) {
    const std::string i = interlace ? "-interlace PNG " : "", tag = interlace ? "-adam7" : "";
    for (int depth : {1, 2, 4, 8, 16}) {
      const std::string d = std::to_string(depth);
      files.push_back({"gray" + d + tag + ".png",
                       im + i + "-colorspace Gray -depth " + d +
                           " -define png:color-type=0 -define png:bit-depth=" + d + " {out}",
                       "rgb",
                       {depth, 0, interlace}});
    }
    files.push_back(
        {"rgb8" + tag + ".png", im + i + "-define png:color-type=2 {out}", "rgb", {8, 2, interlace}});
    files.push_back({"rgb16" + tag + ".png", im + i + "PNG48:{out}", "rgb", {16, 2, interlace}});
    files.push_back({"palette4" + tag + ".png",
                     im + i + "-colors 16 -define png:color-type=3 -define png:bit-depth=4 {out}",
                     "rgb",
                     {4, 3, interlace}});
    files.push_back({"palette8" + tag + ".png",
                     im + i + "-colors 200 -define png:color-type=3 {out}",
                     "rgb",
                     {8, 3, interlace}});
    files.push_back({"grayalpha8" + tag + ".png",
                     im + i + "-colorspace Gray -define png:color-type=4 {out}",
                     "rgba",
                     {8, 4, interlace}});
    files.push_back(
        {"grayalpha16" + tag + ".png",
         im + i + "-colorspace Gray -depth 16 -define png:color-type=4 -define png:bit-depth=16 {out}",
         "rgba",
         {16, 4, interlace}});
    files.push_back(
        {"rgba8" + tag + ".png", im + i + "-define png:color-type=6 {out}", "rgba", {8, 6, interlace}});
    files.push_back({"rgba16" + tag + ".png", im + i + "PNG64:{out}", "rgba", {16, 6, interlace}});
  }
  // Palettes of 1 and 2 bits: Pillow writes them plainly, netpbm interlaced.
  const std::string pillow = "/usr/bin/python3 -c \"import sys; from PIL import Image; ";
  files.push_back({"palette1.png",
                   pillow + "Image.open(sys.argv[1]).quantize(2).save(sys.argv[2], bits=1)\" {in} {out}",
                   "rgb",
                   {1, 3, 0}});
  files.push_back({"palette2.png",
                   pillow + "Image.open(sys.argv[1]).quantize(4).save(sys.argv[2], bits=2)\" {in} {out}",
                   "rgb",
                   {2, 3, 0}});
  files.push_back({"palette2-adam7.png",
                   "pngtopnm {in} | pnmquant 4 2>/dev/null | pnmtopng -interlace > {out}",
                   "rgb",
                   {2, 3, 1}});
  // Transparency: a palette with alpha entries, gray and RGB with one transparent colour.
  files.push_back(TransparentFiles()[0]);
  files.push_back(TransparentFiles()[1]);
  files.push_back(
      {"palette-trns.png",
       pillow + "Image.open(sys.argv[1]).quantize(4).save(sys.argv[2], bits=2, transparency=1)\" {in} {out}",
       "rgb",
       {2, 3, 0}});
  // Tiny interlaced images: passes with no columns or no rows are left out.
  for (const char* size : {"1x1", "2x3", "3x2", "5x1", "1x5", "9x9"}) {
    files.push_back({"tiny" + std::string(size) + ".png",
                     im + "-resize '" + size + "!' -interlace PNG -define png:color-type=2 {out}",
                     "rgb",
                     {8, 2, 1}});
  }
  return files;
}

TEST(ImportPngReader, EveryColourTypeAndDepthMatchesLibpng) {
  QEL_SKIP_WITHOUT("convert", "pillow", "netpbm");
  test::TempDir dir;
  const std::vector<MadeFile> files = EveryColourTypeAndDepth();
  MakeFiles(dir, files);
  for (const MadeFile& f : files) ExpectSameColorsAsLibpng(dir / f.name);

  // The bitmap formats the colour types and depths become.
  const auto format_of = [&dir](const char* name) {
    TPNGGraphic g;
    test::LoadFileInto(g, dir / name);
    return g.PixelFormat();
  };
  EXPECT_EQ(format_of("gray1.png"), TPixelFormat::pf1bit);
  EXPECT_EQ(format_of("gray2.png"), TPixelFormat::pf4bit);
  EXPECT_EQ(format_of("gray16.png"), TPixelFormat::pf8bit);
  EXPECT_EQ(format_of("palette2.png"), TPixelFormat::pf4bit);
  EXPECT_EQ(format_of("grayalpha16.png"), TPixelFormat::pf8bit);
  EXPECT_EQ(format_of("rgb16.png"), TPixelFormat::pf24bit);
  EXPECT_EQ(format_of("rgba8-adam7.png"), TPixelFormat::pf32bit);
}

// A gray or RGB image with a tRNS colour is drawn with that colour left out, which on
// the loader's white picture is what libpng's alpha gives; palette alpha is not drawn.
TEST(ImportPngReader, TransparentColourIsLeftOutWhenDrawn) {
  QEL_SKIP_WITHOUT("convert", "pillow");
  test::TempDir dir;
  MakeFiles(dir, TransparentFiles());
  for (const char* name : {"gray8-trns.png", "rgb8-trns.png"}) {
    SCOPED_TRACE(name);
    const std::string path = (dir / name).string();
    const Picture ours = LoadPictureFileAs(path, TPNGGraphic::StaticClass());
    const Picture libpng = LoadPictureFileAs(path, TPNGObject::StaticClass());
    EXPECT_TRUE(ours.Transparent());
    TPNGGraphic graphic;
    test::LoadFileInto(graphic, dir / name);
    EXPECT_GT(test::Compare(ours, test::BitmapColors(graphic)).differing_pixels, 100u) << "pixels left out";
    const test::PictureDifference diff = test::Compare(ours, libpng);
    EXPECT_TRUE(diff.same_size && diff.differing_pixels == 0) << diff.Describe();
  }

  // 2-bit gray level 1 is drawn as (85, 85, 85), and that is the colour left out.
  const Header h{4, 1, 2, 0};
  const Bytes tRNS = Chunk("tRNS", {0, 1});
  const Bytes file = PngFile(h, StoredZlib(UnfilteredRows({{0b00011011}})), {tRNS});
  TPNGGraphic g;
  test::LoadBytesInto(g, file);
  EXPECT_TRUE(g.Transparent());
  EXPECT_EQ(g.TransparentColor(), RGBColor(85, 85, 85));
  TMemoryStream stream{std::span<const std::uint8_t>(file)};
  const Picture drawn = LoadPictureStream(stream, TPNGGraphic::StaticClass());
  EXPECT_EQ(drawn.Pixel(0, 0), 0u);
  EXPECT_EQ(drawn.Pixel(1, 0), kWhite);
  EXPECT_EQ(drawn.Pixel(2, 0), RGBColor(170, 170, 170));

  // A palette image keeps its alpha table but draws every entry.
  const Header p{2, 1, 8, 3};
  const Bytes palette_file = PngFile(p, StoredZlib(UnfilteredRows({{0, 1}})),
                                     {Chunk("PLTE", Palette3({0x0000FF, 0x00FF00})), Chunk("tRNS", {0})});
  TPNGGraphic pg;
  test::LoadBytesInto(pg, palette_file);
  EXPECT_FALSE(pg.Transparent());
  EXPECT_EQ(pg.TransparencyTable()[0], 0);
  EXPECT_EQ(pg.TransparencyTable()[1], 255);
  EXPECT_EQ(pg.PixelColor(0, 0), 0x0000FFu);
}

// Patches the gAMA chunk of a file to the given value (times 100000).
Bytes WithGamma(Bytes file, std::uint32_t value) {
  for (std::size_t p = 8; p + 12 <= file.size();) {
    const std::uint32_t length =
        (std::uint32_t(file[p]) << 24) | (file[p + 1] << 16) | (file[p + 2] << 8) | file[p + 3];
    if (std::string_view(reinterpret_cast<const char*>(&file[p + 4]), 4) == "gAMA") {
      Bytes data;
      PutBE32(data, value);
      const Bytes chunk = Chunk("gAMA", data);
      std::copy(chunk.begin(), chunk.end(), file.begin() + long(p));
      return file;
    }
    p += 12 + length;
  }
  ADD_FAILURE() << "no gAMA chunk";
  return file;
}

TEST(ImportPngReader, GammaOfTheFileIsCorrectedForTheDisplay) {
  QEL_SKIP_WITHOUT("convert");
  test::TempDir dir;
  const std::vector<MadeFile> files = {
      {"gray4.png",
       "/usr/bin/convert {in} -colorspace Gray -define png:color-type=0 -define png:bit-depth=4 {out}",
       "rgb"},
      {"palette8.png", "/usr/bin/convert {in} -colors 100 -define png:color-type=3 {out}", "rgb"},
      {"rgb8.png", "/usr/bin/convert {in} -define png:color-type=2 {out}", "rgb"},
      {"rgba16.png", "/usr/bin/convert {in} PNG64:{out}"},
      {"grayalpha8.png", "/usr/bin/convert {in} -colorspace Gray -define png:color-type=4 {out}"}};
  MakeFiles(dir, files);
  for (const MadeFile& f : files) {
    for (std::uint32_t gamma : {100000u, 70000u}) {
      const fs::path patched = dir / ("gamma-" + std::to_string(gamma) + "-" + f.name);
      test::WriteFileBytes(patched, WithGamma(test::ReadFileBytes(dir / f.name), gamma));
      ExpectSameColorsAsLibpng(patched);
      TPNGGraphic g;
      test::LoadFileInto(g, patched);
      EXPECT_NEAR(g.ImageProperties().FileGamma, gamma / 100000.0f, 1e-6);
      EXPECT_TRUE(g.ImageProperties().Flags & ImageFlags::kUseGamma);
    }
  }
  // A gamma of 1.0 against the display's 2.2 lifts mid-gray 128 to round(255 (128/255)^(1/2.2)).
  const Bytes gray =
      PngFile({1, 1, 8, 0}, StoredZlib(UnfilteredRows({{128}})), {Chunk("gAMA", {0, 1, 0x86, 0xA0})});
  TPNGGraphic g;
  test::LoadBytesInto(g, gray);
  const int lifted = int(std::lround(255 * std::pow(128 / 255.0, 1 / 2.2)));
  EXPECT_EQ(g.PixelColor(0, 0), RGBColor(std::uint8_t(lifted), std::uint8_t(lifted), std::uint8_t(lifted)));
}

TEST(ImportPngReader, CorpusFilesMatchLibpng) {
  const std::vector<fs::path> files = test::CorpusFiles({".png"});
  ASSERT_GT(files.size(), 100u);
  for (const fs::path& file : files) ExpectSameColorsAsLibpng(file);
}

// ---------------------------------------------------------------------------------
// Conversion rules.

TEST(ImportPngReader, SamplesBecomeBitmapPixelsAsTheColourManagerConvertsThem) {
  // 2-bit gray: a 4-bit bitmap with indices 0, 5, 10, 15 into a 16-level gray ramp.
  TPNGGraphic gray2;
  test::LoadBytesInto(gray2, PngFile({4, 1, 2, 0}, StoredZlib(UnfilteredRows({{0b00011011}}))));
  ASSERT_EQ(gray2.PixelFormat(), TPixelFormat::pf4bit);
  EXPECT_EQ(gray2.ScanLine(0)[0], 0x05);
  EXPECT_EQ(gray2.ScanLine(0)[1], 0xAF);
  ASSERT_EQ(gray2.PaletteRef().size(), 16u);
  EXPECT_EQ(gray2.PaletteRef()[5], (PaletteEntry{85, 85, 85, 0}));

  // 16-bit RGB: v x 255 / 65535 rounded down, so 65280 gives 254 (its high byte would be 255).
  Bytes rgb16;
  for (std::uint32_t v : {65535u, 65280u, 257u, 256u, 0u, 32896u}) PutBE16(rgb16, v);
  TPNGGraphic wide;
  test::LoadBytesInto(wide, PngFile({2, 1, 16, 2}, StoredZlib(UnfilteredRows({rgb16}))));
  ASSERT_EQ(wide.PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(wide.PixelColor(0, 0), RGBColor(255, 254, 1));
  EXPECT_EQ(wide.PixelColor(1, 0), RGBColor(0, 0, 128));

  // 16-bit gray scales the same way into an 8-bit gray ramp.
  Bytes gray16;
  for (std::uint32_t v : {65280u, 65535u}) PutBE16(gray16, v);
  TPNGGraphic g16;
  test::LoadBytesInto(g16, PngFile({2, 1, 16, 0}, StoredZlib(UnfilteredRows({gray16}))));
  EXPECT_EQ(g16.ScanLine(0)[0], 254);
  EXPECT_EQ(g16.ScanLine(0)[1], 255);

  // Gray with alpha: the gray level indexes a gray ramp; alpha is dropped.
  TPNGGraphic gray_alpha;
  test::LoadBytesInto(gray_alpha, PngFile({2, 1, 8, 4}, StoredZlib(UnfilteredRows({{200, 0, 30, 255}}))));
  ASSERT_EQ(gray_alpha.PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(gray_alpha.ScanLine(0)[0], 200);
  EXPECT_EQ(gray_alpha.ScanLine(0)[1], 30);
  EXPECT_EQ(gray_alpha.PaletteRef().size(), 256u);
  EXPECT_FALSE(gray_alpha.Transparent());

  // RGBA: blue, green, red, alpha in a 32-bit bitmap that draws without blending.
  TPNGGraphic rgba;
  const Bytes rgba_file = PngFile({1, 1, 8, 6}, StoredZlib(UnfilteredRows({{10, 20, 30, 0}})));
  test::LoadBytesInto(rgba, rgba_file);
  ASSERT_EQ(rgba.PixelFormat(), TPixelFormat::pf32bit);
  EXPECT_EQ(Bytes(rgba.ScanLine(0), rgba.ScanLine(0) + 4), (Bytes{30, 20, 10, 0}));
  TMemoryStream stream{std::span<const std::uint8_t>(rgba_file)};
  EXPECT_EQ(LoadPictureStream(stream, TPNGGraphic::StaticClass()).Pixel(0, 0), RGBColor(10, 20, 30));

  // 2-bit palette indices are spread to 4 bits and the palette with them.
  TPNGGraphic palette2;
  test::LoadBytesInto(palette2, PngFile({4, 1, 2, 3}, StoredZlib(UnfilteredRows({{0b00011011}})),
                                        {Chunk("PLTE", Palette3({0x000001, 0x000002, 0x000003, 0x000004}))}));
  EXPECT_EQ(palette2.PixelColor(1, 0), 0x000002u);
  EXPECT_EQ(palette2.PixelColor(3, 0), 0x000004u);
}

// Applies a row filter the way an encoder does, with bpp bytes per pixel.
Bytes FilterRow(std::uint8_t type, const Bytes& row, const Bytes& above, std::size_t bpp) {
  Bytes out = {type};
  for (std::size_t i = 0; i < row.size(); ++i) {
    const int a = i >= bpp ? row[i - bpp] : 0, b = above[i], c = i >= bpp ? above[i - bpp] : 0;
    int predictor = 0;
    if (type == 1) predictor = a;
    if (type == 2) predictor = b;
    if (type == 3) predictor = (a + b) / 2;
    if (type == 4) {
      const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
      predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
    }
    out.push_back(std::uint8_t(row[i] - predictor));
  }
  return out;
}

TEST(ImportPngReader, FiveRowFiltersAreUndone) {
  // Each filter on rows of 16-bit RGBA (8 bytes a pixel), 1-bit gray (1 byte) and RGB.
  struct Case {
    Header header;
    std::size_t row_bytes, bpp;
  };
  for (const Case& c : {Case{{5, 6, 16, 6}, 40, 8}, Case{{21, 6, 1, 0}, 3, 1}, Case{{5, 6, 8, 2}, 15, 3}}) {
    std::vector<Bytes> rows;
    std::uint32_t noise = 7;
    for (std::uint32_t y = 0; y < c.header.height; ++y) {
      Bytes row(c.row_bytes);
      for (auto& b : row) b = std::uint8_t((noise = noise * 69069 + 1) >> 24);
      rows.push_back(row);
    }
    Bytes data, above(c.row_bytes, 0);
    for (std::uint32_t y = 0; y < c.header.height; ++y) {
      const Bytes filtered = FilterRow(std::uint8_t(y % 5), rows[y], above, c.bpp);
      data.insert(data.end(), filtered.begin(), filtered.end());
      above = rows[y];
    }
    TPNGGraphic filtered, plain;
    test::LoadBytesInto(filtered, PngFile(c.header, StoredZlib(data)));
    test::LoadBytesInto(plain, PngFile(c.header, StoredZlib(UnfilteredRows(rows))));
    const test::PictureDifference diff =
        test::Compare(test::BitmapColors(filtered), test::BitmapColors(plain));
    EXPECT_TRUE(diff.same_size && diff.differing_pixels == 0) << diff.Describe();
  }

  Bytes bad = UnfilteredRows({{1}});
  bad[0] = 5;
  EXPECT_EQ(ErrorOf(PngFile({1, 1, 8, 0}, StoredZlib(bad))), Message(msg::kImageCompression));
}

TEST(ImportPngReader, InterlacedOnePixelImageIsCompleteAfterTheFirstPass) {
  TPNGGraphic g;
  test::LoadBytesInto(g, PngFile({1, 1, 8, 2, 0, 0, 1}, StoredZlib(UnfilteredRows({{1, 2, 3}}))));
  EXPECT_TRUE(g.ImageProperties().Interlaced);
  EXPECT_EQ(g.PixelColor(0, 0), RGBColor(1, 2, 3));
  // One byte more would be a second pass that the image does not have.
  EXPECT_EQ(ErrorOf(PngFile({1, 1, 8, 2, 0, 0, 1}, StoredZlib(UnfilteredRows({{1, 2, 3}, {}})))),
            Message(msg::kExtraCompressedData));
}

// ---------------------------------------------------------------------------------
// Chunks.

TEST(ImportPngReader, ChunksAreReadByTypeWhateverTheirCase) {
  const Header h{2, 2, 8, 0};
  const Bytes rows = UnfilteredRows({{1, 2}, {3, 4}});
  const Bytes z = StoredZlib(rows);
  // Text after the image, an unknown ancillary chunk, the data split over IDAT chunks
  // (an empty one among them).
  Bytes split = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  for (const Bytes& c :
       {Ihdr(h), Chunk("abCd", {9, 9}), Chunk("IDAT", Bytes(z.begin(), z.begin() + 3)), Chunk("IDAT", {}),
        Chunk("IDAT", Bytes(z.begin() + 3, z.end())), Chunk("tEXt", {'a', 0, 'b'}), Chunk("IEND", {})}) {
    split.insert(split.end(), c.begin(), c.end());
  }
  TPNGGraphic g;
  ASSERT_NO_THROW(test::LoadBytesInto(g, split));
  EXPECT_EQ(g.PixelColor(1, 1), RGBColor(4, 4, 4));

  // An unknown chunk whose first letter is upper case is critical.
  EXPECT_EQ(ErrorOf(PngFile(h, z, {Chunk("ABcd", {})})), msg::kUnknownCriticalChunk);
  EXPECT_EQ(ErrorOf(PngFile(h, z, {}, {Chunk("QxYz", {1})})), msg::kUnknownCriticalChunk);

  // bKGD gives the background colour; a palette image's entry is looked up.
  TPNGGraphic rgb;
  test::LoadBytesInto(rgb, PngFile({1, 1, 8, 2}, StoredZlib(UnfilteredRows({{0, 0, 0}})),
                                   {Chunk("bKGD", {0, 10, 0, 20, 0, 30})}));
  EXPECT_EQ(rgb.BackgroundColor(), RGBColor(10, 20, 30));
  TPNGGraphic indexed;
  test::LoadBytesInto(indexed, PngFile({1, 1, 8, 3}, StoredZlib(UnfilteredRows({{0}})),
                                       {Chunk("PLTE", Palette3({0x010203, 0x040506})), Chunk("bKGD", {1})}));
  EXPECT_EQ(indexed.BackgroundColor(), 0x040506u);
}

TEST(ImportPngReader, PropertiesDescribeTheHeader) {
  const Bytes file = PngFile({300, 20, 16, 6, 0, 0, 1}, Bytes{},
                             {Chunk("tEXt", {'x', 0}), Chunk("gAMA", {0, 0, 0xB1, 0x8F})});
  TPNGGraphic g;
  TMemoryStream stream{std::span<const std::uint8_t>(file)};
  EXPECT_TRUE(g.RecognizesStream(stream));
  EXPECT_EQ(stream.Position(), 0u);
  ASSERT_TRUE(g.ReadProperties(stream, 0));
  const TImageProperties& p = g.ImageProperties();
  EXPECT_EQ(p.Width, 300u);
  EXPECT_EQ(p.Height, 20u);
  EXPECT_EQ(p.ColorScheme, ColorScheme::schRGBA);
  EXPECT_EQ(p.BitsPerSample, 16);
  EXPECT_EQ(p.SamplesPerPixel, 4);
  EXPECT_EQ(p.BitsPerPixel, 64);
  EXPECT_EQ(p.Compression, CompressionType::cmpLZ77);
  EXPECT_EQ(p.Flags, ImageFlags::kSwapped);
  EXPECT_TRUE(p.Interlaced);
  EXPECT_TRUE(p.HasAlpha);
  EXPECT_NEAR(p.FileGamma, 0.45455f, 1e-6);

  // Gray with alpha has two samples a pixel.
  TPNGGraphic ga;
  const Bytes ga_file = PngFile({1, 1, 8, 4}, Bytes{});
  TMemoryStream ga_stream{std::span<const std::uint8_t>(ga_file)};
  ASSERT_TRUE(ga.ReadProperties(ga_stream, 0));
  EXPECT_EQ(ga.ImageProperties().BitsPerPixel, 16);

  const Bytes short_file(file.begin(), file.begin() + 8);
  TMemoryStream short_stream{std::span<const std::uint8_t>(short_file)};
  EXPECT_FALSE(g.RecognizesStream(short_stream));
  EXPECT_FALSE(g.ReadProperties(short_stream, 0));
  EXPECT_EQ(g.ImageProperties().FileGamma, 1.0f);
  EXPECT_EQ(g.ImageProperties().Width, 0u);
}

// ---------------------------------------------------------------------------------
// Damaged and invalid files.

TEST(ImportPngReader, DamagedDataGivesTheLibrarysMessages) {
  const Header h{3, 2, 8, 0};
  const Bytes rows = UnfilteredRows({{1, 2, 3}, {4, 5, 6}});
  const Bytes good = PngFile(h, StoredZlib(rows));
  ASSERT_EQ(ErrorOf(good), "");

  Bytes bad_crc = good;
  bad_crc[bad_crc.size() - 16] ^= 0x40;  // the last byte of the IDAT's checksum
  EXPECT_EQ(ErrorOf(bad_crc), Message(msg::kImageCRCError));
  Bytes bad_header_crc = good;
  bad_header_crc[8 + 8 + 5] ^= 1;  // the header's bit depth
  EXPECT_EQ(ErrorOf(bad_header_crc), Message(msg::kImageCRCError));

  // Cut inside a chunk, or before IEND.
  EXPECT_EQ(ErrorOf(Bytes(good.begin(), good.end() - 20)), Message(msg::kStreamReadError));
  EXPECT_EQ(ErrorOf(Bytes(good.begin(), good.end() - 12)), Message(msg::kStreamReadError));

  // IDAT data that stops before the image does: half a stream, or no zlib stream at all.
  const Bytes z = StoredZlib(rows);
  EXPECT_EQ(ErrorOf(PngFile(h, Bytes(z.begin(), z.begin() + 9))), Message(msg::kImageCompression));
  EXPECT_EQ(ErrorOf(PngFile(h, Bytes{0x12, 0x34, 0x56, 0x78})), Message(msg::kImageCompression));
  // A stream that ends before the image, one with bytes after its end, one that holds
  // a row more than the image.
  EXPECT_EQ(ErrorOf(PngFile(h, StoredZlib(UnfilteredRows({{1, 2, 3}})))), Message(msg::kExtraCompressedData));
  EXPECT_EQ(ErrorOf(PngFile(h, StoredZlib(rows, {0}))), Message(msg::kExtraCompressedData));
  EXPECT_EQ(ErrorOf(PngFile(h, StoredZlib(UnfilteredRows({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}})))),
            Message(msg::kExtraCompressedData));
  // A complete stream repeated in a second IDAT chunk is skipped.
  EXPECT_EQ(ErrorOf(PngFile(h, z, {}, {Chunk("IDAT", z)})), "");
  // No image data at all.
  EXPECT_EQ(ErrorOf(PngFile(h, Bytes{})), Message(msg::kInvalidImage));
}

TEST(ImportPngReader, InvalidHeadersAndPalettesAreRefused) {
  const Bytes one_index = StoredZlib(UnfilteredRows({{0}}));
  const Header palette{1, 1, 8, 3};
  EXPECT_EQ(ErrorOf(PngFile(palette, one_index, {Chunk("PLTE", {})})), Message(msg::kInvalidPalette));
  EXPECT_EQ(ErrorOf(PngFile(palette, one_index, {Chunk("PLTE", Bytes(257 * 3, 1))})),
            Message(msg::kInvalidPalette));
  EXPECT_EQ(ErrorOf(PngFile(palette, one_index, {Chunk("PLTE", Bytes(10, 1))})),
            Message(msg::kInvalidPalette));
  EXPECT_EQ(ErrorOf(PngFile(palette, one_index)), Message(msg::kInvalidPalette));
  EXPECT_EQ(ErrorOf(PngFile(palette, one_index, {Chunk("PLTE", Bytes(256 * 3, 1))})), "");

  EXPECT_EQ(ErrorOf(PngFile({1, 1, 8, 0, 1}, one_index)),
            "Cannot load image. The compression scheme is not supported for PNG files.");
  for (const Header& h : {Header{1, 1, 4, 2}, Header{1, 1, 16, 3}, Header{1, 1, 2, 4}, Header{1, 1, 8, 5},
                          Header{1, 1, 3, 0}}) {
    EXPECT_EQ(ErrorOf(PngFile(h, one_index)), Message(msg::kInvalidColorFormat));
  }
  EXPECT_EQ(ErrorOf(PngFile({1, 1, 8, 0, 0, 1}, one_index)), Message(msg::kInvalidImage));
  EXPECT_EQ(ErrorOf(PngFile({1, 1, 8, 0, 0, 0, 2}, one_index)), Message(msg::kInvalidImage));
  EXPECT_EQ(ErrorOf(PngFile({0, 1, 8, 0}, one_index)), Message(msg::kInvalidImage));
  EXPECT_EQ(ErrorOf(Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0}), Message(msg::kInvalidImage));
  // A header larger than the tool handles is refused before anything is allocated, and
  // so is one whose rows the rest of the file cannot inflate to.
  EXPECT_NE(ErrorOf(PngFile({0x7FFFFFFF, 0x7FFFFFFF, 16, 6}, one_index)).find("larger than"),
            std::string::npos);
  EXPECT_EQ(ErrorOf(PngFile({20000, 20000, 8, 2}, one_index)),
            "Cannot load image. The PNG file holds too little data for a picture of 20000 x 20000 pixels.");
}

TEST(ImportPngReader, DamagedCopiesLoadOrFailCleanly) {
  QEL_SKIP_WITHOUT("convert");
  test::TempDir dir;
  MakeFiles(dir, {{"adam7.png", "/usr/bin/convert {in} -interlace PNG PNG64:{out}"},
                  {"palette.png", "/usr/bin/convert {in} -colors 16 -define png:bit-depth=4 {out}", "rgb"}});
  test::Damager damager;
  for (const fs::path& file : {dir / "adam7.png", dir / "palette.png", test::CorpusDir() / "pil123p.png",
                               test::CorpusDir() / "hopper.png"}) {
    SCOPED_TRACE(file.filename().string());
    const Bytes original = test::ReadFileBytes(file);
    for (int round = 0; round < 80; ++round) {
      SCOPED_TRACE(round);
      ErrorOf(damager.Damage(original, round));  // a library error or a load; anything else escapes
    }
  }
}

TEST(ImportPngReader, ConvertToolReadsGifAndPngWithTheImportReadersWhenAsked) {
  for (const auto& [name, info] :
       {std::pair<const char*, const char*>{"pil123p.png", "162 x 150 TPNGGraphic\n"},
        {"first_frame_transparency.gif", "50 x 50 TGIFGraphic\n"}}) {
    std::string output;
    const std::string file = test::ShellQuote((test::CorpusDir() / name).string());
    ASSERT_EQ(
        test::RunCommand(
            test::ShellQuote(test::ConvertTool().string()) + " --info " + file + " --reader import", &output),
        0)
        << output;
    EXPECT_EQ(output, info);
  }
}

}  // namespace
}  // namespace qel

namespace qel {
namespace {

TEST(PngCutShort, BothReadersKeepTheRowsTheDataHolds) {
  QEL_SKIP_WITHOUT("convert", "pillow");
  // ImageMagick's files (plain, interlaced, palette, 16-bit, with alpha) cut at several
  // points: libpng's reader and the tool's own show the rows decoded, the rest white,
  // and warn; a file cut before any row is still refused.
  test::TempDir dir;
  const std::pair<const char*, const char*> files[] = {{"plain.png", ""},
                                                       {"interlaced.png", "-interlace PNG"},
                                                       {"palette.png", "-colors 200"},
                                                       {"deep.png", "-depth 16"}};
  for (const auto& [name, options] : files) {
    const auto file = dir / name;
    ASSERT_EQ(test::RunCommand(std::string("/usr/bin/convert rose: -resize 200x150 ") + options + " " +
                               test::ShellQuote(file.string())),
              0);
    const auto complete = test::PillowDecode(file);
    ASSERT_TRUE(complete);
    const Bytes bytes = test::ReadFileBytes(file);
    for (const GraphicClass* reader : {&TPNGObject::StaticClass(), &TPNGGraphic::StaticClass()}) {
      // libpng spreads the pixels of early passes over the places of later ones (a
      // coarse preview), so only the tool's own reader shows exactly the pixels held.
      if (reader == &TPNGObject::StaticClass() && std::string(name) == "interlaced.png") continue;
      double shown_before = 0;
      for (int tenths : {3, 6, 9}) {
        SCOPED_TRACE(std::string(name) + " cut at " + std::to_string(tenths) + "/10 by " +
                     std::string(reader->Name()));
        const auto cut = dir / "cut.png";
        test::WriteFileBytes(
            cut, Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(bytes.size() * tenths / 10)));
        const double shown = test::ExpectCutCopyShowsWhatItHolds(cut, *reader, *complete);
        EXPECT_GT(shown, shown_before);
        shown_before = shown;
      }
      test::WriteFileBytes(dir / "header.png", Bytes(bytes.begin(), bytes.begin() + 60));
      EXPECT_THROW(LoadPictureFileAs((dir / "header.png").string(), *reader), Error) << reader->Name();
    }
  }
}

}  // namespace
}  // namespace qel
