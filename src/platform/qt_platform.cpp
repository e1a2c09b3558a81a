#include <QDBusConnection>

#include "platform/platform.h"
#include "platform/portal_screenshot.h"
#include "platform/qt_services.h"

namespace qel {

Platform MakeQtPlatform() {
  Platform platform;
  platform.dialogs = MakeQtFileDialogs();
  platform.messages = MakeQtMessageBox();
  platform.clipboard = MakeQtClipboard();
  platform.mail = MakeXdgMail();
  platform.shell = MakeXdgShell();
  platform.registry = MakeUserRegistry();
  platform.desktop_entries = MakeUserDesktopEntries();
  platform.colors = MakeQtColorDialog();
  platform.screen = MakeSessionScreenGrabber(
      MakeQtScreenGrabber(), MakePortalScreenshot(QDBusConnection::sessionBus()), CurrentSessionKind());
  return platform;
}

}  // namespace qel
