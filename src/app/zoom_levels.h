// The zoom levels the viewer steps through with + and - (and Ctrl+wheel), as device
// pixels per picture pixel: 1 shows each picture pixel on one pixel of the screen.
#pragma once

namespace qel {

inline constexpr double kZoomActualSize = 1.0;

// The first level above the scale, or the scale itself when no level lies above it.
double NextZoomLevel(double scale);
// The last level below the scale, or the scale itself when no level lies below it.
double PreviousZoomLevel(double scale);
// The scale in percent, rounded to a whole number (at least 1).
int ZoomPercent(double scale);

}  // namespace qel
