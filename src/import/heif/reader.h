// THEIFGraphic: HEIF files (.heic, .heif) decoded with libheif: the primary picture with
// the file's own cropping, rotation and mirroring applied, brought to 8 bits a sample,
// alpha drawn over white.
#pragma once

#include "import/framework/library_graphic.h"

namespace qel {

class THEIFGraphic : public TLibraryGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

 protected:
  std::string_view FormatName() const override { return "HEIF"; }
  // An "ftyp" box naming one of the HEIF brands.
  bool HasSignature(std::span<const std::uint8_t> head) const override;
  std::optional<Header> ReadHeader(std::span<const std::uint8_t> file) const override;
  void Decode(std::span<const std::uint8_t> file) override;
};

}  // namespace qel
