// TRLAGraphic: Alias/Wavefront run-length images. RGB with an optional matte channel
// (premultiplied alpha, drawn over white), 8 bits a channel, each channel of each row
// compressed on its own, rows stored top first or bottom first. The file's gamma is
// reported, the colours are shown as stored.
#pragma once

#include "import/framework/import_graphic.h"

namespace qel {

class TRLAGraphic : public TImportGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  bool RecognizesStream(TStream& stream) const override;
  bool ReadProperties(TStream& stream, int image_index) override;
  // A stream that holds no image of this format raises the invalid-format message.
  void LoadFromStream(TStream& stream) override;
};

}  // namespace qel
