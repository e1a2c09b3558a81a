// Where per-user files go on a Linux desktop, and the temporary folder.
#pragma once

#include <string>

namespace qel {

// The user's home folder ($HOME, else the password database); empty when unknown.
std::string HomeFolder();
// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config; empty when unknown.
std::string ConfigHome();
// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share; empty when unknown.
std::string DataHome();
// $TMPDIR when it is set and not empty, else /tmp; always ends with '/'.
std::string TempFolder();

}  // namespace qel
