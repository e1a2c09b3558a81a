// Resizing a picture with a separable two-pass filter resampler: every row is
// resampled to the new width into a byte intermediate, then every column of that to
// the new height. Seven kernels are offered, chosen by filter number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "imaging/picture.h"

namespace qel {

class ProgressObserver;  // imaging/graphic.h

// The filter numbers, as the options window lists them and the settings file stores them.
enum ResampleFilter : int {
  kFilterBox = 0,
  kFilterTriangle = 1,
  kFilterHermite = 2,
  kFilterBell = 3,
  kFilterBSpline = 4,
  kFilterLanczos3 = 5,
  kFilterMitchell = 6,
};
inline constexpr int kFilterCount = 7;
// A number outside 0..6 (a hand-edited settings file, text typed into the filter list
// that matches no item) resamples with this filter.
inline constexpr int kFallbackFilter = kFilterLanczos3;

// "Box", "Triangle", "Hermite", "Bell", "BSpline", "Lanczos3", "Mitchell"; empty for a
// number outside 0..6.
std::string_view FilterName(int filter);
// The number of a filter name, compared without regard to letter case; -1 when no
// filter has that name.
int FilterFromName(std::string_view name);

// Whether a resize to width x height stays within the picture limits (kMaxPictureSide a
// side, kMaxPicturePixels in all): every resize checks its target so first.
bool ResizeTargetFits(std::int64_t width, std::int64_t height);
// Why the picture limits refuse a resize to width x height, as a sentence ("Cannot resize
// to ... pixels: a picture may have at most ..."); empty when the target fits.
std::string ResizeTargetProblem(std::int64_t width, std::int64_t height);

// ResizePicture(picture, rect.right, rect.bottom, filter) unless the picture is empty;
// the rectangle's left and top are not used.
void ResizeToRect(Picture& picture, const TRect& rect, int filter, ProgressObserver* observer = nullptr);

// Replaces the picture by a copy resampled to width x height. The result keeps the
// palette and is never marked transparent. A zero width or height leaves an empty
// picture. When the resize fails (a size beyond the picture limits, out of memory) the
// error is passed on and the picture is left as it was.
void ResizePicture(Picture& picture, int width, int height, int filter, ProgressObserver* observer = nullptr);

// The engine: makes target a width x height picture resampled from source with the
// filter. A radius of 0 (or below) selects the filter's own support; ResizePicture
// always passes 0. The target is white when source or target has a zero side. Source
// and target may be the same object.
//
// The observer, when given, is told how far the resize has come: a starting
// notification, running ones as the rows of the first pass and then the columns of the
// second are done (percent 0 to 50 for the rows, 50 to 100 for the columns, sent when
// the percent changes), and an ending one once the target holds the result. It does not
// change the result; an error it throws stops the resize with the target untouched.
void ResampleInto(int width, int height, int filter, float radius, const Picture& source, Picture& target,
                  ProgressObserver* observer = nullptr);

}  // namespace qel
