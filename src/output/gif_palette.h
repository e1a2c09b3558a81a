// The colour table of a GIF frame: the 256-entry palette made of a picture's quantised
// colours between the system colours, the mapping of pixels to their nearest entry,
// and the table sorted by use.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/picture.h"
#include "output/color_quantizer.h"

namespace qel {

inline constexpr int kGifPaletteSize = 256;
// Room left between the ten system colours at each end of the palette.
inline constexpr int kQuantizedColorLimit = 236;
inline constexpr int kFirstQuantizedEntry = 10;

struct TGIFColorMap {
  std::array<TRGBTriple, kGifPaletteSize> colors{};
  int count = 0;
  // The table is sorted by use, most used first.
  bool optimized = false;
};

// Entries 0 to 9: the first ten system colours; 10 to 245: the picture's colours
// quantised to at most 236, then black; 246 to 255: the last ten system colours.
TGIFColorMap OptimizedPaletteWithSystemColors(const Picture& picture);

// The index of the palette entry nearest to a colour: smallest squared distance in
// red, green and blue, the lowest index on a tie. The colour cube is cut into cells of
// 8 x 8 x 8 values; for each cell that a colour falls in, the entries that can be
// nearest to some colour of the cell are listed once, in index order, and only they are
// searched.
class TNearestColorMapper {
 public:
  explicit TNearestColorMapper(const TGIFColorMap& palette);
  std::uint8_t Nearest(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  // The plain search over every entry, which Nearest() must agree with.
  std::uint8_t Search(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const;

 private:
  static constexpr int kCellBits = 3;  // a cell spans 8 values of each channel
  static constexpr int kCellsPerSide = 256 >> kCellBits;
  struct Cell {
    std::uint32_t first = 0;  // in candidates_
    std::uint16_t count = 0;  // 0: not listed yet (every cell has at least one candidate)
  };
  const Cell& CellFor(int cell_index, int red_cell, int green_cell, int blue_cell);

  int count_;
  std::array<std::int32_t, kGifPaletteSize> red_{}, green_{}, blue_{};
  std::vector<Cell> cells_;
  std::vector<std::uint8_t> candidates_;
};

// One palette index a pixel, rows from the top, each row from the left, width bytes a row.
std::vector<std::uint8_t> ReduceColors(const Picture& picture, const TGIFColorMap& palette);

// Sorts the table by descending use (equal uses keep their order), renumbers the
// pixels to match and drops the entries no pixel uses. A table of at most one entry
// stays as it is.
void OptimizeColorTable(TGIFColorMap& table, std::span<std::uint8_t> pixels);

}  // namespace qel
