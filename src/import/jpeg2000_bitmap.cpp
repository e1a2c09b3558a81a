#include "import/jpeg2000_bitmap.h"

#include "imaging/errors.h"
#include "import/messages.h"

namespace qel {

const GraphicClass& TJpeg2000Bitmap::StaticClass() {
  static const GraphicClass cls("TJpeg2000Bitmap", &TBitmap::StaticClass(), &MakeGraphic<TJpeg2000Bitmap>);
  return cls;
}

void TJpeg2000Bitmap::LoadFromStream(TStream&) {
  throw EInvalidGraphic(FormatMessage(msg::kUnsupportedFeature, {"Reading", "JPEG 2000"}));
}

}  // namespace qel
