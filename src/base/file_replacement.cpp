#include "base/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

#include "base/errors.h"
#include "base/file_descriptor.h"
#include "base/interrupt_cleanup.h"
#include "base/link_target.h"
#include "base/paths.h"

namespace qel {

namespace {

// Whether this process may write the path (with its effective ids).
bool MayWrite(const std::string& path, int extra_mode = 0) {
  return ::faccessat(AT_FDCWD, path.c_str(), W_OK | extra_mode, AT_EACCESS) == 0;
}

std::string TemporaryFolder() {
  std::error_code error;
  const std::string folder = std::filesystem::temp_directory_path(error).string();
  return error ? "/tmp" : folder;
}

// Writes zeros from one offset to another: 0, or the error that stopped it.
int WriteZeros(int fd, off_t from, off_t to) {
  const std::vector<char> zeros(std::size_t(1) << 16);
  while (from < to) {
    const ssize_t written =
        ::pwrite(fd, zeros.data(), std::size_t(std::min<off_t>(to - from, off_t(zeros.size()))), from);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? errno : ENOSPC;
    from += written;
  }
  return 0;
}

// Makes the file `size` bytes long (at least) with blocks of its own on the disk, so that
// writing the new content cannot run out of room halfway. On failure the file is cut
// back to its old size, its old content untouched, and EWriteError is thrown.
void ReserveRoom(int fd, off_t old_size, off_t size) {
  if (size <= 0) return;
  int error = ::posix_fallocate(fd, 0, size);
  // No way to ask for the blocks: zeros written past the end take them.
  if (error == EOPNOTSUPP || error == ENOSYS || error == EINVAL) error = WriteZeros(fd, old_size, size);
  // Where the blocks are only promised (a network file system), flushing takes them.
  if (error == 0 && size > old_size && ::fsync(fd) != 0 && errno != EINVAL) error = errno;
  if (error == 0) return;
  while (::ftruncate(fd, old_size) != 0 && errno == EINTR) {
  }
  ThrowWriteError(error);
}

// Copies the staging file's content into the existing target, which keeps its inode:
// owner, mode and hard links stay.
void CopyInto(const StagingFile& staged, const std::string& target, const std::string& name) {
  FileDescriptor out(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
  if (!out.IsOpen()) ThrowCreateError(name, errno);
  struct stat st {
  }, old{};
  if (::fstat(staged.Fd(), &st) != 0 || ::fstat(out.Get(), &old) != 0) ThrowWriteError(errno);
  const off_t size = st.st_size;
  // Room first: a full disk shows before a byte of the old content is touched.
  ReserveRoom(out.Get(), old.st_size, size);
  // From the first byte written over to the last, the file holds neither picture whole:
  // an interrupt waits for the end.
  WithoutInterrupts([&] {
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
  });
  out.Close();
}

}  // namespace

void ReplaceFile(const std::string& name, const std::function<void(const StagingFile& staged)>& fill) {
  const std::string target = FollowLinksToWrite(name);
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
  NamingWriteErrors(name, [&] {
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
  });
}

}  // namespace qel
