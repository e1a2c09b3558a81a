// TPCDGraphic: Kodak Photo-CD image packs. Loading decodes the Base resolution
// (768 x 512) from its uncompressed luma and half-size chroma planes, doubles the
// chroma, converts Photo-CD YCC to blue-green-red and turns portrait pictures upright.
#pragma once

#include "import/framework/import_graphic.h"

namespace qel {

class TPCDGraphic : public TImportGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  bool RecognizesStream(TStream& stream) const override;
  // image_index is the resolution: 0 Base/16, 1 Base/4, 2 Base, up to 5 (overview
  // files always 0).
  bool ReadProperties(TStream& stream, int image_index) override;
  // A stream that holds no image of this format leaves the bitmap empty.
  void LoadFromStream(TStream& stream) override;
};

}  // namespace qel
