#include "app/view_keys.h"

#include <array>

namespace qel {

namespace {

using enum ViewAction;

constexpr auto kViewKeys = std::to_array<ViewKey>({
    {kZoomIn, "+", "Zoom in around the mouse pointer"},
    {kZoomOut, "-", "Zoom out around the mouse pointer"},
    {kZoomToFit, "0", "Zoom to fit: the picture as \"Fit image to window\" shows it"},
    {kActualSize, "1", "100 %: one picture pixel on one pixel of the screen"},
    {kFullScreen, "F11", "Full screen, and back"},
    {kKeyHelp, "F1", "This list of keys and gestures"},
});

}  // namespace

std::span<const ViewKey> ViewKeys() {
  return kViewKeys;
}

std::optional<ViewAction> ViewActionOfKey(int qt_key, std::uint16_t virtual_key,
                                          Qt::KeyboardModifiers modifiers) {
  if (modifiers & Qt::AltModifier) return std::nullopt;
  switch (qt_key) {
    case Qt::Key_F1:
      return kKeyHelp;
    case Qt::Key_F11:
      return kFullScreen;
    case Qt::Key_Plus:
    case Qt::Key_Equal:  // the plus sign's key without Shift
      return kZoomIn;
    case Qt::Key_Minus:
      return kZoomOut;
    default:
      break;
  }
  // Digits by the key, as the menu's shortcuts go: the same key under any layout.
  if (virtual_key == '0') return kZoomToFit;
  if (virtual_key == '1') return kActualSize;
  return std::nullopt;
}

}  // namespace qel
