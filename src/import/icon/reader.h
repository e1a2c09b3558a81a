// TIcon: Windows icon files (.ico). Of the images an icon holds, the largest is shown,
// and of those the deepest; BMP entries (colour bitmap plus AND mask) and PNG entries
// are read. The AND mask, or the alpha of a 32-bit or PNG entry, makes parts
// transparent.
#pragma once

#include "import/framework/bitmap_graphic.h"

namespace qel {

class TIcon : public TBitmapGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }
  void LoadFromStream(TStream& stream) override;
};

}  // namespace qel
