#include "imaging/crop.h"

#include <algorithm>
#include <cstring>

namespace qel {

TRect ClipToPicture(const Picture& picture, const TRect& rect) {
  TRect clipped{std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, picture.Width()),
                std::min(rect.bottom, picture.Height())};
  if (clipped.left >= clipped.right || clipped.top >= clipped.bottom) return TRect{};
  return clipped;
}

bool CropPicture(Picture& picture, const TRect& rect) {
  const TRect part = ClipToPicture(picture, rect);
  if (part.Width() <= 0 || part.Height() <= 0) return false;
  Picture result = NewPicture(part.Width(), part.Height(), kNoColor);
  for (int y = part.top; y < part.bottom; ++y) {
    std::memcpy(result.Row(y - part.top), picture.Row(y) + 3 * std::size_t(part.left),
                3 * std::size_t(part.Width()));
  }
  result.SetTransparent(picture.Transparent());
  result.SetPalette(picture.GetPalette());
  picture.Assign(std::move(result));
  return true;
}

}  // namespace qel
