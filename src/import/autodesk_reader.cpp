#include "import/autodesk_reader.h"

#include "import/messages.h"

namespace qel {

const GraphicClass& TAutodeskGraphic::StaticClass() {
  static const GraphicClass cls("TAutodeskGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TAutodeskGraphic>);
  return cls;
}

void TAutodeskGraphic::LoadFromStream(TStream&) { GraphicError(msg::kUnsupportedFeature, {"Reading", "CEL or PIC"}); }

}  // namespace qel
