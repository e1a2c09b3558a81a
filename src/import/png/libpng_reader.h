// TPNGObject: PNG images decoded with libpng.
#pragma once

#include "import/framework/bitmap_graphic.h"

namespace qel {

class TPNGObject : public TBitmapGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }
  void LoadFromStream(TStream& stream) override;
};

}  // namespace qel
