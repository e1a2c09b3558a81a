// The selection dragged over the picture with Alt (or Shift) held, and the crop it
// leads to.
#pragma once

#include <QtCore/qnamespace.h>
#include <cstdint>

#include "imaging/picture.h"

namespace qel {

struct TPoint {
  std::int32_t x = 0, y = 0;
  friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

// Whether the keys held make a press start a selection, and a release crop: Alt, or
// Shift for desktops whose window manager takes Alt+drag to move windows.
inline bool HoldsCropKey(Qt::KeyboardModifiers modifiers) {
  return modifiers & (Qt::AltModifier | Qt::ShiftModifier);
}

struct TSelection {
  // A selection drag is in progress.
  bool Selecting = false;
  // The point of the last mouse press on the picture, in the control's coordinates;
  // every press writes it, whatever the button and the modifiers.
  TPoint PressPoint;
  // From the press point to the latest mouse point, in the window's client
  // coordinates. Not normalised: a drag to the left or upward has right < left or
  // bottom < top.
  TRect SelectionRect;
};

struct TCropSize {
  std::int32_t width = 0, height = 0;
};

// The size of the selection in picture pixels, signed, for a w x h picture drawn
// into draw_rect.
TCropSize CropSizeOf(const TRect& selection, const TRect& draw_rect, int w, int h);

// The picture pixels under a rectangle given in the control's coordinates: each edge
// scaled by the ratio of the picture's size to the drawn size (rounded, halves away
// from zero), then normalised so that left <= right and top <= bottom, then clipped
// to the picture. The result may be empty.
TRect SelectionToPicturePixels(const TRect& rect, const TRect& draw_rect, int w, int h);

}  // namespace qel
