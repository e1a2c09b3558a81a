// Desktop entries in the user's applications folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/atomic_file.h"
#include "platform/desktop_entries.h"
#include "platform/run_program.h"
#include "platform/xdg_paths.h"

namespace qel {

namespace {

constexpr const char* kDatabaseTool = "update-desktop-database";

bool IsBareName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

class FolderDesktopEntries final : public DesktopEntries {
 public:
  explicit FolderDesktopEntries(std::string folder) : folder_(std::move(folder)) {}

  bool Exists(const std::string& file_name) const override {
    struct stat st {};
    return IsBareName(file_name) && !folder_.empty() && ::lstat(PathOf(file_name).c_str(), &st) == 0;
  }

  bool Install(const std::string& file_name, const std::string& text) override {
    if (!IsBareName(file_name) || folder_.empty()) return false;
    if (Exists(file_name)) return true;
    if (!MakeFolders(folder_, 0700)) return false;
    if (!WriteFileAtomically(PathOf(file_name), text, WriteMode::kKeepExisting)) return false;
    RefreshDatabase();
    return true;
  }

  bool Remove(const std::string& file_name) override {
    if (!IsBareName(file_name) || folder_.empty()) return false;
    if (::unlink(PathOf(file_name).c_str()) != 0) return errno == ENOENT;
    RefreshDatabase();
    return true;
  }

 private:
  std::string PathOf(const std::string& file_name) const { return folder_ + '/' + file_name; }

  // Lets the desktop's cache of media types and programs follow the change.
  void RefreshDatabase() const {
    if (ProgramOnPath(kDatabaseTool)) RunProgram({kDatabaseTool, folder_});
  }

  std::string folder_;
};

}  // namespace

std::unique_ptr<DesktopEntries> MakeDesktopEntries(std::string folder) {
  return std::make_unique<FolderDesktopEntries>(std::move(folder));
}

std::unique_ptr<DesktopEntries> MakeUserDesktopEntries() {
  const std::string data = DataHome();
  return MakeDesktopEntries(data.empty() ? std::string() : data + "/applications");
}

}  // namespace qel
