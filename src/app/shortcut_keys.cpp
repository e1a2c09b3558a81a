#include "app/shortcut_keys.h"

#include "app/command_table.h"

namespace qel {

std::uint16_t VirtualKeyFromQtKey(int qt_key) {
  if ((qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) || (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9))
    return std::uint16_t(qt_key);
  switch (qt_key) {
    case Qt::Key_Escape:
      return vk::kEscape;
    case Qt::Key_Left:
      return vk::kLeft;
    case Qt::Key_Up:
      return vk::kUp;
    case Qt::Key_Right:
      return vk::kRight;
    case Qt::Key_Down:
      return vk::kDown;
    case Qt::Key_Delete:
      return vk::kDelete;
    default:
      return 0;
  }
}

std::uint16_t ShortcutCodeFromKey(int qt_key, Qt::KeyboardModifiers modifiers) {
  const std::uint16_t key = VirtualKeyFromQtKey(qt_key);
  if (key == 0) return 0;
  std::uint16_t code = key;
  if (modifiers & Qt::ShiftModifier) code |= kShortcutShift;
  if (modifiers & Qt::ControlModifier) code |= kShortcutCtrl;
  if (modifiers & Qt::AltModifier) code |= kShortcutAlt;
  return code;
}

QKeySequence KeySequenceFromShortcutCode(std::uint16_t code) {
  const int key = code & 0xFF;
  if (key == 0) return {};
  int qt_key = 0;
  switch (key) {
    case vk::kEscape:
      qt_key = Qt::Key_Escape;
      break;
    case vk::kLeft:
      qt_key = Qt::Key_Left;
      break;
    case vk::kUp:
      qt_key = Qt::Key_Up;
      break;
    case vk::kRight:
      qt_key = Qt::Key_Right;
      break;
    case vk::kDown:
      qt_key = Qt::Key_Down;
      break;
    case vk::kDelete:
      qt_key = Qt::Key_Delete;
      break;
    default:
      qt_key = key;  // letters and digits share their codes
  }
  Qt::KeyboardModifiers modifiers;
  if (code & kShortcutShift) modifiers |= Qt::ShiftModifier;
  if (code & kShortcutCtrl) modifiers |= Qt::ControlModifier;
  if (code & kShortcutAlt) modifiers |= Qt::AltModifier;
  return QKeySequence(QKeyCombination(modifiers, Qt::Key(qt_key)));
}

}  // namespace qel
