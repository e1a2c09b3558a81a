#include "output/color_quantizer.h"

#include <algorithm>

namespace qel {

namespace {

void CollectLeaves(const TOctreeNode& node, std::vector<TRGBTriple>& colors) {
  if (node.leaf) {
    TRGBTriple color;
    if (node.pixel_count > 0) {
      color.red = std::uint8_t(node.red_sum / node.pixel_count);
      color.green = std::uint8_t(node.green_sum / node.pixel_count);
      color.blue = std::uint8_t(node.blue_sum / node.pixel_count);
    }
    colors.push_back(color);
    return;
  }
  for (const auto& child : node.children) {
    if (child) CollectLeaves(*child, colors);
  }
}

}  // namespace

TColorQuantizer::TColorQuantizer(int max_colors, int color_bits)
    : max_colors_(std::max(max_colors, 1)), color_bits_(std::clamp(color_bits, 1, kLevels)) {}

void TColorQuantizer::AddColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  const std::uint32_t color = std::uint32_t(red) | (std::uint32_t(green) << 8) | (std::uint32_t(blue) << 16);
  TOctreeNode* leaf = (last_leaf_ && color == last_color_) ? last_leaf_ : nullptr;
  std::unique_ptr<TOctreeNode>* slot = &tree_;
  for (int level = 0; !leaf; ++level) {
    if (!*slot) {
      *slot = std::make_unique<TOctreeNode>();
      TOctreeNode* created = slot->get();
      if (level == color_bits_) {
        created->leaf = true;
        ++leaf_count_;
      } else {
        created->next_reducible = reducible_nodes_[std::size_t(level)];
        reducible_nodes_[std::size_t(level)] = created;
      }
    }
    TOctreeNode* node = slot->get();
    if (node->leaf) {
      leaf = node;
      break;
    }
    const int shift = 7 - level;
    const unsigned mask = 0x80u >> level;
    const unsigned index =
        (((red & mask) >> shift) << 2) | (((green & mask) >> shift) << 1) | ((blue & mask) >> shift);
    slot = &node->children[index];
  }
  ++leaf->pixel_count;
  leaf->red_sum += red;
  leaf->green_sum += green;
  leaf->blue_sum += blue;
  last_leaf_ = leaf;
  last_color_ = color;
  while (leaf_count_ > max_colors_) {
    last_leaf_ = nullptr;
    if (!ReduceTree()) break;
  }
}

bool TColorQuantizer::ReduceTree() {
  // The most recently created non-leaf of the deepest level that still has one. Every
  // deeper level's stack is empty, so the node's children are all leaves and none of
  // them is linked in a stack.
  int level = color_bits_ - 1;
  while (level > 0 && !reducible_nodes_[std::size_t(level)]) --level;
  TOctreeNode* node = reducible_nodes_[std::size_t(level)];
  if (!node) return false;
  reducible_nodes_[std::size_t(level)] = node->next_reducible;
  node->next_reducible = nullptr;
  int children = 0;
  for (auto& child : node->children) {
    if (!child) continue;
    node->pixel_count += child->pixel_count;
    node->red_sum += child->red_sum;
    node->green_sum += child->green_sum;
    node->blue_sum += child->blue_sum;
    child.reset();
    ++children;
  }
  node->leaf = true;
  leaf_count_ -= children - 1;
  return true;
}

void TColorQuantizer::AddPicture(const Picture& picture) {
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint8_t* row = picture.Row(y);
    for (int x = 0; x < picture.Width(); ++x) AddColor(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
  }
}

std::vector<TRGBTriple> TColorQuantizer::ColorTable() const {
  std::vector<TRGBTriple> colors;
  colors.reserve(std::size_t(leaf_count_));
  if (tree_) CollectLeaves(*tree_, colors);
  return colors;
}

}  // namespace qel
