// Turning a picture by a quarter turn. The pixels are only moved, never changed; the
// transparent flag and the palette stay.
#pragma once

#include "imaging/picture.h"

namespace qel {

// 90 degrees clockwise: the top-left pixel becomes the top-right one.
void RotateRight(Picture& picture);
// 90 degrees anticlockwise: the top-left pixel becomes the bottom-left one.
void RotateLeft(Picture& picture);

}  // namespace qel
