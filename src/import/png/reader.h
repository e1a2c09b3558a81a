// TPNGGraphic: the import library's own PNG reader. It checks every chunk's CRC,
// inflates the image data row by row, undoes the row filters and Adam7 interlacing,
// and converts each row with the colour manager into a bitmap of 1, 4 or 8 bits
// (gray ramp or palette), 24 bits, or 32 bits with the alpha kept in the fourth byte
// (not drawn). A gAMA chunk turns gamma correction on; a tRNS colour of a gray or RGB
// image makes the bitmap transparent in that colour.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "import/framework/import_graphic.h"
#include "import/png/header.h"

namespace qel {

class PngChunkReader;

class TPNGGraphic : public TImportGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  bool RecognizesStream(TStream& stream) const override;
  bool ReadProperties(TStream& stream, int image_index) override;
  void LoadFromStream(TStream& stream) override;

  // The alpha of each palette entry from a tRNS chunk (255 where the chunk says
  // nothing); kept, not drawn.
  const std::array<std::uint8_t, 256>& TransparencyTable() const { return transparency_; }
  // The colour a bKGD chunk gives (white without one); the bitmap is filled with it
  // before the rows are decoded.
  TColor BackgroundColor() const { return background_; }

 private:
  void LoadChunks(TStream& stream);
  void ResetImageState();
  void SetUpColorManager();
  void ReadPalette(PngChunkReader& chunks);
  void ReadGamma(PngChunkReader& chunks);
  void ReadBackground(PngChunkReader& chunks);
  void ReadTransparency(PngChunkReader& chunks);
  void DecodeImage(PngChunkReader& chunks);
  void MakeBitmap();
  void FillBackground();

  // Samples of a bKGD or tRNS chunk: one gray level, an RGB triple or a palette index.
  using Samples = std::array<std::uint32_t, 3>;
  std::optional<Samples> ReadSamples(PngChunkReader& chunks) const;
  // The bitmap index that a gray level or palette index of the file becomes.
  std::uint32_t TargetIndex(std::uint32_t sample) const;
  // The colour that pixels of these samples are drawn with; kNoColor for samples the
  // bit depth cannot hold.
  TColor DrawnColor(const Samples& samples);

  PngHeader header_{};
  PngPixelLayout layout_{};
  std::vector<std::uint8_t> raw_palette_;  // red, green, blue triples as in PLTE
  std::array<std::uint8_t, 256> transparency_{};
  std::optional<Samples> background_samples_;
  std::optional<Samples> transparent_samples_;
  TColor background_ = 0xFFFFFF;
  bool image_decoded_ = false;
  bool data_cut_ = false;  // the file ended inside the image data
};

}  // namespace qel
