#include "import/pcd_reader.h"

#include "import/messages.h"

namespace qel {

const GraphicClass& TPCDGraphic::StaticClass() {
  static const GraphicClass cls("TPCDGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TPCDGraphic>);
  return cls;
}

void TPCDGraphic::LoadFromStream(TStream&) { GraphicError(msg::kUnsupportedFeature, {"Reading", "PCD"}); }

}  // namespace qel
