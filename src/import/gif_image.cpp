#include "import/gif_image.h"

#include "imaging/errors.h"
#include "import/messages.h"

namespace qel {

const GraphicClass& TGIFImage::StaticClass() {
  static const GraphicClass cls("TGIFImage", &TGraphic::StaticClass(), &MakeGraphic<TGIFImage>);
  return cls;
}

void TGIFImage::LoadFromStream(TStream&) {
  throw EInvalidGraphic(FormatMessage(msg::kUnsupportedFeature, {"Reading", "GIF"}));
}

}  // namespace qel
