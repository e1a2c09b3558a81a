#include "imaging/rotate.h"

#include <cstring>

namespace qel {

namespace {

enum class Turn { kRight, kLeft };

void Rotate(Picture& picture, Turn turn) {
  const int w = picture.Width(), h = picture.Height();
  // The result is complete before it replaces the picture, so a failed allocation
  // leaves the picture as it was.
  Picture result = NewPicture(h, w, kNoColor);
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* in = picture.Row(y);
    for (int x = 0; x < w; ++x, in += 3) {
      // Source (x, y) goes to (h - 1 - y, x) turning right and to (y, w - 1 - x) turning left.
      std::uint8_t* out = turn == Turn::kRight ? result.Row(x) + 3 * std::size_t(h - 1 - y)
                                               : result.Row(w - 1 - x) + 3 * std::size_t(y);
      std::memcpy(out, in, 3);
    }
  }
  result.SetTransparent(picture.Transparent());
  result.SetPalette(picture.GetPalette());
  picture.Assign(std::move(result));
}

}  // namespace

void RotateRight(Picture& picture) {
  Rotate(picture, Turn::kRight);
}
void RotateLeft(Picture& picture) {
  Rotate(picture, Turn::kLeft);
}

}  // namespace qel
