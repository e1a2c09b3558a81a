// Messages to the user: errors that reach the top-level handler and the program's
// own notices.
#pragma once

#include <string>

class QWidget;

namespace qel {

class MessageBox {
 public:
  virtual ~MessageBox() = default;
  // Shows the text and waits until the user has read it.
  virtual void Show(QWidget* parent, const std::string& text) = 0;
  // Shows a warning that did not stop the work (a reader's "Warning" texts), in a box
  // captioned "Warning" with a warning icon.
  virtual void ShowWarning(QWidget* parent, const std::string& text) = 0;
};

}  // namespace qel
