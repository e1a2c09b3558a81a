// TPSDGraphic: the merged (flattened) image of Photoshop files. Layers are skipped.
// Every colour mode of the format is read (bitmap, gray, duotone, indexed, RGB,
// multichannel, CMYK, L*a*b*), stored or PackBits-compressed, 1, 8 or 16 bits a
// sample. A fourth channel of RGB data is kept in the bitmap as alpha but not drawn.
#pragma once

#include "import/framework/import_graphic.h"

namespace qel {

class TPSDGraphic : public TImportGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  bool RecognizesStream(TStream& stream) const override;
  bool ReadProperties(TStream& stream, int image_index) override;
  void LoadFromStream(TStream& stream) override;
};

}  // namespace qel
