// Translation between Qt key events and the menu's 16-bit shortcut codes.
#pragma once

#include <QKeySequence>
#include <Qt>
#include <cstdint>

namespace qel {

// The virtual-key code of a Qt key: letters and digits as their upper-case ASCII code,
// arrows, Esc and Delete as their codes; 0 for keys the viewer does not bind.
std::uint16_t VirtualKeyFromQtKey(int qt_key);

// What a key press tells about the key, as the platform reports it.
struct KeyPress {
  int qt_key = 0;                        // the key of the active layout
  std::uint32_t native_virtual_key = 0;  // the platform's key symbol (X: the keysym)
  std::uint32_t native_scan_code = 0;    // the X keyboard's key code (evdev code + 8); 0: none
};

// The virtual-key code of a press under any keyboard layout. With a Latin layout it is
// the Qt key's. With another (Cyrillic, Greek, Hebrew, Arabic ...) the Qt key is a letter
// of that script, so the press counts as the Latin letter or digit of its native key
// symbol, or else as the one the US layout puts on the same key, found from the scan
// code: Ctrl+R is the key that carries R, whatever the layout writes on it. 0 when none
// of these gives a key the viewer binds.
std::uint16_t VirtualKeyOfPress(const KeyPress& press);

// The shortcut code of a press of the virtual key: the key in the low byte plus the
// Shift, Ctrl and Alt bits. 0 when the virtual key is 0.
std::uint16_t ShortcutCode(std::uint16_t virtual_key, Qt::KeyboardModifiers modifiers);

// The key sequence a shortcut code stands for (empty for 0), for showing in the menu.
QKeySequence KeySequenceFromShortcutCode(std::uint16_t code);

}  // namespace qel
