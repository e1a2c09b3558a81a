// The GIF encoder: octree quantisation, the palette with the system colours,
// nearest-colour mapping, the table sorted for transparency, and the file itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "output/color_quantizer.h"
#include "output/gif_frame.h"
#include "output/gif_palette.h"
#include "output/picture_writers.h"
#include "output/save_picture_file.h"
#include "output/system_palette.h"
#include "support/test_support.h"
#include "unit/output/writer_helpers.h"

namespace qel {
namespace {

TRGBTriple Triple(TColor c) {
  return {RedOf(c), GreenOf(c), BlueOf(c)};
}
TColor ColorOf(const TRGBTriple& t) {
  return RGBColor(t.red, t.green, t.blue);
}

// The colour a pixel of the frame stands for.
TColor FrameColor(const TGIFFrame& frame, int x, int y) {
  return ColorOf(
      frame.color_map.colors[frame.pixels[std::size_t(y) * std::size_t(frame.width) + std::size_t(x)]]);
}

// The order in which the octree visits a colour: its bits interleaved from the top,
// red before green before blue at each level.
std::uint32_t DepthFirstKey(TColor c) {
  std::uint32_t key = 0;
  for (int bit = 7; bit >= 0; --bit) {
    key = key << 3 | ((RedOf(c) >> bit) & 1u) << 2 | ((GreenOf(c) >> bit) & 1u) << 1 |
          ((BlueOf(c) >> bit) & 1u);
  }
  return key;
}

// What the GIF file holds, read block by block.
struct GifLayout {
  std::string version;
  int width = 0, height = 0, frames = 0, transparent_index = -1;
  bool global_table = false, graphic_control = false, local_table = false, interlaced = false, sorted = false;
  bool trailer = false;
  std::vector<std::uint8_t> local_colors;  // red, green, blue triples
};

GifLayout ReadGifLayout(const std::vector<std::uint8_t>& b) {
  GifLayout g;
  if (b.size() < 13 || b[0] != 'G') return g;
  g.version.assign(b.begin() + 3, b.begin() + 6);
  g.width = b[6] | b[7] << 8;
  g.height = b[8] | b[9] << 8;
  g.global_table = (b[10] & 0x80) != 0;
  std::size_t at = 13;
  auto skip_sub_blocks = [&] {
    while (at < b.size() && b[at] != 0) at += 1 + b[at];
    ++at;
  };
  while (at < b.size() && !g.trailer && !g.global_table) {
    const std::uint8_t introducer = b[at++];
    if (introducer == 0x3B) {
      g.trailer = at == b.size();
    } else if (introducer == 0x21 && at + 6 < b.size()) {
      if (b[at] == 0xF9 && (b[at + 2] & 1)) g.transparent_index = b[at + 5];
      g.graphic_control = g.graphic_control || b[at] == 0xF9;
      ++at;
      skip_sub_blocks();
    } else if (introducer == 0x2C && at + 9 < b.size()) {
      ++g.frames;
      EXPECT_EQ(b[at] | b[at + 1] | b[at + 2] | b[at + 3], 0);  // at (0, 0)
      EXPECT_EQ(b[at + 4] | b[at + 5] << 8, g.width);
      EXPECT_EQ(b[at + 6] | b[at + 7] << 8, g.height);
      const std::uint8_t packed = b[at + 8];
      g.local_table = (packed & 0x80) != 0;
      g.interlaced = (packed & 0x40) != 0;
      g.sorted = (packed & 0x20) != 0;
      at += 9;
      const std::size_t size = g.local_table ? 3 * (std::size_t(2) << (packed & 7)) : 0;
      if (at + size > b.size()) break;
      g.local_colors.assign(b.begin() + long(at), b.begin() + long(at + size));
      at += size + 1;  // and the LZW minimum code size
      skip_sub_blocks();
    } else {
      break;
    }
  }
  return g;
}

GifLayout EncodeGif(const Picture& picture) {
  TMemoryStream stream;
  WriteGif(picture, stream);
  return ReadGifLayout(stream.TakeBytes());
}

std::vector<std::uint8_t> TableBytes(const TGIFColorMap& map, int count) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < count; ++i)
    bytes.insert(bytes.end(), {map.colors[std::size_t(i)].red, map.colors[std::size_t(i)].green,
                               map.colors[std::size_t(i)].blue});
  return bytes;
}

