#include "platform/platform.h"
#include "platform/qt_services.h"

namespace qel {

Platform MakeQtPlatform() {
  return Platform{MakeQtFileDialogs(), MakeQtMessageBox(), MakeQtClipboard(),       MakeXdgMail(),
                  MakeXdgShell(),      MakeUserRegistry(), MakeUserDesktopEntries()};
}

}  // namespace qel
