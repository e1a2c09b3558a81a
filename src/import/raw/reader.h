// TRawGraphic: camera raw files (CR2, NEF, ARW, DNG, ORF, RW2, RAF, PEF) developed with
// LibRaw: the full-size picture with the camera's white balance, in sRGB at 8 bits a
// sample, turned as the camera held it. LibRaw's stages are reported as progress.
#pragma once

#include <libraw/libraw_const.h>

#include "import/framework/library_graphic.h"

namespace qel {

class TRawGraphic : public TLibraryGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

 protected:
  std::string_view FormatName() const override { return "camera raw"; }
  // A TIFF header (most raw formats are TIFF inside), or the Olympus, Panasonic or
  // Fujifilm signature.
  bool HasSignature(std::span<const std::uint8_t> head) const override;
  std::optional<Header> ReadHeader(std::span<const std::uint8_t> file) const override;
  void Decode(std::span<const std::uint8_t> file) override;

 private:
  // LibRaw's progress callback: data is the graphic.
  static int OnStage(void* data, enum LibRaw_progress stage, int iteration, int expected);
};

}  // namespace qel
