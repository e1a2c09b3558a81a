#include "app/zoom_levels.h"

#include <array>
#include <cmath>

namespace qel {

namespace {

constexpr auto kLevels =
    std::to_array<double>({0.01, 0.02, 0.03, 0.05, 0.07, 0.1, 0.15, 0.2, 0.25, 1.0 / 3, 0.5, 2.0 / 3,
                           1,    1.25, 1.5,  2,    3,    4,   6,    8,   12,   16,      24,  32});
// Scales this close to a level count as that level, so that a scale reached by a fit
// does not stop one step short.
constexpr double kSameLevel = 1.001;

}  // namespace

double NextZoomLevel(double scale) {
  for (const double level : kLevels) {
    if (level > scale * kSameLevel) return level;
  }
  return scale;
}

double PreviousZoomLevel(double scale) {
  for (auto it = kLevels.rbegin(); it != kLevels.rend(); ++it) {
    if (*it < scale / kSameLevel) return *it;
  }
  return scale;
}

int ZoomPercent(double scale) {
  const long percent = std::lround(scale * 100);
  return percent < 1 ? 1 : int(percent);
}

}  // namespace qel
