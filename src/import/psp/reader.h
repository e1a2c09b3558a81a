// TPSPGraphic: the first normal raster layer of Paint Shop Pro files (major version 3
// and later), 1, 4, 8 or 24 bits a pixel, with the file's palette. Channels are stored,
// run-length or LZ77 compressed; JPEG-compressed files are refused. A fourth channel of
// a 24-bit layer is kept in the bitmap as alpha.
#pragma once

#include <cstdint>
#include <vector>

#include "import/framework/import_graphic.h"

namespace qel {

struct PspBlockHeader;

class TPSPGraphic : public TImportGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  bool RecognizesStream(TStream& stream) const override;
  bool ReadProperties(TStream& stream, int image_index) override;
  void LoadFromStream(TStream& stream) override;

 private:
  // The channel planes of the layer being read: red, green, blue and alpha for 24-bit
  // images, the composite alone (plane 0) for the others. Each holds Height rows of
  // stride bytes.
  struct LayerPlanes {
    std::size_t stride = 0;
    std::vector<std::vector<std::uint8_t>> planes;
  };

  void ReadPalette(TStream& stream, std::uint64_t block_end);
  // Reads the first normal raster layer of the layer bank into the bitmap; false when
  // the bank holds none.
  bool ReadLayerBank(TStream& stream, std::uint64_t bank_end, std::size_t stride);
  // Reads the layer whose block starts at the stream's position; false when it is not
  // a normal raster layer.
  bool ReadLayer(TStream& stream, std::uint64_t layer_end, std::size_t stride);
  void ReadChannel(TStream& stream, const PspBlockHeader& block, LayerPlanes& layer);
  void TransferLayer(const LayerPlanes& layer);

  std::uint16_t major_version_ = 0;
  std::uint16_t compression_code_ = 0;  // as the file has it
};

}  // namespace qel
