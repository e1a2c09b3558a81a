// TTargaGraphic: reads Truevision Targa files (uncompressed and run-length coded;
// colour-mapped, true-colour and greyscale) into the bitmap it is. The writer is in
// output/targa_writer.h.
#pragma once

#include "import/framework/import_graphic.h"
#include "import/targa/header.h"

namespace qel {

class TTargaGraphic : public TImportGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  // True when the bytes from the stream's position look like a Targa header (a known
  // image type, map type 0 or 1, a map entry size of 15, 16, 24 or 32 and a pixel
  // depth of 8, 15, 16, 24 or 32). The position is restored.
  bool RecognizesStream(TStream& stream) const override;
  bool ReadProperties(TStream& stream, int image_index) override;
  void LoadFromStream(TStream& stream) override;

 private:
  void ReadPalette(TStream& stream, const TargaHeader& header);
  void ReadRows(TStream& stream, const TargaHeader& header);
};

}  // namespace qel
