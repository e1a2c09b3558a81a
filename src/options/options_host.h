// What the options window needs of the main window: the picture whose size it shows,
// the resize it asks for, and the place its values go when it closes.
#pragma once

#include <functional>

#include "imaging/picture.h"
#include "options/option_values.h"
#include "platform/platform.h"

namespace qel {

class OptionsHost {
 public:
  virtual ~OptionsHost() = default;
  // The picture shown (empty when there is none).
  virtual const Picture& CurrentPicture() const = 0;
  // The check of the main menu's "Overwrite files".
  virtual bool OverwriteFiles() const = 0;
  // Takes the option values and the "Overwrite files" check.
  virtual void SetOptionValues(const TOptionValues& values, bool overwrite_files) = 0;
  // Takes the undo copy and resamples the picture to the size with the filter and the
  // sharpening the host holds; refreshes the title.
  virtual void ResizePictureTo(int width, int height) = 0;
  // Runs the action and shows any error that escapes it in a message box.
  virtual void Guarded(const std::function<void()>& action) = 0;
  virtual const Platform& GetPlatform() const = 0;
};

}  // namespace qel
