// The open and save dialogs for picture files.
#pragma once

#include <string>
#include <vector>

class QWidget;

namespace qel {

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;

  // Lets the user choose one or more files to open. The filter is a text of
  // "description|pattern;pattern|..." pairs. Returns the chosen paths in the dialog's
  // order; empty when the user cancels.
  virtual std::vector<std::string> OpenPictures(QWidget* parent, const std::string& filter) = 0;

  struct SaveRequest {
    std::string filter;             // "description|pattern;pattern|..." pairs
    std::string default_extension;  // without the dot, added when the name has none
    std::string initial_folder;
    std::string file_name;
  };
  // Lets the user choose a path to save to; an existing file is taken without asking.
  // Returns the path, or an empty text when the user cancels.
  virtual std::string SavePicture(QWidget* parent, const SaveRequest& request) = 0;
};

}  // namespace qel
