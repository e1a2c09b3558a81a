// The "Open with qel Image Tool" entry for files of every type: a key in the user's
// key store, and the desktop entry through which Linux file managers offer it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qel {

class Registry;
class DesktopEntries;

// The name of the entry's key under kShellKeyPrefix.
inline constexpr std::string_view kContextMenuKeyName = "VornResize";
inline constexpr std::string_view kShellKeyPrefix = "software\\classes\\*\\shell\\";
inline constexpr std::string_view kContextMenuCaption = "Open with qel Image Tool";
// The name of the desktop entry: file managers put their own "Open with" before it.
inline constexpr std::string_view kOpenWithEntryName = "qel Image Tool";
inline constexpr std::string_view kOpenWithDesktopFile = "qel-image-tool-open-with.desktop";

// What the entry runs and for which files.
struct OpenWithProgram {
  std::string executable;               // full path of the program
  std::vector<std::string> extensions;  // the extensions it reads, without dots
};

// The command the key holds: the executable's path, a blank and "%1" in double quotes.
std::string ContextMenuCommand(const std::string& executable);

// Whether the entry's key exists.
bool ContextMenuInstalled(const Registry& registry, std::string_view name);

// Creates the key with its caption and its "command" subkey, unless the key exists
// (an existing entry stays as it is, whichever program it names), and writes the
// desktop entry unless that exists. Failures are silent: what cannot be written is
// skipped.
void InstallContextMenu(Registry& registry, DesktopEntries* entries, std::string_view name,
                        const OpenWithProgram& program);

// Deletes the key with its subkeys, and the desktop entry. Failures are silent.
void RemoveContextMenu(Registry& registry, DesktopEntries* entries, std::string_view name);

// The extensions of the picture formats registered for reading, without dots.
std::vector<std::string> ReadableExtensions();

}  // namespace qel
