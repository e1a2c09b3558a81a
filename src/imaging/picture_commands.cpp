#include "imaging/picture_commands.h"

#include "imaging/border.h"
#include "imaging/sharpen.h"
#include "imaging/tone.h"

namespace qel::commands {

void Lighten(Picture& picture) {
  LightenPicture(picture, kLightenPercent);
}

void Darken(Picture& picture) {
  DarkenPicture(picture, kDarkenPercent);
}

void ContrastUp(Picture& picture) {
  ContrastPicture(picture, kContrastPercent);
}

void ContrastDown(Picture& picture) {
  ContrastPicture(picture, -kContrastPercent);
}

void Sharpen(Picture& picture) {
  SharpenPicture(picture, kSharpenStrength);
}

void AntiAlias(Picture& picture) {
  AntiAliasPicture(picture);
}

void Gray(Picture& picture) {
  GrayPicture(picture);
}

void Sepia(Picture& picture) {
  SepiaPicture(picture, kSepiaDepth);
}

void Resize(Picture& picture, int width, int height, const ResizeSettings& settings,
            ProgressObserver* observer) {
  ResizePicture(picture, width, height, settings.filter, observer);
  if (settings.sharpen_after) Sharpen(picture);
}

void DrawBorder(Picture& picture, const BorderSettings& settings) {
  qel::DrawBorder(picture, settings.frame_color, settings.line_color, settings.width);
}

void AddBorder(Picture& picture, const BorderSettings& settings) {
  qel::AddBorder(picture, settings.frame_color, settings.line_color, settings.width);
}

}  // namespace qel::commands
