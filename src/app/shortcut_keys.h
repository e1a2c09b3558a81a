// Translation between Qt key events and the menu's 16-bit shortcut codes.
#pragma once

#include <QKeySequence>
#include <Qt>
#include <cstdint>

namespace qel {

// The virtual-key code of a Qt key: letters and digits as their upper-case ASCII code,
// arrows, Esc and Delete as their codes; 0 for keys the viewer does not bind.
std::uint16_t VirtualKeyFromQtKey(int qt_key);

// The shortcut code of a key press: the virtual key in the low byte plus the Shift,
// Ctrl and Alt bits. 0 when the key has no virtual-key code.
std::uint16_t ShortcutCodeFromKey(int qt_key, Qt::KeyboardModifiers modifiers);

// The key sequence a shortcut code stands for (empty for 0), for showing in the menu.
QKeySequence KeySequenceFromShortcutCode(std::uint16_t code);

}  // namespace qel
