// The desktop's own implementations of the platform interfaces (Qt on Linux).
#pragma once

#include <memory>

#include "platform/clipboard.h"
#include "platform/color_dialog.h"
#include "platform/file_dialogs.h"
#include "platform/message_box.h"
#include "platform/screen_grabber.h"

namespace qel {

// Qt's file dialogs, with the program's filter texts turned into Qt's form.
std::unique_ptr<FileDialogs> MakeQtFileDialogs();
// A modal message box titled with the application's name.
std::unique_ptr<MessageBox> MakeQtMessageBox();
// The system clipboard through QClipboard: any image on it counts as a bitmap.
std::unique_ptr<Clipboard> MakeQtClipboard();
// QColorDialog.
std::unique_ptr<ColorDialog> MakeQtColorDialog();
// The screens' pixels through QScreen::grabWindow on the whole desktop.
std::unique_ptr<ScreenGrabber> MakeQtScreenGrabber();

}  // namespace qel
