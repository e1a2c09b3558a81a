// The platform's bitmap reader: not written yet.
#include "imaging/errors.h"
#include "import/bitmap.h"
#include "import/messages.h"

namespace qel {

void TBitmap::LoadFromStream(TStream&) {
  throw EInvalidGraphic(FormatMessage(msg::kUnsupportedFeature, {"Reading", "BMP"}));
}

}  // namespace qel
