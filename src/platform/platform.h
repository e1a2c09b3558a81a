// The operating-system services the main window uses, each behind a small interface
// so that tests can hand the window scripted ones.
#pragma once

#include <memory>

#include "platform/clipboard.h"
#include "platform/color_dialog.h"
#include "platform/file_dialogs.h"
#include "platform/message_box.h"
#include "platform/screen_grabber.h"

namespace qel {

struct Platform {
  std::unique_ptr<FileDialogs> dialogs;
  std::unique_ptr<MessageBox> messages;
  std::unique_ptr<Clipboard> clipboard;
  std::unique_ptr<ColorDialog> colors;
  std::unique_ptr<ScreenGrabber> screen;
};

// The desktop's own services (Qt on Linux). Needs a QApplication.
Platform MakeQtPlatform();

}  // namespace qel
