#include "import/psd_reader.h"

#include "import/messages.h"

namespace qel {

const GraphicClass& TPSDGraphic::StaticClass() {
  static const GraphicClass cls("TPSDGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TPSDGraphic>);
  return cls;
}

void TPSDGraphic::LoadFromStream(TStream&) { GraphicError(msg::kUnsupportedFeature, {"Reading", "PSD"}); }

}  // namespace qel
