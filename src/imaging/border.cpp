#include "imaging/border.h"

#include <algorithm>
#include <cstring>

#include "imaging/resample.h"

namespace qel {

int DrawBorderBand(int width) {
  return width < 1 ? 0 : width / 2 + width % 2;
}

void DrawBorder(Picture& picture, TColor frame_color, TColor line_color, int width) {
  if (picture.Empty()) return;
  const int w = picture.Width(), h = picture.Height();
  const int band = DrawBorderBand(width);
  if (band > 0) {
    FillRect(picture, {0, 0, w, band}, frame_color);      // top
    FillRect(picture, {0, h - band, w, h}, frame_color);  // bottom
    FillRect(picture, {0, 0, band, h}, frame_color);      // left
    FillRect(picture, {w - band, 0, w, h}, frame_color);  // right
  }
  FillAndOutline(picture, kNoColor, line_color);
  // The frame's corner would otherwise become the transparent colour.
  picture.SetTransparent(false);
}

namespace {

// Copies source onto target with its top-left corner at (left, top), clipped to target.
void DrawPicture(Picture& target, const Picture& source, int left, int top) {
  const int x0 = std::max(left, 0), y0 = std::max(top, 0);
  const int x1 = std::min(left + source.Width(), target.Width());
  const int y1 = std::min(top + source.Height(), target.Height());
  if (x0 >= x1 || y0 >= y1) return;
  for (int y = y0; y < y1; ++y) {
    std::memcpy(target.Row(y) + 3 * std::size_t(x0), source.Row(y - top) + 3 * std::size_t(x0 - left),
                3 * std::size_t(x1 - x0));
  }
}

}  // namespace

void AddBorder(Picture& picture, TColor frame_color, TColor line_color, int width) {
  if (picture.Empty()) return;
  const int w = picture.Width(), h = picture.Height();
  const int inset = std::max(width, 0);
  // The content is resized first: when that fails the picture has not been touched.
  Picture content = picture;
  ResizePicture(content, std::max(w - inset, 0), std::max(h - inset, 0), kFilterLanczos3);

  if (line_color == 0) {
    FillPicture(picture, frame_color);
  } else {
    FillAndOutline(picture, frame_color, line_color);
  }
  DrawPicture(picture, content, inset / 2, inset / 2);
  picture.SetTransparent(false);
}

}  // namespace qel
