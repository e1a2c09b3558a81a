#include "import/cut_reader.h"

#include "import/messages.h"

namespace qel {

const GraphicClass& TCUTGraphic::StaticClass() {
  static const GraphicClass cls("TCUTGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TCUTGraphic>);
  return cls;
}

void TCUTGraphic::LoadFromStream(TStream&) { GraphicError(msg::kUnsupportedFeature, {"Reading", "CUT"}); }

}  // namespace qel
