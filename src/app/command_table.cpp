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

constexpr CommandItem Command(CommandId id, std::string_view name, std::string_view caption,
                              std::uint16_t shortcut, int tag, std::string_view handler) {
  return {name, K::kCommand, caption, shortcut, tag, false, false, handler, {}, id};
}
constexpr CommandItem Switch(CommandId id, std::string_view name, std::string_view caption,
                             std::uint16_t shortcut, bool checked, int tag, std::string_view handler) {
  return {name, K::kCommand, caption, shortcut, tag, true, checked, handler, {}, id};
}
constexpr CommandItem Separator(std::string_view name) {
  return {name, K::kSeparator, {}, 0, 0, false, false, {}, {}, {}};
}
constexpr CommandItem Effect(CommandId id, std::string_view name, std::string_view caption,
                             std::string_view handler) {
  return {name, K::kCommand, caption, 0, 0, false, false, handler, "EFFECTS1", id};
}

using enum CommandId;

constexpr auto kCommands = std::to_array<CommandItem>({
    Command(kLoadimage1, "Loadimage1", "Load image", 0, 0, "Loadimage1Click"),
    Command(kReload1, "Reload1", "Reload image", Ctrl('L'), kT, "Reload1Click"),
    Command(kCapture1, "Capture1", "Capture area under window", Alt('C'), 0, "Capture1Click"),
    Separator("N3"),
    Command(kResizeimage1, "Resizeimage1", "Resize image", Ctrl('R'), kT, "Resizeimage1Click"),
    Command(kResizeto1, "Resizeto1", "Resize to....", 0, kT, "Resizeto1Click"),
    Command(kRotateright1, "Rotateright1", "Rotate right", Ctrl(vk::kRight), kT, "Rotateright1Click"),
    Command(kRotateleft1, "Rotateleft1", "Rotate left", Ctrl(vk::kLeft), kT, "Rotateleft1Click"),
    Command(kBorder1, "Border1", "Draw border", Ctrl('B'), kT, "Border1Click"),
    Command(kMakeborder1, "Makeborder1", "Add border", Alt('B'), kT, "Makeborder1Click"),
    Command(kCopyimage1, "Copyimage1", "Copy image", Ctrl('C'), kT, "Copyimage1Click"),
    Command(kPasteimage1, "Pasteimage1", "Paste image", Ctrl('V'), 0, "Pasteimage1Click"),
    Command(kClearimage1, "Clearimage1", "Clear image", Ctrl('X'), kT, "Clearimage1Click"),
    Command(kClearlist1, "Clearlist1", "Clear list", Alt('X'), kT, "Clearlist1Click"),
    {"EFFECTS1", K::kSubmenu, "Image effects", 0, kT, false, false, {}, {}, {}},
    Effect(kLightenimage1, "Lightenimage1", "Lighten image", "Lightenimage1Click"),
    Effect(kDarkenimage1, "Darkenimage1", "Darken image", "Darkenimage1Click"),
    Effect(kContrastimage1, "Contrastimage1", "+ Contrast image", "Contrastimage1Click"),
    Effect(kContrastimage2, "Contrastimage2", " - Contrast image", "Contrastimage2Click"),
    Effect(kSharpenimage1, "Sharpenimage1", "Sharpen image", "Sharpenimage1Click"),
    Effect(kAntialiasimage1, "Antialiasimage1", "Anti alias image", "Antialiasimage1Click"),
    Effect(kGrayimage1, "Grayimage1", "Gray image", "Grayimage1Click"),
    Effect(kSepiaimage1, "Sepiaimage1", "Sepia image", "Sepiaimage1Click"),
    Separator("N1"),
    Command(kUndolastchange1, "Undolastchange1", "Undo last change", Ctrl('U'), 0, "Undolastchange1Click"),
    Command(kBordersettings1, "Bordersettings1", "Options", Ctrl('O'), 0, "Bordersettings1Click"),
    Switch(kFittowindow1, "Fittowindow1", "Fit image to window", Ctrl('F'), true, 0, "Fittowindow1Click"),
    Switch(kAllowoversize1, "Allowoversize1", "Allow oversize", 0, false, 0, "Allowoversize1Click"),
    Switch(kAlphablend1, "Alphablend1", "Alphablend", 0, false, 0, "Alphablend1Click"),
    Separator("N2"),
    Command(kSave1, "Save1", "Save", Ctrl('S'), kT, "Save1Click"),
    Command(kSaveas1, "Saveas1", "Save as....", 0, kT, "Save1Click"),
    Switch(kOWFiles, "OWFiles", "Overwrite files", 0, false, kT, "OWFilesClick"),
    Command(kSendtoemail1, "Sendtoemail1", "Send to email client", Ctrl('E'), kT, "Sendtoemail1Click"),
    Separator("N4"),
    Switch(kContextmenu1, "Contextmenu1", "Context menu ", 0, false, 0, "Contextmenu1Click"),
    Command(kLatest1, "Latest1", "Latest version", 0, 0, "Latest1Click"),
    Command(kEXIT1, "EXIT1", "EXIT", vk::kEscape, 0, "EXIT1Click"),
});

// Whether the handler is named after its item and the event ("Resizeimage1Click").
constexpr bool NamedAfterItem(const CommandItem& item) {
  constexpr std::string_view kEvent = "Click";
  return item.handler.size() == item.name.size() + kEvent.size() && item.handler.starts_with(item.name) &&
         item.handler.ends_with(kEvent);
}

// Every command item has an id and a handler, and nothing else has either; the ids
// follow the menu order, each once; a handler is named after its item unless it is the
// handler of the item right above, which it shares ("Save as...." shares "Save"'s).
constexpr bool CommandsAreConsistent() {
  std::size_t next_id = 0;
  for (std::size_t i = 0; i < kCommands.size(); ++i) {
    const CommandItem& item = kCommands[i];
    const bool command = item.kind == K::kCommand;
    if (command != item.command.has_value() || command == item.handler.empty()) return false;
    if (!command) continue;
    if (IndexOf(*item.command) != next_id++) return false;
    const bool shared = i > 0 && kCommands[i - 1].handler == item.handler;
    if (!shared && !NamedAfterItem(item)) return false;
  }
  return next_id == kCommandCount;
}
static_assert(CommandsAreConsistent(), "the command table and CommandId disagree");

// Position in the table of each command's item.
constexpr auto kItemOfCommand = [] {
  std::array<std::size_t, kCommandCount> rows{};
  for (std::size_t i = 0; i < kCommands.size(); ++i) {
    if (kCommands[i].command) rows[IndexOf(*kCommands[i].command)] = i;
  }
  return rows;
}();

}  // namespace

std::span<const CommandItem> CommandTable() {
  return kCommands;
}

const CommandItem& CommandItemOf(CommandId id) {
  return kCommands[kItemOfCommand.at(IndexOf(id))];
}

const CommandItem* FindHandler(std::string_view handler_name) {
  if (handler_name.empty()) return nullptr;
  for (const CommandItem& item : kCommands) {
    if (item.handler == handler_name) return &item;
  }
  return nullptr;
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
  if (item.command == kReload1) return state.has_current_file;
  if (item.command == kPasteimage1) return state.clipboard_has_bitmap;
  if (item.command == kClearlist1) return state.file_count >= 1;
  return !(state.picture_empty && item.tag == kTagNeedsPicture);
}

}  // namespace qel
