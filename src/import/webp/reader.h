// TWebPGraphic: WebP files, lossy or lossless, with or without alpha, decoded with
// libwebp; of an animated file, the first frame as it shows on the canvas.
#pragma once

#include "import/framework/library_graphic.h"

namespace qel {

class TWebPGraphic : public TLibraryGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

 protected:
  std::string_view FormatName() const override { return "WebP"; }
  // "RIFF", a size, "WEBP".
  bool HasSignature(std::span<const std::uint8_t> head) const override;
  std::optional<Header> ReadHeader(std::span<const std::uint8_t> file) const override;
  void Decode(std::span<const std::uint8_t> file) override;

 private:
  void DecodeStill(std::span<const std::uint8_t> file);
  void DecodeFirstFrame(std::span<const std::uint8_t> file);
};

}  // namespace qel
