// Point operations: each pixel changes from its own value alone. Blue, green and red
// get the same treatment; every result is limited to 0..255.
#pragma once

#include <cstdint>

#include "imaging/picture.h"

namespace qel {

// A percentage as an amount on the 0..255 scale: 255 for exactly 100, otherwise
// Trunc(percent / 100 x 255) (10 gives 25, 5 gives 12, -10 gives -25), limited to
// +/-65025, beyond which the operations give the same results.
int ToneAmount(int percent);

// Moves each value toward 255 by amount/255 of the remaining distance.
void LightenPicture(Picture& picture, int percent);
// Scales each value down by amount/255.
void DarkenPicture(Picture& picture, int percent);
// Pushes values away from 127 (positive percent) or pulls them toward it (negative).
void ContrastPicture(Picture& picture, int percent);
// Every pixel becomes the grey 0.3 red + 0.59 green + 0.11 blue, rounded.
void GrayPicture(Picture& picture);
// Every pixel becomes its average a as blue, a + depth as green and a + 2 x depth as
// red, each limited to 255.
void SepiaPicture(Picture& picture, std::uint8_t depth);

}  // namespace qel
