// TAVIFGraphic: AVIF files decoded with libavif: the primary picture, any depth brought
// to 8 bits a sample, alpha drawn over white, its rotation and mirroring applied.
#pragma once

#include "import/framework/library_graphic.h"

namespace qel {

class TAVIFGraphic : public TLibraryGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

 protected:
  std::string_view FormatName() const override { return "AVIF"; }
  // An "ftyp" box naming the brand "avif" or "avis".
  bool HasSignature(std::span<const std::uint8_t> head) const override;
  std::optional<Header> ReadHeader(std::span<const std::uint8_t> file) const override;
  void Decode(std::span<const std::uint8_t> file) override;
};

}  // namespace qel
