// The text of a desktop entry that offers a program for files under "Open with".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

// One argument of an Exec line: in double quotes with ", `, $ and \ escaped, % doubled,
// and then escaped as a string value (so a backslash becomes four). nullopt for text
// no entry can carry: not UTF-8, or holding a control character.
std::optional<std::string> ExecArgument(std::string_view argument);

// An application entry named name, hidden from menus, that runs the executable with
// the chosen file (%f) and is offered for the media types. nullopt when the name or
// the executable's path cannot be written into an entry.
std::optional<std::string> OpenWithDesktopEntry(std::string_view name, std::string_view executable,
                                                const std::vector<std::string>& mime_types);

}  // namespace qel
