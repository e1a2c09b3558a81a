#include "app/viewer_main.h"

#include <QIcon>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "app/application.h"
#include "app/form1.h"
#include "app/start_hint.h"
#include "app/viewer_help.h"
#include "import/framework/format_registry.h"
#include "platform/path_text.h"
#include "platform/platform.h"
#include "platform/qt_services.h"

namespace qel {

int RunViewer(int argc, char** argv, const std::function<void(TForm1&)>& prepare) {
  // Answered before any window system is needed. A picture file of either name can
  // still be opened as ./--version or ./--help.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("qel-image-tool %s\n", QEL_VERSION);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(ViewerHelpText().c_str(), stdout);
    return 0;
  }
  RegisterStartupFormats();
  // The window's place on the screen (for the capture under it and the colour picker)
  // and its staying on top are the X server's to give: in a Wayland session the viewer
  // uses the session's X server when there is one.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb;wayland");
  int status = 0;
  {
    TApplication application(argc, argv);
    QApplication::setApplicationName(kApplicationTitle);
    QApplication::setApplicationVersion(QEL_VERSION);
    // The installed desktop entry and icon (share/applications, share/icons), both
    // named by the application id.
    QGuiApplication::setDesktopFileName(QEL_APP_ID);
    QApplication::setWindowIcon(QIcon::fromTheme(QEL_APP_ID));
    const std::unique_ptr<MessageBox> last_resort = MakeQtMessageBox();
    application.SetMessageBox(last_resort.get());

    // Argument 1, when present, is loaded at start; further arguments are ignored.
    std::optional<std::string> start_file;
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1) start_file = PathFromQString(arguments.at(1));

    TForm1 form(MakeQtPlatform(), start_file);
    // The options window, hidden until asked for, belongs to the main window. It reads
    // the settings file (beside the executable, or in the user's configuration folder)
    // and pushes the options into the form.
    const std::string executable = PathFromQString(QCoreApplication::applicationFilePath());
    form.CreateOptionsWindow(executable);
    if (prepare) prepare(form);
    form.show();
    // The first start tells where the commands are (the settings file remembers it).
    ShowStartHintOnce(&form, FindSettingsLocation(executable), !IsUsbPath(executable));
    status = application.exec();
    application.SetMessageBox(nullptr);
  }
  UnregisterShutdownFormats();
  return status;
}

}  // namespace qel
