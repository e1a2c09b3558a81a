// The quick ways of the GIF colour reduction against the plain ones: the octree with its
// node pool and path cache against a tree built node by node as the algorithm reads,
// and the banded, cube-answering mapping against the search over every entry.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "output/color_quantizer.h"
#include "output/gif_palette.h"
#include "unit/output/writer_helpers.h"

namespace qel {
namespace {

// The octree exactly as described: a node per allocation, every pixel descending from
// the root, the newest non-leaf of the deepest level merged while there are too many
// leaves.
class PlainOctree {
 public:
  explicit PlainOctree(int max_colors) : max_colors_(max_colors) {}

  void Add(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::unique_ptr<Node>* slot = &root_;
    for (int level = 0;; ++level) {
      if (!*slot) {
        *slot = std::make_unique<Node>();
        if (level == 8) {
          (*slot)->leaf = true;
          ++leaves_;
        } else {
          (*slot)->next = reducible_[level];
          reducible_[level] = slot->get();
        }
      }
      Node* node = slot->get();
      if (node->leaf) {
        ++node->count;
        node->r += r;
        node->g += g;
        node->b += b;
        break;
      }
      const int shift = 7 - level;
      slot = &node->children[((r >> shift) & 1) * 4 + ((g >> shift) & 1) * 2 + ((b >> shift) & 1)];
    }
    while (leaves_ > max_colors_) {
      int level = 7;
      while (level > 0 && !reducible_[level]) --level;
      Node* node = reducible_[level];
      reducible_[level] = node->next;
      int children = 0;
      for (auto& child : node->children) {
        if (!child) continue;
        node->count += child->count;
        node->r += child->r;
        node->g += child->g;
        node->b += child->b;
        child.reset();
        ++children;
      }
      node->leaf = true;
      leaves_ -= children - 1;
    }
  }

  std::vector<TRGBTriple> Colors() const {
    std::vector<TRGBTriple> colors;
    Collect(root_.get(), colors);
    return colors;
  }

 private:
  struct Node {
    bool leaf = false;
    std::uint64_t count = 0, r = 0, g = 0, b = 0;
    Node* next = nullptr;
    std::unique_ptr<Node> children[8];
  };
  static void Collect(const Node* node, std::vector<TRGBTriple>& colors) {
    if (!node) return;
    if (node->leaf) {
      colors.push_back({std::uint8_t(node->r / node->count), std::uint8_t(node->g / node->count),
                        std::uint8_t(node->b / node->count)});
      return;
    }
    for (const auto& child : node->children) Collect(child.get(), colors);
  }

  int max_colors_;
  int leaves_ = 0;
  std::unique_ptr<Node> root_;
  Node* reducible_[8] = {};
};

// Smooth areas with grain, runs of one colour and jumps: the path cache is hit, missed
// and dropped by reductions.
Picture PhotoLike(int width, int height, unsigned seed) {
  std::mt19937 rng(seed);
  Picture picture = NewPicture(width, height, kNoColor);
  TColor run = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int kind = (x / 37 + y / 23) % 3;
      if (kind == 0) {
        const int grain = int(rng() % 9) - 4;
        picture.SetPixel(x, y,
                         RGBColor(ClampToByte(x + grain), ClampToByte(2 * y + grain), ClampToByte(x + y)));
      } else if (kind == 1) {
        if (rng() % 11 == 0) run = rng() & 0xFFFFFF;
        picture.SetPixel(x, y, run);
      } else {
        picture.SetPixel(x, y, rng() & 0xFFFFFF);
      }
    }
  }
  return picture;
}

TEST(WriterGifFast, OctreeGivesThePlainTreesColours) {
  for (const unsigned seed : {1u, 2u, 3u}) {
    const Picture picture = PhotoLike(211, 157, seed);
    for (const int max_colors : {236, 16, 1}) {
      TColorQuantizer quantizer(max_colors);
      quantizer.AddPicture(picture);
      PlainOctree plain(max_colors);
      for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
          const TColor c = picture.Pixel(x, y);
          plain.Add(RedOf(c), GreenOf(c), BlueOf(c));
        }
      EXPECT_EQ(quantizer.ColorTable(), plain.Colors())
          << "seed " << seed << ", " << max_colors << " colours";
    }
  }
}

TEST(WriterGifFast, BandedMappingEqualsThePlainSearch) {
  const Picture picture = PhotoLike(150, 300, 8);
  const TGIFColorMap palette = OptimizedPaletteWithSystemColors(picture);
  const TNearestColorMapper plain(palette);
  std::vector<std::uint8_t> expected;
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) {
      const TColor c = picture.Pixel(x, y);
      expected.push_back(plain.Search(RedOf(c), GreenOf(c), BlueOf(c)));
    }
  for (const unsigned threads : {1u, 2u, 7u})
    EXPECT_EQ(ReduceColors(picture, palette, threads), expected) << threads;
}

TEST(WriterGifFast, RowsReachTheSinkInOrderAndItsErrorStopsTheWorkers) {
  const Picture picture = PhotoLike(90, 700, 6);
  const TGIFColorMap palette = OptimizedPaletteWithSystemColors(picture);
  const std::vector<std::uint8_t> all = ReduceColors(picture, palette, 1);
  std::size_t row = 0;
  MapRowsInOrder(picture, palette, 3, [&](const std::uint8_t* indices) {
    ASSERT_TRUE(std::equal(indices, indices + 90, all.begin() + long(row * 90))) << row;
    ++row;
  });
  EXPECT_EQ(row, 700u);
  int taken = 0;
  EXPECT_THROW(MapRowsInOrder(picture, palette, 4,
                              [&](const std::uint8_t*) {
                                if (++taken == 100)
                                  throw EWriteError("Stream write error: No space left on device");
                              }),
               EWriteError);
  EXPECT_EQ(taken, 100);
}

TEST(WriterGifFast, EveryColourOfSomeCellsMapsAsThePlainSearch) {
  // Whole cells of the mapper's grid, near entries and far from them, colour by colour.
  const TGIFColorMap palette = OptimizedPaletteWithSystemColors(PhotoLike(64, 64, 5));
  TNearestColorMapper mapper(palette);
  std::mt19937 rng(21);
  for (int cell = 0; cell < 40; ++cell) {
    const unsigned r0 = rng() % 32 * 8, g0 = rng() % 32 * 8, b0 = rng() % 32 * 8;
    for (unsigned r = r0; r < r0 + 8; ++r)
      for (unsigned g = g0; g < g0 + 8; ++g)
        for (unsigned b = b0; b < b0 + 8; ++b)
          ASSERT_EQ(mapper.Nearest(std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)),
                    mapper.Search(std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)))
              << r << "," << g << "," << b;
  }
}

}  // namespace
}  // namespace qel
