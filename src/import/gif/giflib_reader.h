// TGIFImage: GIF images decoded with giflib (the first frame).
#pragma once

#include "import/framework/bitmap_graphic.h"

namespace qel {

class TGIFImage : public TBitmapGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }
  void LoadFromStream(TStream& stream) override;
};

}  // namespace qel
