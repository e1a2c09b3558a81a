#include "import/png/libpng_reader.h"

#include "import/codecs/libpng_decode.h"

namespace qel {

const GraphicClass& TPNGObject::StaticClass() {
  static const GraphicClass cls("TPNGObject", &TGraphic::StaticClass(), &MakeGraphic<TPNGObject>);
  return cls;
}

void TPNGObject::LoadFromStream(TStream& stream) {
  DecodePng(stream, bitmap_, Observer());
}

}  // namespace qel
