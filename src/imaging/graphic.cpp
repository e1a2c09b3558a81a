#include "imaging/graphic.h"

#include "imaging/stream.h"

namespace qel {

bool GraphicClass::InheritsFrom(const GraphicClass& base) const {
  for (const GraphicClass* c = this; c; c = c->parent_) {
    if (c == &base) return true;
  }
  return false;
}

const GraphicClass& TGraphic::StaticClass() {
  static const GraphicClass cls("TGraphic", nullptr, nullptr);
  return cls;
}

bool TGraphic::TakePicture(Picture&) {
  return false;
}

void TGraphic::LoadFromFile(const std::string& path) {
  TFileStream stream(path, TFileStream::Mode::kRead);
  LoadFromStream(stream);
}

Picture CopyToPicture(TGraphic& graphic, bool draw) {
  const int width = graphic.Width(), height = graphic.Height();
  if (draw) {
    Picture taken;
    if (graphic.TakePicture(taken)) return taken;
  }
  Picture picture = NewPicture(width, height, kNoColor);
  if (draw && !picture.Empty()) {
    graphic.Draw(picture, 0, 0);
    picture.SetPalette(graphic.GetPalette());
    if (graphic.Transparent()) picture.SetTransparent(true);
  }
  return picture;
}

}  // namespace qel
