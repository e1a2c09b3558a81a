// TJPEGImage: not written yet; loading raises the "not supported" message.
#pragma once

#include "imaging/graphic.h"

namespace qel {

class TJPEGImage : public TGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }
  void LoadFromStream(TStream& stream) override;
  int Width() const override { return 0; }
  int Height() const override { return 0; }
  void Draw(Picture&, int, int) const override {}
};

}  // namespace qel
