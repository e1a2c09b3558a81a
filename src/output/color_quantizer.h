// Octree colour quantiser: reduces the colours of a picture to at most a given number,
// each the average of the pixels it stands for.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/picture.h"

namespace qel {

struct TRGBTriple {
  std::uint8_t red = 0, green = 0, blue = 0;
  friend constexpr bool operator==(const TRGBTriple&, const TRGBTriple&) = default;
};

// One node of the octree. Children are indexed by red bit x 4 + green bit x 2 + blue
// bit of the level's bit; a leaf sums the pixels that reached it.
struct TOctreeNode {
  bool leaf = false;
  std::uint64_t pixel_count = 0;
  // 64 bits: a picture of many millions of pixels of one colour must not overflow.
  std::uint64_t red_sum = 0, green_sum = 0, blue_sum = 0;
  // Link in its level's stack of reducible nodes (not owned).
  TOctreeNode* next_reducible = nullptr;
  std::array<std::unique_ptr<TOctreeNode>, 8> children;
};

class TColorQuantizer {
 public:
  static constexpr int kLevels = 8;

  // max_colors (at least 1) bounds the leaves; color_bits is their depth (1..8).
  explicit TColorQuantizer(int max_colors, int color_bits = kLevels);

  // Adds one pixel; when the tree then holds more leaves than allowed it is reduced
  // until it does not.
  void AddColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  // Adds every pixel of the picture, rows from the top, each from the left.
  void AddPicture(const Picture& picture);

  int LeafCount() const { return leaf_count_; }
  // The leaves' colours in depth-first order, children 0 to 7: each the truncated
  // average of its pixels (black for a leaf without pixels).
  std::vector<TRGBTriple> ColorTable() const;

 private:
  // Merges the children of one node into it; false when no node can be reduced.
  bool ReduceTree();

  std::unique_ptr<TOctreeNode> tree_;
  int leaf_count_ = 0;
  std::array<TOctreeNode*, kLevels> reducible_nodes_{};
  int max_colors_;
  int color_bits_;
  // The leaf the previous pixel reached and its colour: runs of one colour skip the
  // descent. Dropped whenever a reduction may have released that leaf.
  TOctreeNode* last_leaf_ = nullptr;
  std::uint32_t last_color_ = 0;
};

}  // namespace qel
