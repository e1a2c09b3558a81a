// qel Image Tool: the viewer's entry point.
#include <QIcon>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "app/application.h"
#include "app/form1.h"
#include "import/framework/format_registry.h"
#include "platform/path_text.h"
#include "platform/platform.h"
#include "platform/qt_services.h"

int main(int argc, char** argv) {
  // Answered before any window system is needed. A picture file of that name can still
  // be opened as ./--version.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("qel-image-tool %s\n", QEL_VERSION);
    return 0;
  }
  qel::RegisterStartupFormats();
  int status = 0;
  {
    qel::TApplication application(argc, argv);
    QApplication::setApplicationName(qel::kApplicationTitle);
    QApplication::setApplicationVersion(QEL_VERSION);
    // The installed desktop entry and icon (share/applications, share/icons).
    QGuiApplication::setDesktopFileName("qel-image-tool");
    QApplication::setWindowIcon(QIcon::fromTheme("qel-image-tool"));
    const std::unique_ptr<qel::MessageBox> last_resort = qel::MakeQtMessageBox();
    application.SetMessageBox(last_resort.get());

    // Argument 1, when present, is loaded at start; further arguments are ignored.
    std::optional<std::string> start_file;
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1) start_file = qel::PathFromQString(arguments.at(1));

    qel::TForm1 form(qel::MakeQtPlatform(), start_file);
    // The options window, hidden until asked for, belongs to the main window. It reads
    // the settings file (beside the executable, or in the user's configuration folder)
    // and pushes the options into the form.
    form.CreateOptionsWindow(qel::PathFromQString(QCoreApplication::applicationFilePath()));
    form.show();
    status = application.exec();
    application.SetMessageBox(nullptr);
  }
  qel::UnregisterShutdownFormats();
  return status;
}
