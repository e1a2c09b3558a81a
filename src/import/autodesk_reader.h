// TAutodeskGraphic: not written yet; loading raises the "not supported" message.
#pragma once

#include "import/import_graphic.h"

namespace qel {

class TAutodeskGraphic : public TImportGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }
  void LoadFromStream(TStream& stream) override;
};

}  // namespace qel
