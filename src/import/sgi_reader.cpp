#include "import/sgi_reader.h"

#include "import/messages.h"

namespace qel {

const GraphicClass& TSGIGraphic::StaticClass() {
  static const GraphicClass cls("TSGIGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TSGIGraphic>);
  return cls;
}

void TSGIGraphic::LoadFromStream(TStream&) { GraphicError(msg::kUnsupportedFeature, {"Reading", "SGI"}); }

}  // namespace qel
