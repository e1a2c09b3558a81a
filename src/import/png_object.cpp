#include "import/png_object.h"

#include "imaging/errors.h"
#include "import/messages.h"

namespace qel {

const GraphicClass& TPNGObject::StaticClass() {
  static const GraphicClass cls("TPNGObject", &TGraphic::StaticClass(), &MakeGraphic<TPNGObject>);
  return cls;
}

void TPNGObject::LoadFromStream(TStream&) {
  throw EInvalidGraphic(FormatMessage(msg::kUnsupportedFeature, {"Reading", "PNG"}));
}

}  // namespace qel
