// Reading back what the screen shows.
#pragma once

#include <QRect>

#include "imaging/picture.h"

namespace qel {

class ScreenGrabber {
 public:
  virtual ~ScreenGrabber() = default;
  // The pixels the screen shows inside the rectangle (global coordinates), as a picture
  // of the rectangle's size; whatever lies outside every screen comes out black. An
  // empty rectangle gives an empty picture.
  virtual Picture Grab(const QRect& area) = 0;
};

}  // namespace qel