TEST(WriterGif, PaletteOfFewColours) {
  // Ten colours: entries 10 to 19 in depth-first order, black up to 245, the system
  // colours at both ends, every pixel exactly its colour.
  const std::vector<TColor> colors = {0x102030, 0xF0E0D0, 0x00FF00, 0x808080, 0x000080,
                                      0x010203, 0xABCDEF, 0x0000FF, 0x123456, 0xFEDCBA};
  Picture picture = NewPicture(10, 3, kNoColor);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 10; ++x) picture.SetPixel(x, y, colors[std::size_t((x + 3 * y) % 10)]);
  const TGIFFrame frame = MakeGifFrame(picture);
  const auto& system = SystemPaletteColors();
  std::vector<TColor> expected = colors;
  std::sort(expected.begin(), expected.end(),
            [](TColor a, TColor b) { return DepthFirstKey(a) < DepthFirstKey(b); });
  for (int i = 0; i < 256; ++i) {
    const TRGBTriple want = i < 10    ? system[std::size_t(i)]
                            : i < 20  ? Triple(expected[std::size_t(i - 10)])
                            : i < 246 ? TRGBTriple{}
                                      : system[std::size_t(i - 236)];
    EXPECT_EQ(frame.color_map.colors[std::size_t(i)], want) << i;
  }
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(FrameColor(frame, x, y), picture.Pixel(x, y)) << x << "," << y;
  // Dark red is also the system palette's entry 1, which wins the tie.
  EXPECT_EQ(frame.pixels[4], 1);

  // One colour: entry 10, black after it.
  const TGIFFrame single = MakeGifFrame(NewPicture(5, 4, 0x3366AA));
  EXPECT_EQ(single.color_map.colors[10], Triple(0x3366AA));
  EXPECT_EQ(single.color_map.colors[11], TRGBTriple{});
  EXPECT_EQ(std::count(single.pixels.begin(), single.pixels.end(), 10), 20);
}

TEST(WriterGif, ReductionMergesTheNewestDeepestNodeIntoATruncatedAverage) {
  // 235 colours that each have a parent of their own at the deepest level, then two
  // that share one: the 237th leaf makes that newest parent a leaf holding both.
  std::vector<TColor> pixels;
  for (int i = 0; i < 235; ++i)
    pixels.push_back(RGBColor(std::uint8_t(2 * (i % 128)), std::uint8_t(2 * (i / 128)), 0));
  const std::set<TColor> exact(pixels.begin(), pixels.end());
  pixels.insert(pixels.end(), {RGBColor(100, 100, 100), RGBColor(101, 101, 101), RGBColor(101, 101, 101)});
  TColorQuantizer quantizer(236);
  quantizer.AddPicture(test::PictureFromColors({pixels}));
  EXPECT_EQ(quantizer.LeafCount(), 236);
  const std::vector<TRGBTriple> table = quantizer.ColorTable();
  ASSERT_EQ(table.size(), 236u);
  std::set<TColor> found;
  for (std::size_t i = 0; i < table.size(); ++i) {
    found.insert(ColorOf(table[i]));
    if (i > 0) {
      EXPECT_LT(DepthFirstKey(ColorOf(table[i - 1])), DepthFirstKey(ColorOf(table[i]))) << i;
    }
  }
  // (100 + 101 + 101) div 3 = 100 in every channel: truncated, not rounded.
  EXPECT_TRUE(found.count(RGBColor(100, 100, 100)));
  EXPECT_FALSE(found.count(RGBColor(101, 101, 101)));
  EXPECT_TRUE(std::includes(found.begin(), found.end(), exact.begin(), exact.end()));
}

