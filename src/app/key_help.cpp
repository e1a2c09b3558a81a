#include "app/key_help.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/command_table.h"
#include "app/shortcut_keys.h"
#include "app/view_keys.h"

namespace qel {

namespace {

// The window's own keys and the mouse gestures, which no table of commands holds.
const std::vector<KeyHelpRow>& WindowKeysAndGestures() {
  static const std::vector<KeyHelpRow> rows = {
      {"Up", "Next picture of the list"},
      {"Down", "Previous picture of the list"},
      {"Delete", "Take the picture off the list (the file stays on disk)"},
      {"Alt+drag or Shift+drag", "Crop: release the button while still holding the key"},
      {"Double-click top-left corner", "Paste image"},
      {"Double-click bottom-left corner", "Undo last change"},
      {"Double-click top-right corner", "Options"},
      {"Double-click bottom-right corner", "Resize image"},
      {"Wheel", "Opacity of the window while \"Alphablend\" is on"},
      {"Ctrl+wheel", "Zoom in or out around the mouse pointer"},
      {"Drag", "Move a picture larger than the window"},
      {"Drop files or folders", "Make them the list and show the first picture"},
  };
  return rows;
}

std::string Utf8(const QString& text) {
  return text.toStdString();
}

QString Escaped(const std::string& text) {
  return QString::fromStdString(text).toHtmlEscaped();
}

}  // namespace

std::vector<KeyHelpRow> KeyHelpRows() {
  std::vector<KeyHelpRow> rows = {{"Right-click", "The menu with every command"}};
  for (const CommandItem& item : CommandTable()) {
    if (item.shortcut == 0) continue;
    rows.push_back({Utf8(KeySequenceFromShortcutCode(item.shortcut).toString(QKeySequence::NativeText)),
                    std::string(item.caption)});
  }
  const std::vector<KeyHelpRow>& window = WindowKeysAndGestures();
  rows.insert(rows.end(), window.begin(), window.end());
  for (const ViewKey& key : ViewKeys()) rows.push_back({std::string(key.keys), std::string(key.what)});
  return rows;
}

TKeyHelp::TKeyHelp(QWidget* parent) : QDialog(parent) {
  setObjectName("KeyHelp");
  setWindowTitle(kKeyHelpTitle);
  QString table = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">");
  for (const KeyHelpRow& row : KeyHelpRows())
    table +=
        QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>").arg(Escaped(row.keys), Escaped(row.what));
  table += QStringLiteral("</table>");
  auto* text = new QLabel(table);
  text->setObjectName("KeyHelpText");
  text->setTextFormat(Qt::RichText);
  text->setMargin(8);
  auto* scroll = new QScrollArea;
  scroll->setWidget(text);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(scroll);
  layout->addWidget(buttons);
  resize(600, 480);
}

void TKeyHelp::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    close();
    return;
  }
  QDialog::keyPressEvent(event);  // Esc closes it
}

}  // namespace qel
