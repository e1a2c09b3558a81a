// TSVGGraphic: SVG drawings rendered with librsvg: at the size the document gives itself,
// or, when it gives none, at 1024 pixels on the longer side of its view box; what the
// drawing leaves empty shows white.
#pragma once

#include "import/framework/library_graphic.h"

namespace qel {

class TSVGGraphic : public TLibraryGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  // The side a drawing without a size of its own gets on its longer side.
  static constexpr int kUnsizedSide = 1024;
  // cairo draws nothing larger.
  static constexpr int kLargestSide = 32767;

 protected:
  std::string_view FormatName() const override { return "SVG"; }
  // "<svg" or "<?xml" near the start (after any byte-order mark, blanks and comments).
  bool HasSignature(std::span<const std::uint8_t> head) const override;
  std::optional<Header> ReadHeader(std::span<const std::uint8_t> file) const override;
  void Decode(std::span<const std::uint8_t> file) override;
};

}  // namespace qel
