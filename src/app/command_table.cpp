#include "app/command_table.h"

#include <array>

namespace qel {

namespace {

constexpr std::uint16_t Ctrl(std::uint16_t key) {
  return kShortcutCtrl | key;
}
constexpr std::uint16_t Alt(std::uint16_t key) {
  return kShortcutAlt | key;
}

using K = CommandKind;
constexpr int kT = kTagNeedsPicture;

constexpr CommandItem Command(std::string_view name, std::string_view caption, std::uint16_t shortcut,
                              int tag, std::string_view handler) {
  return {name, K::kCommand, caption, shortcut, tag, false, false, handler, {}};
}
constexpr CommandItem Switch(std::string_view name, std::string_view caption, std::uint16_t shortcut,
                             bool checked, int tag, std::string_view handler) {
  return {name, K::kCommand, caption, shortcut, tag, true, checked, handler, {}};
}
constexpr CommandItem Separator(std::string_view name) {
  return {name, K::kSeparator, {}, 0, 0, false, false, {}, {}};
}
constexpr CommandItem Effect(std::string_view name, std::string_view caption, std::string_view handler) {
  return {name, K::kCommand, caption, 0, 0, false, false, handler, "EFFECTS1"};
}

constexpr auto kCommands = std::to_array<CommandItem>({
    Command("Loadimage1", "Load image", 0, 0, "Loadimage1Click"),
    Command("Reload1", "Reload image", Ctrl('L'), kT, "Reload1Click"),
    Command("Capture1", "Capture area under window", Alt('C'), 0, "Capture1Click"),
    Separator("N3"),
    Command("Resizeimage1", "Resize image", Ctrl('R'), kT, "Resizeimage1Click"),
    Command("Resizeto1", "Resize to....", 0, kT, "Resizeto1Click"),
    Command("Rotateright1", "Rotate right", Ctrl(vk::kRight), kT, "Rotateright1Click"),
    Command("Rotateleft1", "Rotate left", Ctrl(vk::kLeft), kT, "Rotateleft1Click"),
    Command("Border1", "Draw border", Ctrl('B'), kT, "Border1Click"),
    Command("Makeborder1", "Add border", Alt('B'), kT, "Makeborder1Click"),
    Command("Copyimage1", "Copy image", Ctrl('C'), kT, "Copyimage1Click"),
    Command("Pasteimage1", "Paste image", Ctrl('V'), 0, "Pasteimage1Click"),
    Command("Clearimage1", "Clear image", Ctrl('X'), kT, "Clearimage1Click"),
    Command("Clearlist1", "Clear list", Alt('X'), kT, "Clearlist1Click"),
    {"EFFECTS1", K::kSubmenu, "Image effects", 0, kT, false, false, {}, {}},
    Effect("Lightenimage1", "Lighten image", "Lightenimage1Click"),
    Effect("Darkenimage1", "Darken image", "Darkenimage1Click"),
    Effect("Contrastimage1", "+ Contrast image", "Contrastimage1Click"),
    Effect("Contrastimage2", " - Contrast image", "Contrastimage2Click"),
    Effect("Sharpenimage1", "Sharpen image", "Sharpenimage1Click"),
    Effect("Antialiasimage1", "Anti alias image", "Antialiasimage1Click"),
    Effect("Grayimage1", "Gray image", "Grayimage1Click"),
    Effect("Sepiaimage1", "Sepia image", "Sepiaimage1Click"),
    Separator("N1"),
    Command("Undolastchange1", "Undo last change", Ctrl('U'), 0, "Undolastchange1Click"),
    Command("Bordersettings1", "Options", Ctrl('O'), 0, "Bordersettings1Click"),
    Switch("Fittowindow1", "Fit image to window", Ctrl('F'), true, 0, "Fittowindow1Click"),
    Switch("Allowoversize1", "Allow oversize", 0, false, 0, "Allowoversize1Click"),
    Switch("Alphablend1", "Alphablend", 0, false, 0, "Alphablend1Click"),
    Separator("N2"),
    Command("Save1", "Save", Ctrl('S'), kT, "Save1Click"),
    Command("Saveas1", "Save as....", 0, kT, "Save1Click"),
    Switch("OWFiles", "Overwrite files", 0, false, kT, "OWFilesClick"),
    Command("Sendtoemail1", "Send to email client", Ctrl('E'), kT, "Sendtoemail1Click"),
    Separator("N4"),
    Switch("Contextmenu1", "Context menu ", 0, false, 0, "Contextmenu1Click"),
    Command("Latest1", "Latest version", 0, 0, "Latest1Click"),
    Command("EXIT1", "EXIT", vk::kEscape, 0, "EXIT1Click"),
});

}  // namespace

std::span<const CommandItem> CommandTable() {
  return kCommands;
}

const CommandItem* FindCommand(std::string_view name) {
  for (const CommandItem& item : kCommands) {
    if (item.name == name) return &item;
  }
  return nullptr;
}

const CommandItem* FindShortcut(std::uint16_t code) {
  if (code == 0) return nullptr;
  for (const CommandItem& item : kCommands) {
    if (item.shortcut == code) return &item;
  }
  return nullptr;
}

bool EnabledByRule(const CommandItem& item, const EnablingState& state) {
  if (item.name == "Reload1") return state.has_current_file;
  if (item.name == "Pasteimage1") return state.clipboard_has_bitmap;
  if (item.name == "Clearlist1") return state.file_count >= 1;
  return !(state.picture_empty && item.tag == kTagNeedsPicture);
}

}  // namespace qel
