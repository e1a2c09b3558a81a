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
#include "writer_test_helpers.h"

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

void ExpectSystemColoursAtBothEnds(const TGIFColorMap& map) {
  const auto& system = SystemPaletteColors();
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(map.colors[std::size_t(i)], system[std::size_t(i)]) << i;
    EXPECT_EQ(map.colors[std::size_t(246 + i)], system[std::size_t(10 + i)]) << 246 + i;
  }
}

std::vector<std::uint8_t> EncodeGif(const Picture& picture) {
  TMemoryStream stream;
  WriteGif(picture, stream);
  return stream.TakeBytes();
}

TEST(WriterGif, TenColoursFollowTheSystemColoursInDepthFirstOrder) {
  const std::vector<TColor> colors = {0x102030, 0xF0E0D0, 0x00FF00, 0x808080, 0x000080,
                                      0x010203, 0xABCDEF, 0x0000FF, 0x123456, 0xFEDCBA};
  Picture picture = NewPicture(10, 3, kNoColor);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 10; ++x) picture.SetPixel(x, y, colors[std::size_t((x + 3 * y) % 10)]);

  const TGIFFrame frame = MakeGifFrame(picture);
  const TGIFColorMap& map = frame.color_map;
  EXPECT_EQ(map.count, 256);
  EXPECT_FALSE(map.optimized);
  ExpectSystemColoursAtBothEnds(map);
  std::vector<TColor> expected = colors;
  std::sort(expected.begin(), expected.end(),
            [](TColor a, TColor b) { return DepthFirstKey(a) < DepthFirstKey(b); });
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(ColorOf(map.colors[std::size_t(10 + i)]), expected[std::size_t(i)]) << i;
  for (int i = 20; i < 246; ++i) EXPECT_EQ(map.colors[std::size_t(i)], TRGBTriple{}) << i;
  // Every pixel keeps exactly its colour; a system colour of the same value wins the
  // tie by its lower index.
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(FrameColor(frame, x, y), picture.Pixel(x, y)) << x << "," << y;
  EXPECT_EQ(frame.pixels[4], 1);  // dark red, the system palette's entry 1
}

TEST(WriterGif, OneColourPicture) {
  const TGIFFrame frame = MakeGifFrame(NewPicture(5, 4, 0x3366AA));
  EXPECT_EQ(frame.color_map.colors[10], Triple(0x3366AA));
  for (int i = 11; i < 246; ++i) EXPECT_EQ(frame.color_map.colors[std::size_t(i)], TRGBTriple{}) << i;
  EXPECT_TRUE(std::all_of(frame.pixels.begin(), frame.pixels.end(), [](std::uint8_t i) { return i == 10; }));
}

TEST(WriterGif, ReductionMergesTheNewestDeepestNodeIntoATruncatedAverage) {
  // 235 colours that each have a parent of their own at the deepest level, then two
  // that share one: the 237th leaf makes that newest parent a leaf holding both.
  std::vector<TColor> pixels;
  std::set<TColor> exact;
  for (int i = 0; i < 235; ++i) {
    const TColor c = RGBColor(std::uint8_t(2 * (i % 128)), std::uint8_t(2 * (i / 128)), 0);
    pixels.push_back(c);
    exact.insert(c);
  }
  pixels.push_back(RGBColor(100, 100, 100));
  pixels.push_back(RGBColor(101, 101, 101));
  pixels.push_back(RGBColor(101, 101, 101));
  Picture picture = test::PictureFromColors({pixels});

  TColorQuantizer quantizer(236);
  quantizer.AddPicture(picture);
  EXPECT_EQ(quantizer.LeafCount(), 236);
  const std::vector<TRGBTriple> table = quantizer.ColorTable();
  ASSERT_EQ(table.size(), 236u);
  std::set<TColor> found;
  for (const auto& t : table) found.insert(ColorOf(t));
  // (100 + 101 + 101) div 3 = 100 in every channel: truncated, not rounded.
  EXPECT_TRUE(found.count(RGBColor(100, 100, 100)));
  EXPECT_FALSE(found.count(RGBColor(101, 101, 101)));
  for (TColor c : exact) EXPECT_TRUE(found.count(c)) << std::hex << c;
  // The table runs in depth-first order.
  for (std::size_t i = 1; i < table.size(); ++i) {
    EXPECT_LT(DepthFirstKey(ColorOf(table[i - 1])), DepthFirstKey(ColorOf(table[i]))) << i;
  }
}

