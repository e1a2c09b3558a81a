#include "app/selection.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "app/mul_div.h"

namespace qel {

TCropSize CropSizeOf(const TRect& selection, const TRect& draw_rect, int w, int h) {
  return TCropSize{MulDiv(w, selection.right - selection.left, draw_rect.right),
                   MulDiv(h, selection.bottom - selection.top, draw_rect.bottom)};
}

TRect SelectionToPicturePixels(const TRect& rect, const TRect& draw_rect, int w, int h) {
  std::int32_t left = MulDiv(w, rect.left, draw_rect.right);
  std::int32_t right = MulDiv(w, rect.right, draw_rect.right);
  std::int32_t top = MulDiv(h, rect.top, draw_rect.bottom);
  std::int32_t bottom = MulDiv(h, rect.bottom, draw_rect.bottom);
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  left = std::clamp(left, 0, std::max(w, 0));
  right = std::clamp(right, 0, std::max(w, 0));
  top = std::clamp(top, 0, std::max(h, 0));
  bottom = std::clamp(bottom, 0, std::max(h, 0));
  return TRect{left, top, right, bottom};
}

Picture CropPicture(const Picture& picture, const TRect& area) {
  if (area.left < 0 || area.top < 0 || area.right > picture.Width() || area.bottom > picture.Height() ||
      area.left > area.right || area.top > area.bottom)
    throw std::out_of_range("The crop area lies outside the picture.");
  Picture cropped;
  if (area.Width() == 0 || area.Height() == 0) return cropped;
  cropped.SetSizeUninitialized(area.Width(), area.Height());
  const std::size_t bytes = std::size_t(area.Width()) * 3;
  for (int y = 0; y < area.Height(); ++y) {
    std::uint8_t* target = cropped.Row(y);
    std::memcpy(target, picture.Row(area.top + y) + std::size_t(area.left) * 3, bytes);
    // The row padding is not part of any pixel; keep it defined.
    std::memset(target + bytes, 0, cropped.RowSize() - bytes);
  }
  return cropped;
}

}  // namespace qel
