// TJPEGImage: JPEG images decoded with libjpeg.
#pragma once

#include "import/framework/bitmap_graphic.h"

namespace qel {

class TJPEGImage : public TBitmapGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }
  void LoadFromStream(TStream& stream) override;
};

}  // namespace qel