TEST(WriterGif, ManyColoursStayWithinTheLimitAndDecodeAsMapped) {
  // 4096 colours: 16 levels of each channel.
  Picture picture = NewPicture(64, 64, kNoColor);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      picture.SetPixel(x, y,
                       RGBColor(std::uint8_t(17 * (x % 16)), std::uint8_t(17 * (y % 16)),
                                std::uint8_t(17 * ((x / 16) + 4 * (y / 16)))));
  TColorQuantizer quantizer(236);
  quantizer.AddPicture(picture);
  const int leaves = quantizer.LeafCount();
  EXPECT_LE(leaves, 236);
  EXPECT_GT(leaves, 100);

  const TGIFFrame frame = MakeGifFrame(picture);
  ExpectSystemColoursAtBothEnds(frame.color_map);
  const std::vector<TRGBTriple> table = quantizer.ColorTable();
  for (int i = 0; i < leaves; ++i)
    EXPECT_EQ(frame.color_map.colors[std::size_t(10 + i)], table[std::size_t(i)]);
  for (int i = 10 + leaves; i < 246; ++i)
    EXPECT_EQ(frame.color_map.colors[std::size_t(i)], TRGBTriple{}) << i;

  Picture mapped = NewPicture(64, 64, kNoColor);
  int worst = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      mapped.SetPixel(x, y, FrameColor(frame, x, y));
      const TColor a = picture.Pixel(x, y), b = mapped.Pixel(x, y);
      worst = std::max({worst, std::abs(RedOf(a) - RedOf(b)), std::abs(GreenOf(a) - GreenOf(b)),
                        std::abs(BlueOf(a) - BlueOf(b))});
    }
  }
  EXPECT_LE(worst, 48);

  test::TempDir dir;
  const std::string path = SavePictureFile((dir / "many.gif").string(), picture, false);
  for (bool pillow : {true, false}) {
    const auto decoded = pillow ? test::PillowDecode(path) : test::MagickDecode(path);
    ASSERT_TRUE(decoded) << pillow;
    EXPECT_EQ(test::Compare(*decoded, mapped).differing_pixels, 0u) << pillow;
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
  std::vector<int> edges;
  for (int v = 0; v < 256; v += 8) edges.insert(edges.end(), {v, v + 7});
  for (int r : edges) {
    for (int g : edges) {
      for (int b : edges) {
        const std::uint8_t r8 = std::uint8_t(r), g8 = std::uint8_t(g), b8 = std::uint8_t(b);
        ASSERT_EQ(mapper.Nearest(r8, g8, b8), mapper.Search(r8, g8, b8)) << r << "," << g << "," << b;
      }
    }
  }
  std::mt19937 rng(11);
  for (int i = 0; i < 100000; ++i) {
    const std::uint32_t c = rng();
    const std::uint8_t r = std::uint8_t(c), g = std::uint8_t(c >> 8), b = std::uint8_t(c >> 16);
    ASSERT_EQ(mapper.Nearest(r, g, b), mapper.Search(r, g, b)) << int(r) << "," << int(g) << "," << int(b);
  }
}

TEST(WriterGif, OptimisedTableIsSortedByUseWithoutUnusedEntries) {
  TGIFColorMap map;
  map.count = 5;
  for (int i = 0; i < 5; ++i) map.colors[std::size_t(i)] = TRGBTriple{std::uint8_t(i), 0, 0};
  std::vector<std::uint8_t> pixels = {3, 1, 3, 3, 1, 4, 3};
  OptimizeColorTable(map, pixels);
  EXPECT_TRUE(map.optimized);
  ASSERT_EQ(map.count, 3);
  EXPECT_EQ(map.colors[0].red, 3);
  EXPECT_EQ(map.colors[1].red, 1);
  EXPECT_EQ(map.colors[2].red, 4);
  EXPECT_EQ(pixels, (std::vector<std::uint8_t>{0, 1, 0, 0, 1, 2, 0}));

  // Already in order: nothing moves, but the unused tail still goes.
  TGIFColorMap ordered;
  ordered.count = 4;
  for (int i = 0; i < 4; ++i) ordered.colors[std::size_t(i)] = TRGBTriple{0, std::uint8_t(i), 0};
  std::vector<std::uint8_t> same = {0, 0, 1};
  OptimizeColorTable(ordered, same);
  EXPECT_EQ(ordered.count, 2);
  EXPECT_EQ(same, (std::vector<std::uint8_t>{0, 0, 1}));

  TGIFColorMap single;
  single.count = 1;
  std::vector<std::uint8_t> one = {0};
  OptimizeColorTable(single, one);
  EXPECT_FALSE(single.optimized);
  EXPECT_EQ(single.count, 1);
}

