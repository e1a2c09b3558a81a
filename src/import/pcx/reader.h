// TPCXGraphic: reads ZSoft Paintbrush files (pcx, pcc, and scr screen captures): 1, 2,
// 4 and 8-bit palette images, images of two to four 1-bit planes (4, 8 or 16 colours),
// and true-colour images of three or four 8-bit planes, stored or run-length compressed.
#pragma once

#include <cstdint>
#include <vector>

#include "import/framework/import_graphic.h"
#include "import/pcx/header.h"

namespace qel {

class TPCXGraphic : public TImportGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  // True when a whole header remains whose manufacturer byte is 10 or 205, whose
  // version is 0, 2, 3, 4 or 5 and whose encoding is 0 or 1. The position is restored.
  bool RecognizesStream(TStream& stream) const override;
  // False when less than a header remains or the manufacturer byte is unknown.
  bool ReadProperties(TStream& stream, int image_index) override;
  void LoadFromStream(TStream& stream) override;

 private:
  // The palette of a bitmap of up to 8 bits; sets trailing_palette when the file
  // closes with a 256-colour palette. The stream position is kept.
  Palette ReadPalette(TStream& stream, const PcxHeader& header, TPixelFormat format, bool& trailing_palette);
  // The pixel data of every row, expanded: Height x planes x bytes per line bytes.
  std::vector<std::uint8_t> ReadPixelData(TStream& stream, const PcxHeader& header, bool trailing_palette);
};

}  // namespace qel
