// The window that F1 shows: every key and mouse gesture of the viewer, the menu's
// shortcuts taken from the command table and the view keys from theirs.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

namespace qel {

inline constexpr const char* kKeyHelpTitle = "Keys and gestures";

struct KeyHelpRow {
  std::string keys;
  std::string what;
};

// The rows in the order shown: the menu, its shortcuts, the window's keys, the mouse
// gestures and the view keys.
std::vector<KeyHelpRow> KeyHelpRows();

// A non-modal window listing the rows; Esc or F1 closes it.
class TKeyHelp : public QDialog {
  Q_OBJECT

 public:
  explicit TKeyHelp(QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace qel
