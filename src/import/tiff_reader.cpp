#include "import/tiff_reader.h"

#include "import/messages.h"

namespace qel {

const GraphicClass& TTIFFGraphic::StaticClass() {
  static const GraphicClass cls("TTIFFGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TTIFFGraphic>);
  return cls;
}

void TTIFFGraphic::LoadFromStream(TStream&) { GraphicError(msg::kUnsupportedFeature, {"Reading", "TIF/TIFF"}); }

}  // namespace qel
