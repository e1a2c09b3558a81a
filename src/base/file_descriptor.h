// An open file of the system's own kind (a descriptor), and what writing safely asks of
// one: all bytes written, and the file and its folder flushed to the disk. Failures
// throw EWriteError "Stream write error: %s" with the system's reason.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace qel {

// Owns a descriptor and closes it when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int Get() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }
  // Closes now; a failed close (a network file system's late write error) throws.
  void Close();

 private:
  int fd_;
};

// Writes all count bytes at the offset.
void WriteAllAt(int fd, const void* data, std::size_t count, off_t offset);

// Flushes the file's content to the disk. Files that cannot be flushed (EINVAL: a pipe,
// say) were written through all the same and pass.
void SyncFile(int fd);

// Flushes the folder's entries to the disk, so that a file renamed or made in it keeps
// its name after a crash. A folder that cannot be opened for this (no read permission)
// is passed over.
void SyncFolder(const std::string& folder);

}  // namespace qel
