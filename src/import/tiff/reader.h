// TTIFFGraphic: reads the first image of a TIFF file of either byte order, in strips or
// in tiles, into the bitmap that it is, through the decoders and the colour manager.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "import/codecs/decoder.h"
#include "import/framework/import_graphic.h"
#include "import/tiff/directory.h"
#include "import/tiff/row_plan.h"
#include "import/tiff/strips.h"
#include "import/tiff/tiles.h"

namespace qel {

class TStream;

class TTIFFGraphic : public TImportGraphic {
 public:
  // The short name of the format in messages.
  static constexpr const char* kFormatName = "TIF/TIFF";

  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  // A byte order mark, the number 42 and a first directory inside the stream.
  bool RecognizesStream(TStream& stream) const override;
  // Reads the header and the directory of image image_index (0 = first) at the stream's
  // position into the properties.
  bool ReadProperties(TStream& stream, int image_index) override;
  // Loads image 0 of the TIFF file that starts at the stream's position.
  void LoadFromStream(TStream& stream) override;

  // The directory that the last successful ReadProperties read.
  const tiff::TTIFFDirectory& Directory() const { return directory_; }
  // The luma weights of YCbCr data (tag 529, or 0.299, 0.587, 0.114).
  const std::array<float, 3>& YCbCrCoefficients() const { return ycbcr_coefficients_; }
  std::uint32_t YCbCrPositioning() const { return ycbcr_positioning_; }

 private:
  using RowPlan = tiff::RowPlan;

  bool ReadTIFFProperties(TStream& stream, int image_index);
  RowPlan PlanRows(TStream& stream);
  void PlanAlpha(TStream& stream, RowPlan& plan);
  void ConfigureColorManager(const RowPlan& plan);
  void CreatePalette(TStream& stream, const RowPlan& plan);
  // Refuses, before anything is allocated, a picture that the file's data cannot make.
  void CheckCodedData(TStream& stream, const RowPlan& plan);

  // Strips (transfer.cpp). Reads the strip offsets and byte counts and checks that they
  // cover the image and lie inside the stream.
  tiff::StripTable ReadStripTable(TStream& stream, const RowPlan& plan);
  std::uint32_t StripsPerPlane(const RowPlan& plan) const;
  // Rows of strip strip (of one plane) that starts at image row first_row.
  std::uint32_t RowsOfStrip(std::uint32_t strip, std::uint32_t first_row) const;
  // Decoded bytes of a strip of rows rows (of one plane).
  std::uint64_t StripBytes(const RowPlan& plan, std::uint32_t rows) const;
  void TransferStrips(TStream& stream, const RowPlan& plan, tiff::StripTable table, TDecoder* decoder);

  // Tiles (transfer.cpp): the same for tile offsets and byte counts.
  tiff::TileLayout TileLayoutOf(const RowPlan& plan) const;
  tiff::StripTable ReadTileTable(TStream& stream, const RowPlan& plan);
  void TransferTiles(TStream& stream, const RowPlan& plan, tiff::StripTable table, TDecoder* decoder);

  // Converts the rows of a band (a strip, or a row of tiles: one buffer a plane, rows
  // of RowPlan::line_bytes) into the bitmap from CurrentRow on; scratch is the row
  // buffer the conversion reuses.
  void ConvertBand(const RowPlan& plan, std::vector<std::vector<std::uint8_t>>& band, std::uint32_t rows,
                   bool undo_differencing, std::vector<std::uint8_t>& scratch);

  tiff::TTIFFDirectory directory_;
  std::array<float, 3> ycbcr_coefficients_{0.299f, 0.587f, 0.114f};
  std::uint32_t ycbcr_positioning_ = 1;
};

}  // namespace qel
