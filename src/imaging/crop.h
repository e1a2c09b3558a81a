// Cutting a picture down to a rectangle.
#pragma once

#include "imaging/picture.h"

namespace qel {

// The part of the rectangle that lies inside the picture (possibly empty). A rectangle
// whose right edge lies left of its left edge, or whose bottom lies above its top, is
// empty.
TRect ClipToPicture(const Picture& picture, const TRect& rect);

// Replaces the picture by its part inside the rectangle, clipped to the picture. Returns
// false and leaves the picture unchanged when nothing of the rectangle lies inside it.
// The transparent flag and the palette stay.
bool CropPicture(Picture& picture, const TRect& rect);

}  // namespace qel
