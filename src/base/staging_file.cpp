#include "base/staging_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <vector>

#include "base/errors.h"
#include "base/paths.h"

namespace qel {

namespace {

// The longest target name that goes into a staging name.
constexpr std::size_t kMaxNameInStagingName = 200;

// The process's umask. Asking umask() for it means setting it for a moment, in which
// the files other threads create would get the wrong mode; the kernel shows it in the
// process's status, and only where it does not is it asked for, one thread at a time.
mode_t ProcessUmask() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) == 0) return mode_t(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  static std::mutex mutex;
  const std::lock_guard lock(mutex);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

FileDescriptor MakeStagingFile(const std::string& folder, const std::string& target,
                               const std::string& name_for_errors, std::string& path) {
  std::string name = NameOf(target);
  if (name.size() > kMaxNameInStagingName) name.clear();
  const std::string pattern = folder + "/." + name + ".qel-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  FileDescriptor fd(::mkostemp(buffer.data(), O_CLOEXEC));
  if (!fd.IsOpen()) ThrowCreateError(name_for_errors, errno);
  path = buffer.data();
  return fd;
}

}  // namespace

StagingFile::StagingFile(const std::string& folder, const std::string& target,
                         const std::string& name_for_errors)
    : fd_(MakeStagingFile(folder, target, name_for_errors, path_)), name_for_errors_(name_for_errors) {}

StagingFile::~StagingFile() {
  if (!committed_) ::unlink(path_.c_str());
}

void StagingFile::TakeCreationMode() {
  if (::fchmod(Fd(), 0666 & ~ProcessUmask()) != 0) ThrowWriteError(errno);
}

bool StagingFile::TakeOwnerAndMode(const struct stat& old) {
  struct stat now {};
  if (::fstat(Fd(), &now) != 0) return false;
  if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && ::fchown(Fd(), old.st_uid, old.st_gid) != 0)
    return false;
  // After the owner: a change of owner clears the set-id bits.
  return ::fchmod(Fd(), old.st_mode & 07777) == 0;
}

void StagingFile::Finish() {
  SyncFile(Fd());
  fd_.Close();
}

void StagingFile::CommitOver(const std::string& target) {
  Finish();
  if (::rename(path_.c_str(), target.c_str()) != 0) ThrowCreateError(name_for_errors_, errno);
  committed_ = true;
  SyncFolder(FolderOf(target));
}

bool StagingFile::CommitIfFree(const std::string& target) {
  Finish();
  if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    committed_ = true;
  } else if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
    // A file system without that kind of rename: a hard link does the same, and the
    // staging name is removed when this goes out of scope.
    if (::link(path_.c_str(), target.c_str()) != 0) {
      if (errno == EEXIST) return false;
      ThrowCreateError(name_for_errors_, errno);
    }
  } else {
    if (errno == EEXIST) return false;
    ThrowCreateError(name_for_errors_, errno);
  }
  SyncFolder(FolderOf(target));
  return true;
}

}  // namespace qel
