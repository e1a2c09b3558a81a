// TAutodeskGraphic: reads the uncompressed 8-bit pictures and cels of the Autodesk
// animator (a 32-byte header, a 256-colour palette of 6-bit components, then one
// palette index a pixel, top row first).
#pragma once

#include "import/framework/import_graphic.h"

namespace qel {

class TAutodeskGraphic : public TImportGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  // True when more than 32 bytes remain, the magic matches and the header announces 8
  // bits a pixel without compression. The position is restored.
  bool RecognizesStream(TStream& stream) const override;
  // Checks the magic only.
  bool ReadProperties(TStream& stream, int image_index) override;
  void LoadFromStream(TStream& stream) override;
};

}  // namespace qel
