// TSGIGraphic: reads SGI image files (sgi, rgb, rgba, bw): planar images of 1 to 4
// channels of 8 or 16 bits, stored or run-length compressed, bottom row first. Gray
// images (one channel, or gray and alpha) become 8-bit palette bitmaps, three channels
// a 24-bit bitmap, four a 32-bit bitmap that keeps alpha without drawing with it.
#pragma once

#include <cstdint>
#include <vector>

#include "import/framework/import_graphic.h"

namespace qel {

class TSGIGraphic : public TImportGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  // True when more than the 512-byte header remains, with the magic, 1 or 2 bytes a
  // sample and a dimension of 1 to 3. The position is restored.
  bool RecognizesStream(TStream& stream) const override;
  // False when less than a header remains or the magic is wrong.
  bool ReadProperties(TStream& stream, int image_index) override;
  void LoadFromStream(TStream& stream) override;
};

}  // namespace qel
