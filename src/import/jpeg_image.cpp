#include "import/jpeg_image.h"

#include "imaging/errors.h"
#include "import/messages.h"

namespace qel {

const GraphicClass& TJPEGImage::StaticClass() {
  static const GraphicClass cls("TJPEGImage", &TGraphic::StaticClass(), &MakeGraphic<TJPEGImage>);
  return cls;
}

void TJPEGImage::LoadFromStream(TStream&) {
  throw EInvalidGraphic(FormatMessage(msg::kUnsupportedFeature, {"Reading", "JPEG"}));
}

}  // namespace qel