TEST(WriterGif, OpaquePictureIsVersion87aWithTheWholePalette) {
  const Picture picture = test::NoisePicture(13, 7, 5);
  const std::vector<std::uint8_t> bytes = EncodeGif(picture);
  const auto layout = test::ReadGifLayout(bytes);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->version, "87a");
  EXPECT_EQ(layout->screen_width, 13);
  EXPECT_EQ(layout->screen_height, 7);
  EXPECT_FALSE(layout->global_table);
  EXPECT_FALSE(layout->graphic_control);
  EXPECT_EQ(layout->frames, 1);
  EXPECT_EQ(layout->left, 0);
  EXPECT_EQ(layout->top, 0);
  EXPECT_EQ(layout->width, 13);
  EXPECT_EQ(layout->height, 7);
  EXPECT_TRUE(layout->local_table);
  EXPECT_FALSE(layout->interlaced);
  EXPECT_FALSE(layout->sorted);
  EXPECT_TRUE(layout->trailer);
  EXPECT_FALSE(layout->trailing_bytes);
  const TGIFColorMap palette = OptimizedPaletteWithSystemColors(picture);
  ASSERT_EQ(layout->local_colors.size(), 768u);
  for (int i = 0; i < 256; ++i) {
    const TRGBTriple& c = palette.colors[std::size_t(i)];
    EXPECT_EQ(
        (TRGBTriple{layout->local_colors[3 * std::size_t(i)], layout->local_colors[3 * std::size_t(i) + 1],
                    layout->local_colors[3 * std::size_t(i) + 2]}),
        c)
        << i;
  }
  // At most 236 colours come back exactly, red staying red.
  test::TempDir dir;
  Picture red = test::NoisePicture(20, 10, 8);
  red.SetPixel(3, 3, 0x0000FF);
  const std::string path = SavePictureFile((dir / "noise.gif").string(), red, false);
  for (bool pillow : {true, false}) {
    const auto decoded = pillow ? test::PillowDecode(path) : test::MagickDecode(path);
    ASSERT_TRUE(decoded) << pillow;
    EXPECT_EQ(test::Compare(*decoded, red).differing_pixels, 0u) << pillow;
    EXPECT_EQ(decoded->Pixel(3, 3), 0x0000FFu);
  }
}

