// TCUTGraphic: reads Dr. Halo images: 8-bit palette indices, run-length compressed
// line by line, whose palette lives in a separate file of the same name with the
// extension ".pal". Without that file the image is shown in gray.
#pragma once

#include <string>

#include "import/framework/import_graphic.h"

namespace qel {

class TCUTGraphic : public TImportGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  // The format has no signature: the stream test of the base (always false) stands.
  // Reads width and height; false only when the stream is too short for them.
  bool ReadProperties(TStream& stream, int image_index) override;
  void LoadFromStream(TStream& stream) override;
  // Remembers the palette file that goes with the image, then loads the image. A load
  // from a stream alone keeps the palette file of the last file load.
  void LoadFromFile(const std::string& path) override;

  const std::string& PaletteFileName() const { return palette_file_; }

 private:
  std::string palette_file_;
};

}  // namespace qel
