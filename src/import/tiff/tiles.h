// Tiled TIFF images: where each tile's samples go in the picture. A row of tiles is
// decoded tile by tile and laid side by side into a band of whole picture rows, laid
// out as a strip of those rows would be; tiles at the right and bottom edges are cut
// to the picture.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel::tiff {

// Copies bit_count bits from the start of source into dest from bit dest_bit on (bits
// counted from the most significant bit of each byte). The bits of dest it covers must
// be 0: they are or-ed in, and the bits around them are kept.
void PlaceBits(const std::uint8_t* source, std::uint8_t* dest, std::uint64_t dest_bit,
               std::uint64_t bit_count);

class TileLayout {
 public:
  // The picture and its tiles in pixels; element_bits: the bits of one pixel's samples
  // in a tile row (of one plane when planes are separate). Subsampled YCbCr data comes
  // in units of h x v pixels: an element is then a unit and a tile row a row of units;
  // the tile's sides must be whole units (ValidUnits).
  TileLayout(std::uint32_t width, std::uint32_t height, std::uint32_t tile_width, std::uint32_t tile_length,
             std::uint64_t element_bits, std::uint32_t h = 1, std::uint32_t v = 1);

  bool ValidUnits() const { return tile_width_ % h_ == 0 && tile_length_ % v_ == 0; }
  std::uint64_t Across() const { return across_; }
  std::uint64_t Down() const { return down_; }
  // Tiles of one plane.
  std::uint64_t Count() const { return across_ * down_; }
  // The picture grown to whole tiles.
  std::uint64_t PaddedWidth() const { return across_ * tile_width_; }
  std::uint64_t PaddedHeight() const { return down_ * tile_length_; }
  // Decoded bytes of one tile (of one plane).
  std::uint64_t TileBytes() const { return tile_lines_ * tile_line_bytes_; }
  std::uint64_t TileLineBytes() const { return tile_line_bytes_; }
  // Picture rows that tile row `row` covers.
  std::uint32_t RowsOfBand(std::uint64_t row) const;

  // Lays the decoded tile in column `column` of a tile row into band, whose lines (rows
  // of pixels, or of units) are band_line_bytes long and zeroed beforehand; band_rows
  // is RowsOfBand of that tile row.
  void Place(const std::uint8_t* tile, std::uint64_t column, std::uint32_t band_rows, std::uint8_t* band,
             std::uint64_t band_line_bytes) const;

 private:
  std::uint32_t height_;
  std::uint32_t tile_width_;
  std::uint32_t tile_length_;
  std::uint64_t element_bits_;
  std::uint32_t h_;
  std::uint32_t v_;
  std::uint64_t across_;
  std::uint64_t down_;
  std::uint64_t picture_elements_;  // elements across the picture
  std::uint64_t tile_elements_;     // elements across a tile
  std::uint64_t tile_lines_;
  std::uint64_t tile_line_bytes_;
};

}  // namespace qel::tiff
