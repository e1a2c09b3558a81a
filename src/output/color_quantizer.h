// Octree colour quantiser: reduces the colours of a picture to at most a given number,
// each the average of the pixels it stands for.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "imaging/picture.h"

namespace qel {

struct TRGBTriple {
  std::uint8_t red = 0, green = 0, blue = 0;
  friend constexpr bool operator==(const TRGBTriple&, const TRGBTriple&) = default;
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
  // Nodes are numbered in a pool; 0 stands for "no node" and is never used.
  using NodeIndex = std::uint32_t;
  static constexpr NodeIndex kNoNode = 0;

  // One node of the octree: what a descent reads. Children are indexed by red bit x 4 +
  // green bit x 2 + blue bit of the level's bit.
  struct TOctreeNode {
    std::array<NodeIndex, 8> children{};
    // Link in its level's stack of reducible nodes.
    NodeIndex next_reducible = kNoNode;
    bool leaf = false;
  };
  // What a leaf sums, kept apart from the nodes so that a descent touches less memory.
  // 64 bits: a picture of many millions of pixels of one colour must not overflow.
  struct TOctreeSums {
    std::uint64_t pixel_count = 0;
    std::uint64_t red = 0, green = 0, blue = 0;
  };

  // A node of the given level from the pool: a leaf at the deepest level, otherwise
  // pushed on its level's reducible stack.
  NodeIndex NewNode(int level);
  // The leaf of the colour, made along the way where the tree has no node yet; level
  // receives the leaf's level.
  NodeIndex FindLeaf(std::uint8_t red, std::uint8_t green, std::uint8_t blue, int& level);
  // Merges the children of one node into it; false when no node can be reduced.
  bool ReduceTree();
  void CollectLeaves(NodeIndex node, std::vector<TRGBTriple>& colors) const;

  std::vector<TOctreeNode> nodes_;
  std::vector<TOctreeSums> sums_;
  std::vector<NodeIndex> free_nodes_;
  NodeIndex root_ = kNoNode;
  int leaf_count_ = 0;
  std::array<NodeIndex, kLevels> reducible_nodes_{};
  int max_colors_;
  int color_bits_;
  // The leaf the previous pixel reached, its level and the colour's bits that chose the
  // way to it: a colour with the same leading bits reaches the same leaf, so runs of
  // similar colours skip the descent. Dropped whenever a reduction may have changed the
  // tree along that way.
  NodeIndex last_leaf_ = kNoNode;
  std::uint32_t last_path_ = 0;
  std::uint32_t last_path_mask_ = 0;
};

}  // namespace qel
