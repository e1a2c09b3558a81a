#include "import/eps_reader.h"

#include "import/messages.h"

namespace qel {

const GraphicClass& TEPSGraphic::StaticClass() {
  static const GraphicClass cls("TEPSGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TEPSGraphic>);
  return cls;
}

void TEPSGraphic::LoadFromStream(TStream&) { GraphicError(msg::kUnsupportedFeature, {"Reading", "EPS"}); }

}  // namespace qel
