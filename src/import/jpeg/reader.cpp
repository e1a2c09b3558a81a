#include "import/jpeg/reader.h"

#include "import/codecs/libjpeg_decode.h"

namespace qel {

const GraphicClass& TJPEGImage::StaticClass() {
  static const GraphicClass cls("TJPEGImage", &TGraphic::StaticClass(), &MakeGraphic<TJPEGImage>);
  return cls;
}

void TJPEGImage::LoadFromStream(TStream& stream) {
  DecodeJpeg(stream, bitmap_, Observer());
}

}  // namespace qel
