#include "app/selection.h"

#include <algorithm>
#include <utility>

#include "imaging/rounding.h"

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

}  // namespace qel
