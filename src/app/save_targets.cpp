#include "app/save_targets.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "imaging/errors.h"
#include "imaging/file_list.h"
#include "imaging/picture_container.h"

namespace qel {

bool HasWritableExtension(std::string_view path) {
  return ContainsNoCase(ExtractFileExt(path), kWritableExtensions);
}

std::string FolderPart(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string_view::npos) return {};
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  const std::size_t old_size = ExtractFileExt(path).size();
  std::string out(path.substr(0, path.size() - old_size));
  out += ext;
  return out;
}

SaveTarget MailTarget(const std::string& current_file, bool overwrite_files, const std::string& temp_folder) {
  if (current_file.empty()) {
    std::string folder = temp_folder;
    if (folder.empty() || folder.back() != '/') folder += '/';
    return {folder + std::string(kMailFileName), true, true};
  }
  if (HasWritableExtension(current_file)) return {current_file, overwrite_files, false};
  return {ChangeFileExt(current_file, ".jpg"), false, false};
}

void RemoveLinkInTheWay(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return;
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return;
  const std::string reason = std::strerror(errno);
  throw EFCreateError(FormatMessage("Cannot create file \"%s\". %s", {path, reason}));
}

}  // namespace qel
