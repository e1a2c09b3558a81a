#include "import/gif/giflib_reader.h"

#include "import/gif/giflib_decode.h"

namespace qel {

const GraphicClass& TGIFImage::StaticClass() {
  static const GraphicClass cls("TGIFImage", &TGraphic::StaticClass(), &MakeGraphic<TGIFImage>);
  return cls;
}

void TGIFImage::LoadFromStream(TStream& stream) {
  DecodeGifFirstFrame(stream, bitmap_, Observer());
}

}  // namespace qel
