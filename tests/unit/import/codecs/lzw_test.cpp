// The two LZW decoders: where their code widths grow, how they end, strings cut at the
// output size, and agreement with libtiff's and ImageMagick's encoders.
#include <gtest/gtest.h>

#include <fstream>

#include "import/codecs/gif_lzw_decoder.h"
#include "import/codecs/tiff_lzw_decoder.h"
#include "support/test_support.h"
#include "unit/import/codecs/test_util.h"
#include "unit/import/codecs/tiff_strips.h"

namespace qel {
namespace {

using test::Bytes;
using test::DecodeAll;

// Packs codes of given widths, most significant bit first (TIFF) or least significant
// bit first (GIF).
class CodeWriter {
 public:
  explicit CodeWriter(bool msb_first) : msb_first_(msb_first) {}
  void Put(unsigned code, unsigned width) {
    for (unsigned i = 0; i < width; ++i) {
      const unsigned bit = msb_first_ ? (code >> (width - 1 - i)) & 1 : (code >> i) & 1;
      if (count_ % 8 == 0) bytes_.push_back(0);
      if (bit) bytes_.back() |= msb_first_ ? 0x80 >> (count_ % 8) : 1 << (count_ % 8);
      ++count_;
    }
  }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  bool msb_first_;
  std::vector<std::uint8_t> bytes_;
  std::size_t count_ = 0;
};

std::vector<std::uint8_t> Counting(unsigned n) {
  std::vector<std::uint8_t> v;
  for (unsigned i = 0; i < n; ++i) v.push_back(static_cast<std::uint8_t>(i));
  return v;
}

// After a clear code, 254 literal codes fill the table up to code 510; the 255th code
// is then read with 10 bits. GIF reads one more 9-bit code first.
TEST(CodecsLZW, TiffWidensOneCodeEarlierThanGif) {
  CodeWriter tiff(true);
  tiff.Put(256, 9);
  for (unsigned i = 0; i < 254; ++i) tiff.Put(i, 9);
  tiff.Put(7, 10);
  tiff.Put(257, 10);
  TTIFFLZWDecoder t;
  auto expected = Counting(254);
  expected.push_back(7);
  EXPECT_EQ(DecodeAll(t, tiff.Bytes(), expected.size()), expected);

  CodeWriter gif(false);
  gif.Put(256, 9);
  for (unsigned i = 0; i < 255; ++i) gif.Put(i, 9);
  gif.Put(7, 10);
  gif.Put(9, 10);
  TGIFLZWDecoder g(8);
  expected = Counting(255);
  expected.push_back(7);
  expected.push_back(9);
  EXPECT_EQ(DecodeAll(g, gif.Bytes(), expected.size()), expected);
}

TEST(CodecsLZW, TheEndCodeStopsTiffButNotGif) {
  CodeWriter tiff(true);
  for (unsigned code : {256u, 65u, 257u, 66u}) tiff.Put(code, 9);
  TTIFFLZWDecoder t;
  EXPECT_EQ(DecodeAll(t, tiff.Bytes(), 2), Bytes({65, 0}));

  CodeWriter gif(false);
  for (unsigned code : {4u, 1u, 5u, 2u}) gif.Put(code, 3);
  TGIFLZWDecoder g(2);
  EXPECT_EQ(DecodeAll(g, gif.Bytes(), 2), Bytes({1, 2}));
}

// Strings whose code is the next free one (previous string plus its own first byte)
// grow by one byte each; the output size cuts the last one.
TEST(CodecsLZW, RunawayStringsAreCutAtTheOutputSize) {
  CodeWriter tiff(true);
  for (unsigned code : {256u, 65u, 258u, 259u, 260u, 261u}) tiff.Put(code, 9);
  TTIFFLZWDecoder t;
  EXPECT_EQ(DecodeAll(t, tiff.Bytes(), 15), test::Repeat(65, 15));
  EXPECT_EQ(DecodeAll(t, tiff.Bytes(), 8), test::Repeat(65, 8));

  CodeWriter gif(false);
  for (unsigned code : {4u, 1u, 6u, 7u}) gif.Put(code, 3);
  gif.Put(8, 4);
  TGIFLZWDecoder g(2);
  EXPECT_EQ(DecodeAll(g, gif.Bytes(), 10), test::Repeat(1, 10));
  EXPECT_EQ(DecodeAll(g, gif.Bytes(), 4), test::Repeat(1, 4));
}

TEST(CodecsLZW, InvalidCodesAreSkipped) {
  // A code beyond the next free one, and a first code after a clear that is no byte.
  CodeWriter tiff(true);
  for (unsigned code : {256u, 65u, 300u, 66u, 256u, 259u, 67u}) tiff.Put(code, 9);
  TTIFFLZWDecoder t;
  EXPECT_EQ(DecodeAll(t, tiff.Bytes(), 3), Bytes({65, 66, 67}));
  // Initial code sizes the table cannot hold decode nothing.
  TGIFLZWDecoder too_large(12);
  EXPECT_EQ(DecodeAll(too_large, Bytes({0xFF, 0xFF}), 2), Bytes({0, 0}));
}

// With all 4096 entries taken and no clear code (a deferred clear), codes still mean
// the strings they were given: code 4095 is the last entry added, not a new one.
TEST(CodecsLZW, AFullGifTableKeepsItsEntries) {
  CodeWriter gif(false);
  const unsigned clear = 4;
  unsigned width = 3, next_free = 6;
  gif.Put(clear, width);
  std::vector<std::uint8_t> expected;
  unsigned codes = 0;
  while (next_free < 4096) {
    const unsigned literal = 1 + codes % 2;  // 1, 2, 1, 2, ...: entries "12" and "21"
    gif.Put(literal, width);
    expected.push_back(static_cast<std::uint8_t>(literal));
    if (codes++ > 0) {
      if (next_free == (1u << width) - 1 && width < 12) ++width;
      ++next_free;
    }
  }
  // Entry 4095 was added by the last literal: the one before it followed by it.
  const unsigned last = expected.back();
  gif.Put(4095, 12);
  expected.push_back(static_cast<std::uint8_t>(3 - last));
  expected.push_back(static_cast<std::uint8_t>(last));
  TGIFLZWDecoder g(2);
  EXPECT_EQ(DecodeAll(g, gif.Bytes(), expected.size()), expected);
}

TEST(CodecsLZW, TiffAgreesWithLibtiff) {
  QEL_SKIP_WITHOUT("tiffcp");
  test::TempDir dir;
  const std::pair<std::filesystem::path, std::string> cases[] = {
      {test::CorpusDir() / "hopper.tif", "-c lzw -r 64"},   // big strips: the table fills and clears
      {test::CorpusDir() / "8bit.s.tif", "-c lzw -r 7"},    // small strips
      {test::CorpusDir() / "hopper_lzw.tif", ""},           // another encoder's strips, differenced
      {test::CorpusDir() / "hopper.tif", "-c lzw:2 -r 5"},  // differenced
      {test::CorpusDir() / "hopper_g4_500.tif", "-c lzw"},  // bilevel, one strip
  };
  for (const auto& [input, options] : cases) {
    const auto packed_file = options.empty() ? input : dir / "packed.tif";
    if (!options.empty()) {
      ASSERT_TRUE(test::Tiffcp(options, input, packed_file)) << input;
    }
    ASSERT_TRUE(test::Tiffcp("-c none", packed_file, dir / "plain.tif")) << input;
    const auto packed = test::ReadTiffStrips(packed_file);
    const auto plain = test::ReadTiffStrips(dir / "plain.tif");
    ASSERT_TRUE(packed && plain) << input;
    ASSERT_EQ(packed->compression, 5u);
    ASSERT_EQ(packed->rows_per_strip, plain->rows_per_strip) << input;
    TTIFFLZWDecoder d;
    for (std::size_t i = 0; i < packed->strips.size(); ++i) {
      auto decoded = DecodeAll(d, packed->strips[i], plain->strips[i].size());
      if (packed->predictor == 2) test::UndoHorizontalDifferencing(decoded, *packed);
      ASSERT_EQ(decoded, plain->strips[i]) << input << " strip " << i;
    }
  }
}

struct GifImage {
  unsigned width = 0, height = 0, code_size = 0;
  bool interlaced = false;
  std::vector<std::uint8_t> data;  // the sub-blocks joined
};

// The first image of a GIF file.
std::optional<GifImage> ReadFirstGifImage(const std::vector<std::uint8_t>& f) {
  std::size_t at = 13;
  if (f.size() < at) return std::nullopt;
  if (f[10] & 0x80) at += 3u << ((f[10] & 7) + 1);
  auto skip_blocks = [&] {
    while (at < f.size() && f[at] != 0) at += f[at] + 1;
    ++at;
  };
  while (at < f.size() && f[at] == 0x21) {
    at += 2;
    skip_blocks();
  }
  if (at + 10 > f.size() || f[at] != 0x2C) return std::nullopt;
  GifImage g;
  g.width = f[at + 5] | f[at + 6] << 8;
  g.height = f[at + 7] | f[at + 8] << 8;
  const std::uint8_t packed = f[at + 9];
  g.interlaced = packed & 0x40;
  at += 10;
  if (packed & 0x80) at += 3u << ((packed & 7) + 1);
  if (at >= f.size()) return std::nullopt;
  g.code_size = f[at++];
  while (at < f.size() && f[at] != 0) {
    const std::size_t n = f[at];
    if (at + 1 + n > f.size()) return std::nullopt;
    g.data.insert(g.data.end(), f.begin() + at + 1, f.begin() + at + 1 + n);
    at += n + 1;
  }
  return g;
}

// Pictures of 256 and of 4 colours written by ImageMagick: the decoded indices are the
// palette indices Pillow reads from the same files.
TEST(CodecsLZW, GifAgreesWithPillow) {
  QEL_SKIP_WITHOUT("convert", "pillow");
  test::TempDir dir;
  for (const char* colors : {"256", "4", "2"}) {
    const auto gif = dir / "picture.gif";
    ASSERT_EQ(
        test::RunCommand("/usr/bin/convert " + test::ShellQuote((test::CorpusDir() / "hopper.tif").string()) +
                         " -colors " + colors + " +repage " + test::ShellQuote(gif.string())),
        0);
    const auto indices = dir / "indices.bin";
    std::string log;
    ASSERT_EQ(test::RunCommand(
                  "/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
                  "assert im.mode == 'P', im.mode; open(sys.argv[2], 'wb').write(im.tobytes())\" " +
                      test::ShellQuote(gif.string()) + " " + test::ShellQuote(indices.string()),
                  &log),
              0)
        << log;
    const auto image = ReadFirstGifImage(test::ReadFileBytes(gif));
    ASSERT_TRUE(image) << colors;
    ASSERT_FALSE(image->interlaced);
    const auto expected = test::ReadFileBytes(indices);
    ASSERT_EQ(expected.size(), std::size_t{image->width} * image->height);
    TGIFLZWDecoder d(image->code_size);
    EXPECT_EQ(DecodeAll(d, image->data, expected.size()), expected) << colors << " colours";
  }
}

}  // namespace
}  // namespace qel
