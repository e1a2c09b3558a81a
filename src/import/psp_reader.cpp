#include "import/psp_reader.h"

#include "import/messages.h"

namespace qel {

const GraphicClass& TPSPGraphic::StaticClass() {
  static const GraphicClass cls("TPSPGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TPSPGraphic>);
  return cls;
}

void TPSPGraphic::LoadFromStream(TStream&) { GraphicError(msg::kUnsupportedFeature, {"Reading", "PSP"}); }

}  // namespace qel
