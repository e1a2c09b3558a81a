#include "import/gif_reader.h"

#include "import/messages.h"

namespace qel {

const GraphicClass& TGIFGraphic::StaticClass() {
  static const GraphicClass cls("TGIFGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TGIFGraphic>);
  return cls;
}

void TGIFGraphic::LoadFromStream(TStream&) { GraphicError(msg::kUnsupportedFeature, {"Reading", "GIF"}); }

}  // namespace qel
