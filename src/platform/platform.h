// The operating-system services the main window uses, each behind a small interface
// so that tests can hand the window scripted ones.
#pragma once

#include <memory>

#include "platform/clipboard.h"
#include "platform/color_dialog.h"
#include "platform/desktop_entries.h"
#include "platform/file_dialogs.h"
#include "platform/mail.h"
#include "platform/message_box.h"
#include "platform/registry.h"
#include "platform/screen_grabber.h"
#include "platform/shell.h"

namespace qel {

struct Platform {
  std::unique_ptr<FileDialogs> dialogs;
  std::unique_ptr<MessageBox> messages;
  std::unique_ptr<Clipboard> clipboard;
  std::unique_ptr<Mail> mail;
  std::unique_ptr<Shell> shell;
  std::unique_ptr<Registry> registry;
  std::unique_ptr<DesktopEntries> desktop_entries;
  std::unique_ptr<ColorDialog> colors;
  std::unique_ptr<ScreenGrabber> screen;
};

// The desktop's own services (Qt on Linux). Needs a QApplication.
Platform MakeQtPlatform();

}  // namespace qel
