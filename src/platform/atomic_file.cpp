#include "platform/atomic_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace qel {

namespace {

// Closes the descriptor when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }
  // Closes now and reports whether the close succeeded.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 || errno == EINTR;
  }

 private:
  int fd_;
};

// Removes the file when it goes out of scope, unless told it has been kept.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!kept_) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& Path() const { return path_; }
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  bool kept_ = false;
};

bool WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = ::write(fd, content.data(), content.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    content.remove_prefix(std::size_t(written));
  }
  return true;
}

bool SyncToDisk(int fd) {
  while (::fsync(fd) != 0) {
    if (errno == EINTR) continue;
    // Some file systems cannot sync; what was written is there all the same.
    return errno == EINVAL;
  }
  return true;
}

// Puts the temporary file in to's place without replacing an existing to.
bool MoveIntoFreePlace(TemporaryFile& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.Path().c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    from.Keep();
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  // A file system without that kind of rename: a hard link does the same, and the
  // temporary name is removed afterwards.
  return ::link(from.Path().c_str(), to.c_str()) == 0;
}

}  // namespace

std::string FolderOfPath(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

SmallFile ReadSmallFile(const std::string& path, std::size_t max_size) {
  SmallFile result;
  // Non-blocking, so that a FIFO put in the file's place cannot stall the caller.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.Get() < 0) {
    result.outcome = errno == ENOENT ? ReadOutcome::kMissing : ReadOutcome::kUnusable;
    return result;
  }
  result.outcome = ReadOutcome::kUnusable;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
      std::size_t(st.st_size) > max_size)
    return result;
  // The file may grow while it is read: read at most one byte past the limit.
  std::vector<char> buffer(max_size + 1);
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    const ssize_t got = ::read(fd.Get(), buffer.data() + filled, buffer.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      return result;
    }
    if (got == 0) break;
    filled += std::size_t(got);
  }
  if (filled > max_size) return result;
  result.content.assign(buffer.data(), filled);
  result.outcome = ReadOutcome::kRead;
  return result;
}

bool WriteFileAtomically(const std::string& path, std::string_view content, WriteMode mode) {
  struct stat st {};
  if (mode == WriteMode::kKeepExisting && ::lstat(path.c_str(), &st) == 0) return true;
  std::string pattern = FolderOfPath(path) + "/.qel-write-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  FileDescriptor fd(::mkostemp(name.data(), O_CLOEXEC));
  if (fd.Get() < 0) return false;
  TemporaryFile temporary(name.data());
  // The mode a plainly created file would get.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (::fchmod(fd.Get(), 0666 & ~mask) != 0) return false;
  if (!WriteAll(fd.Get(), content) || !SyncToDisk(fd.Get()) || !fd.Close()) return false;
  if (mode == WriteMode::kKeepExisting) {
    // Another writer may have been quicker: its file stays.
    return MoveIntoFreePlace(temporary, path) || errno == EEXIST;
  }
  if (::rename(temporary.Path().c_str(), path.c_str()) != 0) return false;
  temporary.Keep();
  return true;
}

bool MakeFolders(const std::string& folder, unsigned mode) {
  if (folder.empty()) return false;
  struct stat st {};
  if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const std::string parent = FolderOfPath(folder);
  if (parent != folder && parent != "." && !MakeFolders(parent, mode)) return false;
  if (::mkdir(folder.c_str(), mode_t(mode)) == 0) return true;
  return errno == EEXIST && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace qel
