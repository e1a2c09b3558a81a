// TRLAGraphic: Alias/Wavefront run-length images. RGB with an optional matte channel
// (kept in the bitmap as alpha), 8 bits a channel, each channel of each row
// compressed on its own, rows stored top first or bottom first. The file's gamma is
// applied to the colours.
#pragma once

#include "import/framework/import_graphic.h"

namespace qel {

class TRLAGraphic : public TImportGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  bool RecognizesStream(TStream& stream) const override;
  bool ReadProperties(TStream& stream, int image_index) override;
  // A stream that holds no image of this format leaves the bitmap empty.
  void LoadFromStream(TStream& stream) override;
};

}  // namespace qel
