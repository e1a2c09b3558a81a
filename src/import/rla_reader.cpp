#include "import/rla_reader.h"

#include "import/messages.h"

namespace qel {

const GraphicClass& TRLAGraphic::StaticClass() {
  static const GraphicClass cls("TRLAGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TRLAGraphic>);
  return cls;
}

void TRLAGraphic::LoadFromStream(TStream&) { GraphicError(msg::kUnsupportedFeature, {"Reading", "RLA"}); }

}  // namespace qel
