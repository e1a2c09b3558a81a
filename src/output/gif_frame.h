// The one frame of a GIF written from a picture: its colour table, its pixels as
// table indices and, for a transparent picture, the transparent index.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "imaging/picture.h"
#include "output/gif_palette.h"

namespace qel {

struct TGIFFrame {
  int width = 0;
  int height = 0;
  TGIFColorMap color_map;
  // One index a pixel, top row first, width bytes a row.
  std::vector<std::uint8_t> pixels;
  // Set when the frame carries a graphic control extension with transparency.
  std::optional<std::uint8_t> transparent_index;
};

// Reduces the picture to the palette of quantised and system colours with
// nearest-colour mapping. For a transparent picture the table is then sorted by use
// and black is appended as the transparent entry, which every pixel of the
// transparent colour takes; a table with no room left gives no transparency.
TGIFFrame MakeGifFrame(const Picture& picture);

}  // namespace qel
