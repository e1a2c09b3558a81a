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
};

}  // namespace qel
