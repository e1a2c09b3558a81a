#include "app/context_menu.h"

#include <optional>

#include "imaging/picture_container.h"
#include "platform/desktop_entries.h"
#include "platform/desktop_entry_text.h"
#include "platform/mime_types.h"
#include "platform/registry.h"

namespace qel {

namespace {

std::string KeyOf(std::string_view name) {
  std::string key(kShellKeyPrefix);
  key += name;
  return key;
}

void InstallDesktopEntry(DesktopEntries& entries, const OpenWithProgram& program) {
  if (entries.Exists(std::string(kOpenWithDesktopFile))) return;
  const std::optional<std::string> text =
      OpenWithDesktopEntry(kOpenWithEntryName, program.executable, MimeTypesOfExtensions(program.extensions));
  if (text) entries.Install(std::string(kOpenWithDesktopFile), *text);
}

}  // namespace

std::string ContextMenuCommand(const std::string& executable) {
  return executable + " \"%1\"";
}

bool ContextMenuInstalled(const Registry& registry, std::string_view name) {
  return registry.KeyExists(KeyOf(name));
}

void InstallContextMenu(Registry& registry, DesktopEntries* entries, std::string_view name,
                        const OpenWithProgram& program) {
  const std::string key = KeyOf(name);
  if (!registry.KeyExists(key)) {
    if (registry.CreateKey(key)) registry.WriteDefaultValue(key, kContextMenuCaption);
    const std::string command_key = key + "\\command";
    if (registry.CreateKey(command_key))
      registry.WriteDefaultValue(command_key, ContextMenuCommand(program.executable));
  }
  if (entries) InstallDesktopEntry(*entries, program);
}

void RemoveContextMenu(Registry& registry, DesktopEntries* entries, std::string_view name) {
  const std::string key = KeyOf(name);
  if (registry.KeyExists(key)) registry.DeleteKey(key);
  if (entries) entries->Remove(std::string(kOpenWithDesktopFile));
}

std::vector<std::string> ReadableExtensions() {
  std::vector<std::string> extensions;
  for (const TPictureFormatList* list : {&PictureFormats(), &AddedPictureFormats()}) {
    for (const TPictureFormatList::Entry& entry : list->Entries()) {
      if (!entry.extension.empty()) extensions.push_back(entry.extension);
    }
  }
  return extensions;
}

}  // namespace qel
