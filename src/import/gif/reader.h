// TGIFGraphic: the import library's own GIF reader. It reads the first image of a
// GIF file into an 8-bit palette bitmap of the image's size; extensions (transparency,
// animation, comments) are skipped, so a transparent index shows its palette colour.
// Image data that ends before the picture does keeps the rows it holds: the bitmap is
// then 24-bit with the missing rows white, and a warning goes to the observer.
#pragma once

#include <cstdint>
#include <vector>

#include "import/framework/import_graphic.h"

namespace qel {

class TGIFGraphic : public TImportGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  bool RecognizesStream(TStream& stream) const override;
  bool ReadProperties(TStream& stream, int image_index) override;
  void LoadFromStream(TStream& stream) override;

 private:
  void LoadFirstImage(TStream& stream);
  // Makes the bitmap 24-bit: the first rows_decoded rows of order keep their colours,
  // the others are white.
  void LeaveMissingRowsWhite(const std::vector<std::uint32_t>& order, std::size_t rows_decoded);
};

}  // namespace qel
