#include "import/tiff/tiles.h"

#include <algorithm>
#include <cstring>

namespace qel::tiff {

namespace {

std::uint64_t DivideRoundingUp(std::uint64_t a, std::uint64_t b) {
  return (a + b - 1) / b;
}

}  // namespace

void PlaceBits(const std::uint8_t* source, std::uint8_t* dest, std::uint64_t dest_bit,
               std::uint64_t bit_count) {
  if (bit_count == 0) return;
  std::uint8_t* out = dest + dest_bit / 8;
  const unsigned shift = unsigned(dest_bit % 8);
  const std::size_t whole = std::size_t(bit_count / 8);
  const unsigned tail = unsigned(bit_count % 8);
  if (shift == 0) {
    std::memcpy(out, source, whole);
    if (tail) out[whole] |= std::uint8_t(source[whole] & (0xFF00u >> tail));
    return;
  }
  for (std::size_t i = 0; i < whole; ++i) {
    out[i] |= std::uint8_t(source[i] >> shift);
    out[i + 1] |= std::uint8_t(source[i] << (8 - shift));
  }
  if (tail) {
    const unsigned last = source[whole] & (0xFF00u >> tail);
    out[whole] |= std::uint8_t(last >> shift);
    if (tail + shift > 8) out[whole + 1] |= std::uint8_t(last << (8 - shift));
  }
}

TileLayout::TileLayout(std::uint32_t width, std::uint32_t height, std::uint32_t tile_width,
                       std::uint32_t tile_length, std::uint64_t element_bits, std::uint32_t h,
                       std::uint32_t v)
    : height_(height),
      tile_width_(tile_width),
      tile_length_(tile_length),
      element_bits_(element_bits),
      h_(h),
      v_(v),
      across_(DivideRoundingUp(width, tile_width)),
      down_(DivideRoundingUp(height, tile_length)),
      picture_elements_(DivideRoundingUp(width, h)),
      tile_elements_(DivideRoundingUp(tile_width, h)),
      tile_lines_(DivideRoundingUp(tile_length, v)),
      tile_line_bytes_(DivideRoundingUp(tile_elements_ * element_bits, 8)) {}

std::uint32_t TileLayout::RowsOfBand(std::uint64_t row) const {
  const std::uint64_t first = row * tile_length_;
  return first >= height_ ? 0 : std::uint32_t(std::min<std::uint64_t>(tile_length_, height_ - first));
}

void TileLayout::Place(const std::uint8_t* tile, std::uint64_t column, std::uint32_t band_rows,
                       std::uint8_t* band, std::uint64_t band_line_bytes) const {
  const std::uint64_t first = column * tile_elements_;
  if (first >= picture_elements_) return;
  const std::uint64_t bits = std::min(tile_elements_, picture_elements_ - first) * element_bits_;
  const std::uint64_t lines = std::min<std::uint64_t>(DivideRoundingUp(band_rows, v_), tile_lines_);
  for (std::uint64_t line = 0; line < lines; ++line)
    PlaceBits(tile + line * tile_line_bytes_, band + line * band_line_bytes, first * element_bits_, bits);
}

}  // namespace qel::tiff
