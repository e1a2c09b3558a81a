#include "output/gif_frame.h"

namespace qel {

namespace {

// Appends black as the transparent entry for the pixels of the picture's transparent
// colour; the entry is taken back when no pixel needs it.
void AddTransparentEntry(const Picture& picture, TGIFFrame& frame) {
  TGIFColorMap& table = frame.color_map;
  if (table.count == 0 || table.count >= kGifPaletteSize) return;
  const std::uint8_t transparent = std::uint8_t(table.count);
  table.colors[std::size_t(table.count)] = TRGBTriple{0, 0, 0};
  ++table.count;

  const TColor color = picture.TransparentColor();
  const std::uint8_t red = RedOf(color), green = GreenOf(color), blue = BlueOf(color);
  const std::size_t width = std::size_t(picture.Width());
  bool any = false;
  std::uint8_t* out = frame.pixels.data();
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint8_t* row = picture.Row(y);
    for (std::size_t x = 0; x < width; ++x, ++out) {
      if (row[3 * x] == blue && row[3 * x + 1] == green && row[3 * x + 2] == red) {
        *out = transparent;
        any = true;
      }
    }
  }
  if (any) {
    frame.transparent_index = transparent;
  } else {
    --table.count;
  }
}

}  // namespace

TGIFFrame MakeGifFrame(const Picture& picture) {
  TGIFFrame frame;
  frame.width = picture.Width();
  frame.height = picture.Height();
  frame.color_map = OptimizedPaletteWithSystemColors(picture);
  frame.pixels = ReduceColors(picture, frame.color_map);
  if (picture.Transparent()) {
    OptimizeColorTable(frame.color_map, frame.pixels);
    AddTransparentEntry(picture, frame);
  }
  return frame;
}

}  // namespace qel
