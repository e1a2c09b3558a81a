#include "output/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"

namespace qel {

namespace {

[[noreturn]] void ThrowCreateError(const std::string& name, int error) {
  throw EFCreateError(
      FormatMessage("Cannot create file \"%s\". %s", {FullPathForMessages(name), std::strerror(error)}));
}

[[noreturn]] void ThrowWriteError(int error) {
  throw EWriteError(std::string("Stream write error: ") + std::strerror(error));
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

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

mode_t CreationMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

void SyncOrThrow(int fd) {
  while (::fsync(fd) != 0) {
    if (errno == EINTR) continue;
    // Files that cannot be synchronised (EINVAL) were written through all the same.
    if (errno != EINVAL) ThrowWriteError(errno);
    return;
  }
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  // Closes now; a failed close (a network file system's late write error) throws.
  void Close() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) ThrowWriteError(errno);
  }

 private:
  int fd_;
};

// A file made in a folder under a hidden name; removed again unless it was moved.
class StagingFile {
 public:
  StagingFile(const std::string& folder, const std::string& base, const std::string& name_for_errors)
      : StagingFile(Make(folder, base, name_for_errors)) {}
  ~StagingFile() {
    if (!moved_) ::unlink(path_.c_str());
  }
  StagingFile(const StagingFile&) = delete;
  StagingFile& operator=(const StagingFile&) = delete;

  const std::string& Path() const { return path_; }
  int Fd() const { return fd_.Get(); }

  // Gives the file the owner and mode of `old`; false when the owner cannot be given.
  bool TakeOwnerAndMode(const struct stat& old) {
    struct stat now {};
    if (::fstat(Fd(), &now) != 0) return false;
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && ::fchown(Fd(), old.st_uid, old.st_gid) != 0)
      return false;
    // After the owner: a change of owner clears the set-id bits.
    return ::fchmod(Fd(), old.st_mode & 07777) == 0;
  }

  void MoveTo(const std::string& target, const std::string& name_for_errors) {
    SyncOrThrow(Fd());
    if (::rename(path_.c_str(), target.c_str()) != 0) ThrowCreateError(name_for_errors, errno);
    moved_ = true;
  }

 private:
  struct Made {
    std::string path;
    int fd;
  };
  static Made Make(const std::string& folder, std::string base, const std::string& name_for_errors) {
    // A long target name is left out so that the staging name stays within the limit.
    if (base.size() > 200) base.clear();
    const std::string pattern = folder + "/." + base + ".qel-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) ThrowCreateError(name_for_errors, errno);
    return {buffer.data(), fd};
  }
  explicit StagingFile(Made made) : path_(std::move(made.path)), fd_(made.fd) {}

  std::string path_;
  Descriptor fd_;
  bool moved_ = false;
};

void WriteAllAt(int fd, const char* data, std::size_t count, off_t offset) {
  while (count > 0) {
    const ssize_t written = ::pwrite(fd, data, count, offset);
    if (written < 0) {
      if (errno == EINTR) continue;
      ThrowWriteError(errno);
    }
    data += written;
    count -= std::size_t(written);
    offset += written;
  }
}

// Copies the staging file's content into the existing target, which keeps its inode:
// owner, mode and hard links stay.
void CopyInto(const StagingFile& staged, const std::string& target, const std::string& name) {
  Descriptor out(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
  if (out.Get() < 0) ThrowCreateError(name, errno);
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
  SyncOrThrow(out.Get());
  out.Close();
}

}  // namespace

std::string FullPathForMessages(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

void WriteFileSafely(const std::string& name, const std::function<void(TStream&)>& write) {
  const std::string target = ResolveLink(name);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) ThrowCreateError(name, EISDIR);
  // A file the user may not write stays protected, whatever its folder allows.
  if (exists && !MayWrite(target)) ThrowCreateError(name, errno);
  const std::string folder = FolderOf(target);
  const bool folder_writable = MayWrite(folder, X_OK);
  // Where the folder is closed, the new content of an existing file is staged in the
  // temporary folder.
  std::string staging_folder = folder;
  if (exists && !folder_writable) {
    std::error_code error;
    staging_folder = std::filesystem::temp_directory_path(error).string();
    if (error) staging_folder = "/tmp";
  }
  StagingFile staged(staging_folder, ExtractFileName(target), name);
  {
    TFileStream stream(staged.Path(), TFileStream::Mode::kCreate);
    write(stream);
    stream.Commit();
  }
  if (!exists) {
    if (::fchmod(staged.Fd(), CreationMode()) != 0) ThrowWriteError(errno);
    staged.MoveTo(target, name);
    return;
  }
  const bool regular = S_ISREG(old.st_mode);
  if (folder_writable && (old.st_nlink <= 1 || !regular) && staged.TakeOwnerAndMode(old)) {
    staged.MoveTo(target, name);
    return;
  }
  // Only a regular file is written in place (never a pipe or a device).
  if (!regular) ThrowCreateError(name, EACCES);
  CopyInto(staged, target, name);
}

}  // namespace qel
