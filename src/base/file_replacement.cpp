#include "base/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "base/errors.h"
#include "base/file_descriptor.h"
#include "base/paths.h"

namespace qel {

namespace {

// A symbolic link to a file is kept: the file it points to is the one written.
std::string ResolveLink(const std::string& target) {
  struct stat st {};
  if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::canonical(target, error);
  return error ? target : resolved.string();
}

// Whether this process may write the path (with its effective ids).
bool MayWrite(const std::string& path, int extra_mode = 0) {
  return ::faccessat(AT_FDCWD, path.c_str(), W_OK | extra_mode, AT_EACCESS) == 0;
}

std::string TemporaryFolder() {
  std::error_code error;
  const std::string folder = std::filesystem::temp_directory_path(error).string();
  return error ? "/tmp" : folder;
}

// Copies the staging file's content into the existing target, which keeps its inode:
// owner, mode and hard links stay.
void CopyInto(const StagingFile& staged, const std::string& target, const std::string& name) {
  FileDescriptor out(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
  if (!out.IsOpen()) ThrowCreateError(name, errno);
  struct stat st {};
  if (::fstat(staged.Fd(), &st) != 0) ThrowWriteError(errno);
  const off_t size = st.st_size;
  // Room first: a full disk shows before a byte of the old content is touched.
  if (size > 0 && ::fallocate(out.Get(), FALLOC_FL_KEEP_SIZE, 0, size) != 0 &&
      (errno == ENOSPC || errno == EDQUOT || errno == EFBIG))
    ThrowWriteError(errno);
  std::vector<char> buffer(1 << 16);
  for (off_t offset = 0; offset < size;) {
    const ssize_t got = ::pread(staged.Fd(), buffer.data(), buffer.size(), offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) ThrowWriteError(got < 0 ? errno : EIO);
    WriteAllAt(out.Get(), buffer.data(), std::size_t(got), offset);
    offset += got;
  }
  while (::ftruncate(out.Get(), size) != 0) {
    if (errno != EINTR) ThrowWriteError(errno);
  }
  SyncFile(out.Get());
  out.Close();
}

}  // namespace

void ReplaceFile(const std::string& name, const std::function<void(const StagingFile& staged)>& fill) {
  const std::string target = ResolveLink(name);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) ThrowCreateError(name, EISDIR);
  // A file the user may not write stays protected, whatever its folder allows; so does
  // a file whose mode gives nobody the right to write it, also when the superuser runs
  // us (the kernel would let root write anything).
  if (exists && (old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) ThrowCreateError(name, EACCES);
  if (exists && !MayWrite(target)) ThrowCreateError(name, errno);
  const std::string folder = FolderOf(target);
  const bool folder_writable = MayWrite(folder, X_OK);
  // Where the folder is closed, the new content of an existing file is staged in the
  // temporary folder.
  StagingFile staged(exists && !folder_writable ? TemporaryFolder() : folder, target, name);
  fill(staged);
  if (!exists) {
    staged.TakeCreationMode();
    staged.CommitOver(target);
    return;
  }
  const bool regular = S_ISREG(old.st_mode);
  if (folder_writable && (old.st_nlink <= 1 || !regular) && staged.TakeOwnerAndMode(old)) {
    staged.CommitOver(target);
    return;
  }
  // Only a regular file is written in place (never a pipe or a device).
  if (!regular) ThrowCreateError(name, EACCES);
  CopyInto(staged, target, name);
}

}  // namespace qel
