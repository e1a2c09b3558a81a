// The user's desktop entries (the *.desktop files of the applications folder), by
// which file managers offer programs under "Open with".
#pragma once

#include <memory>
#include <string>

namespace qel {

class DesktopEntries {
 public:
  virtual ~DesktopEntries() = default;
  // file_name is a bare name such as "tool.desktop".
  virtual bool Exists(const std::string& file_name) const = 0;
  // Writes the entry unless one of that name exists (which stays as it is).
  virtual bool Install(const std::string& file_name, const std::string& text) = 0;
  // Deletes the entry; true when it is gone afterwards.
  virtual bool Remove(const std::string& file_name) = 0;
};

// The folder $XDG_DATA_HOME/applications (by default ~/.local/share/applications).
// After a change, update-desktop-database is run on the folder when it is installed.
std::unique_ptr<DesktopEntries> MakeUserDesktopEntries();
// The same over a given folder.
std::unique_ptr<DesktopEntries> MakeDesktopEntries(std::string folder);

}  // namespace qel
