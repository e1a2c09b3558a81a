// Conversions between the 24-bit picture and QImage, for the clipboard.
#pragma once

#include <QImage>

#include "imaging/picture.h"

namespace qel {

// A deep copy of the picture as an RGB image (null for an empty picture).
QImage ImageFromPicture(const Picture& picture);

// A 24-bit picture of the image; partly transparent pixels are laid over white. Throws
// EOutOfResources for an image beyond the picture size limits.
Picture PictureFromImage(const QImage& image);

}  // namespace qel
