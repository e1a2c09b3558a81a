// The picture commands with the values they fix: the viewer's menu and qel-convert's
// options both call these, so that a command does the same thing wherever it is given.
#pragma once

#include <cstdint>

#include "imaging/picture.h"
#include "imaging/resample.h"

namespace qel {

class ProgressObserver;  // imaging/graphic.h

namespace commands {

inline constexpr int kLightenPercent = 10;
inline constexpr int kDarkenPercent = 5;
inline constexpr int kContrastPercent = 10;
inline constexpr std::uint8_t kSepiaDepth = 30;
// The strength of every sharpen the commands make, "Sharpen after resize" too.
inline constexpr float kSharpenStrength = 2.0f;

// The border settings before the user changes them, and the widths allowed.
inline constexpr TColor kDefaultFrameColor = 0xFFFFFF;
inline constexpr TColor kDefaultLineColor = 0x808080;
inline constexpr int kDefaultBorderWidth = 10;
inline constexpr int kMinBorderWidth = 1;
inline constexpr int kMaxBorderWidth = 50;

void Lighten(Picture& picture);       // by kLightenPercent
void Darken(Picture& picture);        // by kDarkenPercent
void ContrastUp(Picture& picture);    // by kContrastPercent
void ContrastDown(Picture& picture);  // by kContrastPercent
void Sharpen(Picture& picture);       // with kSharpenStrength; fails below 3 x 3
void AntiAlias(Picture& picture);
void Gray(Picture& picture);
void Sepia(Picture& picture);  // with kSepiaDepth

// How a resize is made: the resampling filter, and whether a sharpen follows.
struct ResizeSettings {
  int filter = kFilterLanczos3;
  bool sharpen_after = false;
};
// Resamples the picture to width x height with the filter, then sharpens it when the
// settings ask for it. A failing sharpen leaves the resized picture.
void Resize(Picture& picture, int width, int height, const ResizeSettings& settings,
            ProgressObserver* observer = nullptr);

// The colours and width of the border commands.
struct BorderSettings {
  TColor frame_color = kDefaultFrameColor;
  TColor line_color = kDefaultLineColor;
  int width = kDefaultBorderWidth;
};
void DrawBorder(Picture& picture, const BorderSettings& settings);  // over the picture's edges
void AddBorder(Picture& picture, const BorderSettings& settings);   // the picture shrunk into it

}  // namespace commands
}  // namespace qel
