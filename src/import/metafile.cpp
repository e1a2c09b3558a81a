#include "import/metafile.h"

#include "imaging/errors.h"
#include "import/messages.h"

namespace qel {

const GraphicClass& TMetafile::StaticClass() {
  static const GraphicClass cls("TMetafile", &TGraphic::StaticClass(), &MakeGraphic<TMetafile>);
  return cls;
}

void TMetafile::LoadFromStream(TStream&) {
  throw EInvalidGraphic(FormatMessage(msg::kUnsupportedFeature, {"Reading", "WMF/EMF"}));
}

}  // namespace qel
