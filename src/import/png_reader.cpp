#include "import/png_reader.h"

#include "import/messages.h"

namespace qel {

const GraphicClass& TPNGGraphic::StaticClass() {
  static const GraphicClass cls("TPNGGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TPNGGraphic>);
  return cls;
}

void TPNGGraphic::LoadFromStream(TStream&) { GraphicError(msg::kUnsupportedFeature, {"Reading", "PNG"}); }

}  // namespace qel
