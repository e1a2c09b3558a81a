#include "platform/platform.h"
#include "platform/qt_services.h"

namespace qel {

Platform MakeQtPlatform() {
  Platform platform;
  platform.dialogs = MakeQtFileDialogs();
  platform.messages = MakeQtMessageBox();
  platform.clipboard = MakeQtClipboard();
  platform.colors = MakeQtColorDialog();
  platform.screen = MakeQtScreenGrabber();
  return platform;
}

}  // namespace qel
