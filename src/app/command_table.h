// The command menu in one place: every item with its caption, 16-bit shortcut code,
// tag, switch state, command id and handler name, and the rule that enables the items.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "app/command_id.h"

namespace qel {

// Shortcut codes: the low byte is the virtual-key code; these bits add modifiers.
inline constexpr std::uint16_t kShortcutShift = 0x2000;
inline constexpr std::uint16_t kShortcutCtrl = 0x4000;
inline constexpr std::uint16_t kShortcutAlt = 0x8000;

// Virtual-key codes the viewer uses (letters and digits are their upper-case ASCII).
namespace vk {
inline constexpr std::uint16_t kEscape = 0x1B;
inline constexpr std::uint16_t kLeft = 0x25;
inline constexpr std::uint16_t kUp = 0x26;
inline constexpr std::uint16_t kRight = 0x27;
inline constexpr std::uint16_t kDown = 0x28;
inline constexpr std::uint16_t kDelete = 0x2E;
}  // namespace vk

// Items with this tag are disabled while the picture is empty.
inline constexpr int kTagNeedsPicture = 2;

enum class CommandKind { kCommand, kSeparator, kSubmenu };

struct CommandItem {
  std::string_view name;  // component name, e.g. "Resizeimage1"
  CommandKind kind;
  std::string_view caption;  // shown exactly as written; empty for separators
  std::uint16_t shortcut;    // 0: none
  int tag;
  bool is_switch;  // the check toggles before the handler runs
  bool checked_at_start;
  std::string_view handler;  // name of the handler the item calls; empty: none
  std::string_view parent;   // name of the submenu item that holds it; empty: top level
  // The command the item runs: every item with a handler has one of its own, and
  // items that share a handler ("Save", "Save as....") tell the handler who they are.
  std::optional<CommandId> command;
};

// The whole menu, top to bottom; the items of a submenu follow their submenu item.
std::span<const CommandItem> CommandTable();

// The item with that name, or nullptr.
const CommandItem* FindCommand(std::string_view name);
// The item of the command.
const CommandItem& CommandItemOf(CommandId id);
// The first item whose handler has that name, or nullptr.
const CommandItem* FindHandler(std::string_view handler_name);
// The item whose shortcut is that code, or nullptr (0 never matches).
const CommandItem* FindShortcut(std::uint16_t code);

// What the enabling rule looks at.
struct EnablingState {
  bool picture_empty = true;
  bool has_current_file = false;
  bool clipboard_has_bitmap = false;
  int file_count = 0;
};

// Whether the rule enables a top-level item: "Reload image" needs a current file,
// "Paste image" a bitmap on the clipboard, "Clear list" a non-empty list; any other
// item is disabled only when it carries kTagNeedsPicture and the picture is empty.
// Items inside a submenu are not touched by the rule (they follow their submenu).
bool EnabledByRule(const CommandItem& item, const EnablingState& state);

}  // namespace qel
