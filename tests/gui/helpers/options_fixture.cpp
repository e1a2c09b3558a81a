#include "gui/helpers/options_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <stdexcept>

namespace qel::test {

std::optional<std::string> ReadTextFile(const std::string& path) {
  QFile file(QFile::decodeName(path.c_str()));
  if (!file.exists()) return std::nullopt;
  if (!file.open(QIODevice::ReadOnly)) throw std::runtime_error("Cannot read " + path);
  return file.readAll().toStdString();
}

void WriteTextFile(const std::string& path, const std::string& text) {
  QFile file(QFile::decodeName(path.c_str()));
  if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), qint64(text.size())) != qint64(text.size()))
    throw std::runtime_error("Cannot write " + path);
}

OptionsViewer::OptionsViewer(const std::string& relative_executable,
                             std::optional<std::string> settings_text) {
  executable = relative_executable.starts_with('/') ? relative_executable : folder.Path(relative_executable);
  QDir().mkpath(QFileInfo(QFile::decodeName(executable.c_str())).path());
  if (settings_text) WriteTextFile(SettingsFilePath(executable), *settings_text);
  viewer = std::make_unique<Viewer>();
  options = viewer->form->CreateOptionsWindow(executable);
}

void OptionsViewer::ShowOptions() {
  options->show();
  options->activateWindow();
  if (!QTest::qWaitForWindowActive(options)) throw std::runtime_error("The options window was not activated");
}

void OptionsViewer::Focus(QWidget* widget) {
  widget->setFocus(Qt::TabFocusReason);
  if (!QTest::qWaitFor([widget] { return widget->hasFocus(); }, 2000))
    throw std::runtime_error("No focus for " + widget->objectName().toStdString());
}

void OptionsViewer::SetPicture(const Picture& picture) {
  Doc().ReplacePicture(Picture(picture));
  Form().PictureChanged();
  Form().FormResize();
}

}  // namespace qel::test
