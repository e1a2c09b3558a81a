#include "base/new_file.h"

#include <sys/stat.h>

#include <cerrno>

#include "base/errors.h"
#include "base/paths.h"

namespace qel {

namespace {

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string WriteNewFile(const NewFileNames& names,
                         const std::function<void(const StagingFile& staged)>& fill, std::string* tried) {
  std::string name = names.at(0);
  if (tried) *tried = name;
  if (IsFolder(name)) ThrowCreateError(name, EISDIR);
  StagingFile staged(FolderOf(name), name, name);
  for (unsigned attempt = 0;; name = names.at(++attempt)) {
    if (tried) *tried = name;
    bool taken = false;
    NamingWriteErrors(name, [&] {
      if (attempt == 0) {
        fill(staged);
        staged.TakeCreationMode();
      }
      taken = names.over_empty_leftovers ? staged.CommitIfFreeOrEmpty(name) : staged.CommitIfFree(name);
    });
    if (taken) return name;
    if (IsFolder(name)) ThrowCreateError(name, EISDIR);
  }
}

}  // namespace qel
