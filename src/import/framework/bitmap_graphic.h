// A graphic whose decoded image is a TBitmap: size, palette, transparency, drawing and
// the hand-over of an opaque 24-bit result all go to the bitmap. The classes of the
// dependency-backed formats (PNG, JPEG, GIF) and of icons derive from it.
#pragma once

#include "import/framework/bitmap.h"

namespace qel {

class TBitmapGraphic : public TGraphic {
 public:
  int Width() const override { return bitmap_.Width(); }
  int Height() const override { return bitmap_.Height(); }
  bool Transparent() const override { return bitmap_.Transparent(); }
  Palette GetPalette() const override { return bitmap_.GetPalette(); }
  void Draw(Picture& target, int x, int y) const override { bitmap_.Draw(target, x, y); }
  bool TakePicture(Picture& out) override { return bitmap_.TakePicture(out); }

  // The decoded image: 24-bit, or 32-bit alpha-blended when parts are transparent.
  const TBitmap& Bitmap() const { return bitmap_; }

 protected:
  TBitmap bitmap_;
};

}  // namespace qel
