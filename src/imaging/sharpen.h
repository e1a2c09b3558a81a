// Neighbourhood operations over each pixel's four direct neighbours. Both leave the
// outermost rows and columns as they are.
#pragma once

#include <string_view>

#include "imaging/picture.h"

namespace qel {

inline constexpr std::string_view kSharpenTooSmall = "Bitmap must be at least 3x3";
inline constexpr std::string_view kSharpenBadAlpha = "Alpha must be >1 and <6";

// Each inner pixel becomes alpha x itself - beta x (itself and its four neighbours),
// beta = (alpha - 1) / 5, in 16.16 fixed point; the weights sum to 1, so flat areas
// stay flat. The picture comes out opaque. Fails with kSharpenTooSmall when a side is
// below 3 pixels and with kSharpenBadAlpha unless 1 < alpha < 6; the picture is then
// unchanged. The commands pass alpha = 2.
void SharpenPicture(Picture& picture, float alpha);

// Each inner pixel becomes the mean of its four neighbours, truncated, worked in place
// from the top left: the neighbours above and to the left are already new when read.
void AntiAliasPicture(Picture& picture);

}  // namespace qel
