#include "app/shortcut_keys.h"

#include <array>
#include <string_view>

#include "app/command_table.h"

namespace qel {

namespace {

// The X keyboard's key codes are the kernel's evdev codes plus 8.
constexpr std::uint32_t kEvdevOffset = 8;

// The letters and digits of the US layout by evdev code: each row of the keyboard
// starts at its code.
struct KeyRow {
  std::uint32_t first_code;
  std::string_view keys;
};
constexpr std::array<KeyRow, 4> kUsRows = {{
    {2, "1234567890"},
    {16, "QWERTYUIOP"},
    {30, "ASDFGHJKL"},
    {44, "ZXCVBNM"},
}};

std::uint16_t LatinKeyAtScanCode(std::uint32_t scan_code) {
  if (scan_code < kEvdevOffset) return 0;
  const std::uint32_t code = scan_code - kEvdevOffset;
  for (const KeyRow& row : kUsRows) {
    if (code >= row.first_code && code - row.first_code < row.keys.size())
      return std::uint16_t(row.keys[code - row.first_code]);
  }
  return 0;
}

// Latin letters and digits have keysyms equal to their ASCII codes.
std::uint16_t LatinKeyOfKeysym(std::uint32_t keysym) {
  if (keysym >= 'a' && keysym <= 'z') return std::uint16_t(keysym - 'a' + 'A');
  if ((keysym >= 'A' && keysym <= 'Z') || (keysym >= '0' && keysym <= '9')) return std::uint16_t(keysym);
  return 0;
}

}  // namespace

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

std::uint16_t VirtualKeyOfPress(const KeyPress& press) {
  if (const std::uint16_t key = VirtualKeyFromQtKey(press.qt_key)) return key;
  // A key of the active layout that is no Latin letter or digit. Keys without a
  // character of their own (Shift, F1, Page Up ...) stay unbound.
  if (press.qt_key < 0x20 || press.qt_key >= Qt::Key_Escape) return 0;
  if (const std::uint16_t key = LatinKeyOfKeysym(press.native_virtual_key)) return key;
  return LatinKeyAtScanCode(press.native_scan_code);
}

std::uint16_t ShortcutCode(std::uint16_t key, Qt::KeyboardModifiers modifiers) {
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