TEST(WriterGif, TransparentPictureGetsASortedTableAndABlackTransparentEntry) {
  // White (the bottom-left colour) is used most, then blue, then a single grey.
  Picture picture = NewPicture(6, 4, 0xFFFFFF);
  for (int x = 0; x < 5; ++x) picture.SetPixel(x, 0, 0xFF0000);
  picture.SetPixel(2, 2, 0x777777);
  picture.SetTransparent(true);

  const TGIFFrame frame = MakeGifFrame(picture);
  EXPECT_TRUE(frame.color_map.optimized);
  ASSERT_EQ(frame.color_map.count, 4);
  EXPECT_EQ(frame.color_map.colors[0], Triple(0xFFFFFF));
  EXPECT_EQ(frame.color_map.colors[1], Triple(0xFF0000));
  EXPECT_EQ(frame.color_map.colors[2], Triple(0x777777));
  EXPECT_EQ(frame.color_map.colors[3], TRGBTriple{});
  ASSERT_TRUE(frame.transparent_index);
  EXPECT_EQ(*frame.transparent_index, 3);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      const std::uint8_t index = frame.pixels[std::size_t(y * 6 + x)];
      if (picture.Pixel(x, y) == 0xFFFFFF) {
        EXPECT_EQ(index, 3) << x << "," << y;
      } else {
        EXPECT_EQ(FrameColor(frame, x, y), picture.Pixel(x, y)) << x << "," << y;
      }
    }
  }

  test::TempDir dir;
  const std::string path = SavePictureFile((dir / "t.gif").string(), picture, false);
  const auto layout = test::ReadGifLayout(test::ReadFileBytes(path));
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->version, "89a");
  EXPECT_TRUE(layout->graphic_control);
  EXPECT_TRUE(layout->transparent_flag);
  EXPECT_EQ(layout->transparent_index, 3);
  EXPECT_TRUE(layout->sorted);
  EXPECT_FALSE(layout->global_table);
  EXPECT_EQ(layout->frames, 1);
  const std::vector<std::uint8_t> table = {255, 255, 255, 0, 0, 255, 0x77, 0x77, 0x77, 0, 0, 0};
  EXPECT_EQ(layout->local_colors, table);  // four entries: already a power of two
  // The peer sees white where the picture was transparent and the colours elsewhere.
  const auto decoded = test::PillowDecode(path);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(test::Compare(*decoded, picture).differing_pixels, 0u);
  std::string alpha;
  ASSERT_EQ(test::RunCommand("/usr/bin/python3 -c \"import sys; from PIL import Image; "
                             "print(Image.open(sys.argv[1]).convert('RGBA').getpixel((0, 3))[3])\" " +
                                 test::ShellQuote(path),
                             &alpha),
            0);
  EXPECT_EQ(alpha, "0\n");
}

TEST(WriterGif, TransparencyNeedsRoomInTheTable) {
  // Noise that happens to use all 256 palette entries.
  Picture picture = test::NoisePicture(64, 64, 5);
  const TGIFFrame opaque = MakeGifFrame(picture);
  ASSERT_EQ(std::set<std::uint8_t>(opaque.pixels.begin(), opaque.pixels.end()).size(), 256u);
  picture.SetTransparent(true);
  const TGIFFrame full = MakeGifFrame(picture);
  EXPECT_EQ(full.color_map.count, 256);
  EXPECT_TRUE(full.color_map.optimized);
  EXPECT_FALSE(full.transparent_index);
  const auto layout = test::ReadGifLayout(EncodeGif(picture));
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->version, "89a");
  EXPECT_TRUE(layout->sorted);
  EXPECT_FALSE(layout->graphic_control);
  EXPECT_EQ(layout->local_colors.size(), 768u);

  // Two colours whose table is in order of use already: the unused entries go and the
  // transparent entry fits.
  Picture ordered = NewPicture(5, 3, 0x000000);
  ordered.SetPixel(0, 2, 0x000080);
  ordered.SetPixel(1, 2, 0x000080);
  ordered.SetTransparent(true);
  const TGIFFrame frame = MakeGifFrame(ordered);
  EXPECT_EQ(frame.color_map.count, 3);
  ASSERT_TRUE(frame.transparent_index);
  EXPECT_EQ(*frame.transparent_index, 2);
  const auto small = test::ReadGifLayout(EncodeGif(ordered));
  ASSERT_TRUE(small);
  EXPECT_TRUE(small->transparent_flag);
  EXPECT_EQ(small->local_colors.size(), 12u);  // three entries padded to four
}

TEST(WriterGif, FailuresArriveAsErrors) {
  const Picture picture = test::NoisePicture(100, 100);
  for (std::size_t capacity : {0u, 6u, 13u, 800u, 5000u}) {
    test::FailingStream stream(capacity);
    try {
      WriteGif(picture, stream);
      ADD_FAILURE() << "no error at " << capacity;
    } catch (const EWriteError& e) {
      EXPECT_STREQ(e.what(), "Stream write error: No space left on device");
    }
  }
  TMemoryStream stream;
  EXPECT_THROW(WriteGif(Picture(), stream), Error);
  EXPECT_THROW(WriteGif(NewPicture(65536, 1, kNoColor), stream), Error);
  EXPECT_EQ(stream.TakeBytes().size(), 0u);
}

}  // namespace
}  // namespace qel
