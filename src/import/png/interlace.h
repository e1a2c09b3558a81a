// The seven passes of Adam7 interlacing. Each pass covers the pixels at its start row
// and column and every row step and column step after them; its mask has a bit set for
// each of its columns within a group of eight (bit 7 is the group's first column), the
// form in which the colour manager takes a selection of pixels.
#pragma once

#include <array>
#include <cstdint>

namespace qel {

struct Adam7Pass {
  std::uint32_t start_row;
  std::uint32_t start_column;
  std::uint32_t row_step;
  std::uint32_t column_step;
  std::uint8_t mask;

  // Pixels of the pass in one row of an image of this width.
  std::uint32_t ColumnsIn(std::uint32_t width) const {
    return start_column < width ? (width - start_column + column_step - 1) / column_step : 0;
  }
  // Rows of the pass in an image of this height.
  std::uint32_t RowsIn(std::uint32_t height) const {
    return start_row < height ? (height - start_row + row_step - 1) / row_step : 0;
  }
};

inline constexpr std::array<Adam7Pass, 7> kAdam7Passes = {{
    {0, 0, 8, 8, 0x80},
    {0, 4, 8, 8, 0x08},
    {4, 0, 8, 4, 0x88},
    {0, 2, 4, 4, 0x22},
    {2, 0, 4, 2, 0xAA},
    {0, 1, 2, 2, 0x55},
    {1, 0, 2, 1, 0xFF},
}};

}  // namespace qel
