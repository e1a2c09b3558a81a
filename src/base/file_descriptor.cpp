#include "base/file_descriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "base/errors.h"

namespace qel {

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void FileDescriptor::Close() {
  const int fd = std::exchange(fd_, -1);
  if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) ThrowWriteError(errno);
}

void WriteAllAt(int fd, const void* data, std::size_t count, off_t offset) {
  const char* bytes = static_cast<const char*>(data);
  while (count > 0) {
    const ssize_t written = ::pwrite(fd, bytes, count, offset);
    if (written < 0) {
      if (errno == EINTR) continue;
      ThrowWriteError(errno);
    }
    bytes += written;
    count -= std::size_t(written);
    offset += written;
  }
}

void SyncFile(int fd) {
  while (::fsync(fd) != 0) {
    if (errno == EINTR) continue;
    if (errno != EINVAL) ThrowWriteError(errno);
    return;
  }
}

void SyncFolder(const std::string& folder) {
  const FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.IsOpen()) SyncFile(fd.Get());
}

}  // namespace qel
