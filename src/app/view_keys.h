// The keys of the view: zoom, full screen and the key help. They come after the menu's
// shortcuts and before the window's own keys (Up, Down, Delete), and take none of
// theirs.
#pragma once

#include <QtCore/qnamespace.h>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace qel {

enum class ViewAction { kZoomIn, kZoomOut, kZoomToFit, kActualSize, kFullScreen, kKeyHelp };

struct ViewKey {
  ViewAction action;
  std::string_view keys;  // as the key help shows them
  std::string_view what;
};

// Every view key, in the order the key help lists them.
std::span<const ViewKey> ViewKeys();

// The action of a key press: its Qt key, its virtual-key code (VirtualKeyOfPress) and
// the modifiers held; none with Alt held, nor for any other key.
std::optional<ViewAction> ViewActionOfKey(int qt_key, std::uint16_t virtual_key,
                                          Qt::KeyboardModifiers modifiers);

}  // namespace qel
