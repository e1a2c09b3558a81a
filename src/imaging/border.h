// Frames around a picture. Neither changes the picture's width or height, and after
// either the picture is not transparent (the transparent colour is taken from a corner,
// which is frame now). Colours are 0x00BBGGRR; the width is in pixels (the options allow
// 1 to 50).
#pragma once

#include "imaging/picture.h"

namespace qel {

// The number of frame-colour pixels DrawBorder paints along each edge for a width:
// (width + 1) div 2, the inner half of a pen of that width centred on the outermost
// pixels (10 gives 5, 11 gives 6, 1 gives 1); 0 for widths below 1.
int DrawBorderBand(int width);

// Paints a band of DrawBorderBand(width) pixels of the frame colour over each edge, then
// a one-pixel ring of the line colour on the outermost pixels. The picture's content
// under the band is covered.
void DrawBorder(Picture& picture, TColor frame_color, TColor line_color, int width);

// Shrinks the picture's content by width pixels in each direction (resampled with
// Lanczos3, not sharpened) and centres it in a frame of the frame colour: width div 2
// pixels on the left and top, width - width div 2 on the right and bottom. The outermost
// ring is the line colour unless that is black (0), which draws no outline. A picture
// no larger than the width becomes all frame. Nothing changes when the resize fails.
void AddBorder(Picture& picture, TColor frame_color, TColor line_color, int width);

}  // namespace qel
