// TGIFGraphic: the import library's own GIF reader. It reads the first image of a
// GIF file into an 8-bit palette bitmap of the image's size; extensions (transparency,
// animation, comments) are skipped, so a transparent index shows its palette colour.
#pragma once

#include "import/framework/import_graphic.h"

namespace qel {

class TGIFGraphic : public TImportGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  bool RecognizesStream(TStream& stream) const override;
  bool ReadProperties(TStream& stream, int image_index) override;
  void LoadFromStream(TStream& stream) override;

 private:
  void LoadFirstImage(TStream& stream);
};

}  // namespace qel
