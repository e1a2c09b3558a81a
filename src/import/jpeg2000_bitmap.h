// TJpeg2000Bitmap: not written yet; loading raises the "not supported" message.
#pragma once

#include "import/bitmap.h"

namespace qel {

class TJpeg2000Bitmap : public TBitmap {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }
  void LoadFromStream(TStream& stream) override;
};

}  // namespace qel