TEST(WriterGif, ManyColoursStayWithinTheLimitAndPeersDecodeTheMapping) {
  QEL_SKIP_WITHOUT("pillow", "convert");
  Picture picture = NewPicture(64, 64, kNoColor);  // 4096 colours
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      picture.SetPixel(x, y,
                       RGBColor(std::uint8_t(17 * (x % 16)), std::uint8_t(17 * (y % 16)),
                                std::uint8_t(17 * ((x / 16) + 4 * (y / 16)))));
  TColorQuantizer quantizer(236);
  quantizer.AddPicture(picture);
  const std::vector<TRGBTriple> table = quantizer.ColorTable();
  EXPECT_LE(table.size(), 236u);
  const TGIFFrame frame = MakeGifFrame(picture);
  EXPECT_TRUE(std::equal(table.begin(), table.end(), frame.color_map.colors.begin() + 10));
  for (std::size_t i = 10 + table.size(); i < 246; ++i)
    EXPECT_EQ(frame.color_map.colors[i], TRGBTriple{}) << i;

  Picture mapped = NewPicture(64, 64, kNoColor);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) mapped.SetPixel(x, y, FrameColor(frame, x, y));
  EXPECT_LE(test::Compare(picture, mapped).max_channel_difference, 48);
  test::TempDir dir;
  const std::string path = SavePictureFile((dir / "many.gif").string(), picture, false);
  for (const auto& decoded : {test::PillowDecode(path), test::MagickDecode(path)}) {
    ASSERT_TRUE(decoded);
    EXPECT_EQ(test::Compare(*decoded, mapped).differing_pixels, 0u);
  }
}

TEST(WriterGif, NearestEntryAgreesWithThePlainSearch) {
  TGIFColorMap map = OptimizedPaletteWithSystemColors(test::NoisePicture(40, 40, 3));
  // Ties: equal colours and equal distances go to the lower index.
  map.colors[30] = map.colors[200] = TRGBTriple{9, 9, 9};
  map.colors[31] = TRGBTriple{60, 0, 0};
  map.colors[32] = TRGBTriple{62, 0, 0};
  TNearestColorMapper mapper(map);
  EXPECT_EQ(mapper.Nearest(9, 9, 9), 30);
  EXPECT_EQ(mapper.Nearest(61, 0, 0), 31);
  // Both edges of every cell of the mapper's grid, then scattered colours.
  std::vector<std::uint8_t> edges;
  for (int v = 0; v < 256; v += 8) edges.insert(edges.end(), {std::uint8_t(v), std::uint8_t(v + 7)});
  for (auto r : edges)
    for (auto g : edges)
      for (auto b : edges)
        ASSERT_EQ(mapper.Nearest(r, g, b), mapper.Search(r, g, b)) << +r << "," << +g << "," << +b;
  std::mt19937 rng(11);
  for (int i = 0; i < 100000; ++i) {
    const std::uint32_t c = rng();
    const std::uint8_t r = std::uint8_t(c), g = std::uint8_t(c >> 8), b = std::uint8_t(c >> 16);
    ASSERT_EQ(mapper.Nearest(r, g, b), mapper.Search(r, g, b)) << +r << "," << +g << "," << +b;
  }
}

TEST(WriterGif, OptimisedTableIsSortedByUseWithoutUnusedEntries) {
  TGIFColorMap map;
  map.count = 5;
  for (int i = 0; i < 5; ++i) map.colors[std::size_t(i)] = TRGBTriple{std::uint8_t(i), 0, 0};
  std::vector<std::uint8_t> pixels = {3, 1, 3, 3, 1, 4, 3};
  OptimizeColorTable(map, pixels);
  EXPECT_TRUE(map.optimized);
  EXPECT_EQ(TableBytes(map, map.count), (std::vector<std::uint8_t>{3, 0, 0, 1, 0, 0, 4, 0, 0}));
  EXPECT_EQ(pixels, (std::vector<std::uint8_t>{0, 1, 0, 0, 1, 2, 0}));
  // Already in order: nothing moves, but the unused tail still goes.
  map.count = 4;
  pixels = {0, 0, 1};
  OptimizeColorTable(map, pixels);
  EXPECT_EQ(map.count, 2);
  EXPECT_EQ(pixels, (std::vector<std::uint8_t>{0, 0, 1}));
}

