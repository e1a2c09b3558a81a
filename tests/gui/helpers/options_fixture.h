// A main window with its options window, the executable placed in a temporary folder
// so that the settings file lies there too.
#pragma once

#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "gui/helpers/viewer_fixture.h"
#include "options/border_form.h"
#include "options/settings_file.h"

namespace qel::test {

// Reads a whole file; nullopt when it does not exist.
std::optional<std::string> ReadTextFile(const std::string& path);
void WriteTextFile(const std::string& path, const std::string& text);

struct OptionsViewer {
  Folder folder;
  // Where the executable is taken to be: folder/<relative executable>.
  std::string executable;
  std::unique_ptr<Viewer> viewer;
  TBorderForm* options = nullptr;  // owned by the main window

  // settings_text, when given, is written as the settings file before the windows are
  // created. An absolute executable path is taken as it is.
  explicit OptionsViewer(const std::string& relative_executable = "qel-image-tool",
                         std::optional<std::string> settings_text = std::nullopt);

  TForm1& Form() { return *viewer->form; }
  TDocument& Doc() { return viewer->Doc(); }
  std::vector<std::string>& Messages() { return viewer->Messages(); }
  std::string SettingsPath() const { return options->SettingsFileName(); }
  // Shows the options window without a modal loop and makes it the active window.
  void ShowOptions();
  // Gives the widget of the options window the keyboard focus.
  void Focus(QWidget* widget);
  // Makes the picture current as if it had been pasted.
  void SetPicture(const Picture& picture);
};

}  // namespace qel::test
