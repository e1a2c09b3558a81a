#include "output/color_quantizer.h"

#include <algorithm>

namespace qel {

TColorQuantizer::TColorQuantizer(int max_colors, int color_bits)
    : nodes_(1),
      sums_(1),
      max_colors_(std::max(max_colors, 1)),
      color_bits_(std::clamp(color_bits, 1, kLevels)) {}

TColorQuantizer::NodeIndex TColorQuantizer::NewNode(int level) {
  NodeIndex node;
  if (!free_nodes_.empty()) {
    node = free_nodes_.back();
    free_nodes_.pop_back();
    nodes_[node] = TOctreeNode{};
    sums_[node] = TOctreeSums{};
  } else {
    node = NodeIndex(nodes_.size());
    nodes_.emplace_back();
    sums_.emplace_back();
  }
  if (level == color_bits_) {
    nodes_[node].leaf = true;
    ++leaf_count_;
  } else {
    nodes_[node].next_reducible = reducible_nodes_[std::size_t(level)];
    reducible_nodes_[std::size_t(level)] = node;
  }
  return node;
}

TColorQuantizer::NodeIndex TColorQuantizer::FindLeaf(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                                                     int& level) {
  if (root_ == kNoNode) root_ = NewNode(0);
  NodeIndex node = root_;
  for (level = 0; !nodes_[node].leaf; ++level) {
    const int shift = 7 - level;
    const unsigned index =
        (((red >> shift) & 1u) << 2) | (((green >> shift) & 1u) << 1) | ((blue >> shift) & 1u);
    NodeIndex child = nodes_[node].children[index];
    if (child == kNoNode) {
      child = NewNode(level + 1);  // may move the pool: the parent is found again by index
      nodes_[node].children[index] = child;
    }
    node = child;
  }
  return node;
}

void TColorQuantizer::AddColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  const std::uint32_t color = std::uint32_t(red) | (std::uint32_t(green) << 8) | (std::uint32_t(blue) << 16);
  NodeIndex leaf = last_leaf_;
  if (leaf == kNoNode || ((color ^ last_path_) & last_path_mask_) != 0) {
    int level = 0;
    leaf = FindLeaf(red, green, blue, level);
    // The top level bits of each channel.
    const std::uint32_t bits = (0xFF00u >> level) & 0xFFu;
    last_path_mask_ = bits | (bits << 8) | (bits << 16);
    last_path_ = color;
  }
  TOctreeSums& sums = sums_[leaf];
  ++sums.pixel_count;
  sums.red += red;
  sums.green += green;
  sums.blue += blue;
  last_leaf_ = leaf;
  while (leaf_count_ > max_colors_) {
    last_leaf_ = kNoNode;
    if (!ReduceTree()) break;
  }
}

bool TColorQuantizer::ReduceTree() {
  // The most recently created non-leaf of the deepest level that still has one. Every
  // deeper level's stack is empty, so the node's children are all leaves and none of
  // them is linked in a stack.
  int level = color_bits_ - 1;
  while (level > 0 && reducible_nodes_[std::size_t(level)] == kNoNode) --level;
  const NodeIndex node = reducible_nodes_[std::size_t(level)];
  if (node == kNoNode) return false;
  reducible_nodes_[std::size_t(level)] = nodes_[node].next_reducible;
  nodes_[node].next_reducible = kNoNode;
  int children = 0;
  TOctreeSums& sums = sums_[node];
  for (NodeIndex& child : nodes_[node].children) {
    if (child == kNoNode) continue;
    const TOctreeSums& merged = sums_[child];
    sums.pixel_count += merged.pixel_count;
    sums.red += merged.red;
    sums.green += merged.green;
    sums.blue += merged.blue;
    free_nodes_.push_back(child);
    child = kNoNode;
    ++children;
  }
  nodes_[node].leaf = true;
  leaf_count_ -= children - 1;
  return true;
}

void TColorQuantizer::AddPicture(const Picture& picture) {
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint8_t* row = picture.Row(y);
    for (int x = 0; x < picture.Width(); ++x) AddColor(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
  }
}

void TColorQuantizer::CollectLeaves(NodeIndex node, std::vector<TRGBTriple>& colors) const {
  if (nodes_[node].leaf) {
    const TOctreeSums& sums = sums_[node];
    TRGBTriple color;
    if (sums.pixel_count > 0) {
      color.red = std::uint8_t(sums.red / sums.pixel_count);
      color.green = std::uint8_t(sums.green / sums.pixel_count);
      color.blue = std::uint8_t(sums.blue / sums.pixel_count);
    }
    colors.push_back(color);
    return;
  }
  for (const NodeIndex child : nodes_[node].children) {
    if (child != kNoNode) CollectLeaves(child, colors);
  }
}

std::vector<TRGBTriple> TColorQuantizer::ColorTable() const {
  std::vector<TRGBTriple> colors;
  colors.reserve(std::size_t(leaf_count_));
  if (root_ != kNoNode) CollectLeaves(root_, colors);
  return colors;
}

}  // namespace qel
