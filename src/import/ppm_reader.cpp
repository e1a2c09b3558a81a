#include "import/ppm_reader.h"

#include "import/messages.h"

namespace qel {

const GraphicClass& TPPMGraphic::StaticClass() {
  static const GraphicClass cls("TPPMGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TPPMGraphic>);
  return cls;
}

void TPPMGraphic::LoadFromStream(TStream&) { GraphicError(msg::kUnsupportedFeature, {"Reading", "PBM, PGM or PPM"}); }

}  // namespace qel