TEST(WriterGif, OpaquePictureIsVersion87aWithTheWholePalette) {
  QEL_SKIP_WITHOUT("pillow", "convert");
  Picture picture = test::NoisePicture(20, 10, 8);
  picture.SetPixel(3, 3, 0x0000FF);
  const GifLayout gif = EncodeGif(picture);
  EXPECT_EQ(gif.version, "87a");
  EXPECT_EQ(gif.width, 20);
  EXPECT_EQ(gif.height, 10);
  EXPECT_FALSE(gif.global_table);
  EXPECT_FALSE(gif.graphic_control);
  EXPECT_EQ(gif.frames, 1);
  EXPECT_TRUE(gif.local_table);
  EXPECT_FALSE(gif.interlaced);
  EXPECT_FALSE(gif.sorted);
  EXPECT_TRUE(gif.trailer);
  EXPECT_EQ(gif.local_colors, TableBytes(OptimizedPaletteWithSystemColors(picture), 256));
  // At most 236 colours come back exactly, red staying red.
  test::TempDir dir;
  const std::string path = SavePictureFile((dir / "noise.gif").string(), picture, false);
  for (const auto& decoded : {test::PillowDecode(path), test::MagickDecode(path)}) {
    ASSERT_TRUE(decoded);
    EXPECT_EQ(test::Compare(*decoded, picture).differing_pixels, 0u);
    EXPECT_EQ(decoded->Pixel(3, 3), 0x0000FFu);
  }
}

TEST(WriterGif, TransparentPictureGetsASortedTableAndABlackTransparentEntry) {
  QEL_SKIP_WITHOUT("pillow");
  // White (the bottom-left colour) is used most, then blue, then a single grey.
  Picture picture = NewPicture(6, 4, 0xFFFFFF);
  for (int x = 0; x < 5; ++x) picture.SetPixel(x, 0, 0xFF0000);
  picture.SetPixel(2, 2, 0x777777);
  picture.SetTransparent(true);
  const TGIFFrame frame = MakeGifFrame(picture);
  EXPECT_TRUE(frame.color_map.optimized);
  EXPECT_EQ(TableBytes(frame.color_map, frame.color_map.count),
            (std::vector<std::uint8_t>{255, 255, 255, 0, 0, 255, 0x77, 0x77, 0x77, 0, 0, 0}));
  EXPECT_EQ(frame.transparent_index, 3);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      const TColor expected = picture.Pixel(x, y) == 0xFFFFFF ? 0 : picture.Pixel(x, y);
      EXPECT_EQ(frame.pixels[std::size_t(y * 6 + x)] == 3, expected == 0) << x << "," << y;
      EXPECT_EQ(FrameColor(frame, x, y), expected) << x << "," << y;
    }
  }
  test::TempDir dir;
  const std::string path = SavePictureFile((dir / "t.gif").string(), picture, false);
  const GifLayout gif = ReadGifLayout(test::ReadFileBytes(path));
  EXPECT_EQ(gif.version, "89a");
  EXPECT_EQ(gif.transparent_index, 3);
  EXPECT_TRUE(gif.sorted);
  EXPECT_EQ(gif.local_colors, TableBytes(frame.color_map, 4));  // four entries: a power of two already
  EXPECT_TRUE(gif.trailer);
  // The peer sees white where the picture was transparent, the colours elsewhere.
  const auto decoded = test::PillowDecode(path);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(test::Compare(*decoded, picture).differing_pixels, 0u);
  EXPECT_EQ(test::PillowAlpha(path, 0, 3), 0);
}

TEST(WriterGif, TransparencyNeedsRoomInTheTable) {
  // Noise that happens to use all 256 palette entries: no room for a transparent one.
  Picture picture = test::NoisePicture(64, 64, 5);
  const TGIFFrame opaque = MakeGifFrame(picture);
  ASSERT_EQ(std::set<std::uint8_t>(opaque.pixels.begin(), opaque.pixels.end()).size(), 256u);
  picture.SetTransparent(true);
  const GifLayout full = EncodeGif(picture);
  EXPECT_EQ(full.version, "89a");
  EXPECT_TRUE(full.sorted);
  EXPECT_FALSE(full.graphic_control);
  EXPECT_EQ(full.local_colors.size(), 768u);

  // Two system colours whose table is in order of use already: the unused entries go
  // and the transparent entry fits.
  Picture ordered = NewPicture(5, 3, 0x000000);
  ordered.SetPixel(0, 2, 0x000080);
  ordered.SetPixel(1, 2, 0x000080);
  ordered.SetTransparent(true);
  EXPECT_EQ(MakeGifFrame(ordered).color_map.count, 3);
  const GifLayout small = EncodeGif(ordered);
  EXPECT_EQ(small.transparent_index, 2);
  EXPECT_EQ(small.local_colors, (std::vector<std::uint8_t>{0, 0, 0, 128, 0, 0, 0, 0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace qel
