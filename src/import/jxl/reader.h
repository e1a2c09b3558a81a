// TJXLGraphic: JPEG XL files (bare codestreams and containers) decoded with libjxl: the
// first frame, turned as the file's orientation says, in 8 bits a sample, alpha drawn
// over white.
#pragma once

#include "import/framework/library_graphic.h"

namespace qel {

class TJXLGraphic : public TLibraryGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

 protected:
  std::string_view FormatName() const override { return "JPEG XL"; }
  // The codestream's FF 0A, or the container's signature box.
  bool HasSignature(std::span<const std::uint8_t> head) const override;
  std::optional<Header> ReadHeader(std::span<const std::uint8_t> file) const override;
  void Decode(std::span<const std::uint8_t> file) override;
};

}  // namespace qel
