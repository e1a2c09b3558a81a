// TPPMGraphic: reads the portable maps, plain (text) and raw, of bitmaps (P1, P4),
// gray maps (P2, P5) and pixel maps (P3, P6). Samples of 0 to the header's
// maximum value (1 to 65535; above 255 a raw sample takes two bytes, big-endian) are
// stretched to 0..255 with rounding.
#pragma once

#include "import/framework/import_graphic.h"

namespace qel {

class TPPMGraphic : public TImportGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  // True when more than 10 bytes remain and they start with "P" and a digit 1 to 6.
  // The position is restored.
  bool RecognizesStream(TStream& stream) const override;
  // Reads the magic and the header numbers. False for anything but P1 to P6, for
  // sizes that do not fit 32 bits and for a maximum value outside 1..65535.
  bool ReadProperties(TStream& stream, int image_index) override;
  void LoadFromStream(TStream& stream) override;
};

}  // namespace qel
