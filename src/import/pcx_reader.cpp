#include "import/pcx_reader.h"

#include "import/messages.h"

namespace qel {

const GraphicClass& TPCXGraphic::StaticClass() {
  static const GraphicClass cls("TPCXGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TPCXGraphic>);
  return cls;
}

void TPCXGraphic::LoadFromStream(TStream&) { GraphicError(msg::kUnsupportedFeature, {"Reading", "PCX"}); }

}  // namespace qel
