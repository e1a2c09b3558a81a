#include "import/targa_graphic.h"

#include "import/messages.h"

namespace qel {

const GraphicClass& TTargaGraphic::StaticClass() {
  static const GraphicClass cls("TTargaGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TTargaGraphic>);
  return cls;
}

void TTargaGraphic::LoadFromStream(TStream&) { GraphicError(msg::kUnsupportedFeature, {"Reading", "TGA"}); }

}  // namespace qel
