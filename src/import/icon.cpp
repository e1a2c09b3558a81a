#include "import/icon.h"

#include "imaging/errors.h"
#include "import/messages.h"

namespace qel {

const GraphicClass& TIcon::StaticClass() {
  static const GraphicClass cls("TIcon", &TGraphic::StaticClass(), &MakeGraphic<TIcon>);
  return cls;
}

void TIcon::LoadFromStream(TStream&) {
  throw EInvalidGraphic(FormatMessage(msg::kUnsupportedFeature, {"Reading", "ICO"}));
}

}  // namespace qel
