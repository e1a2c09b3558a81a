#include "output/save_picture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "output/picture_writers.h"

namespace qel {

namespace {

bool IsExistingFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string FolderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The path as the user reads it in a message: absolute, without "." and ".." steps.
std::string FullPath(const std::string& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

[[noreturn]] void ThrowCreateError(const std::string& name, int error) {
  throw EFCreateError(FormatMessage("Cannot create file \"%s\". %s", {FullPath(name), std::strerror(error)}));
}

// A symbolic link to a file is kept: the file it points to is the one replaced.
std::string ResolveLink(const std::string& target) {
  struct stat st {};
  if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
  std::error_code error;
  std::filesystem::path resolved = std::filesystem::canonical(target, error);
  return error ? target : resolved.string();
}

// A file created beside the target that becomes the target when Commit() succeeds and
// is removed otherwise.
class TemporaryTarget {
 public:
  explicit TemporaryTarget(const std::string& name) : name_(name), target_(ResolveLink(name)) {
    struct stat st {};
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) ThrowCreateError(name_, EISDIR);
    // Replacing a file goes through its folder; a file the user may not write stays
    // protected all the same.
    if (exists && ::access(target_.c_str(), W_OK) != 0) ThrowCreateError(name_, errno);
    // A hidden name that says whose it is; a long target name is left out so that the
    // temporary name stays within the folder's limit.
    std::string base = ExtractFileName(target_);
    if (base.size() > 200) base.clear();
    std::string pattern = FolderOf(target_) + "/." + base + ".qel-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd = ::mkstemp(buffer.data());
    if (fd < 0) ThrowCreateError(name_, errno);
    ::close(fd);
    path_ = buffer.data();
    // The new file gets the mode of the file it replaces, or the mode a plainly
    // created file would get (set once it is written, see Commit).
    if (exists) {
      mode_ = st.st_mode & 07777;
    } else {
      mode_t mask = ::umask(0);
      ::umask(mask);
      mode_ = 0666 & ~mask;
    }
  }
  ~TemporaryTarget() {
    if (!committed_) ::unlink(path_.c_str());
  }
  TemporaryTarget(const TemporaryTarget&) = delete;
  TemporaryTarget& operator=(const TemporaryTarget&) = delete;

  const std::string& Path() const { return path_; }

  // Makes sure the bytes are on the disk (a full disk may only show here), then puts
  // the file in the target's place.
  void Commit() {
    int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) ThrowCreateError(name_, errno);
    int sync_error = 0;
    while (::fsync(fd) != 0) {
      if (errno == EINTR) continue;
      // Files that cannot be synchronised (EINVAL) were written through all the same.
      if (errno != EINVAL) sync_error = errno;
      break;
    }
    int close_error = ::close(fd) == 0 ? 0 : errno;
    if (close_error == EINTR) close_error = 0;
    if (sync_error || close_error) {
      throw EWriteError(std::string("Stream write error: ") +
                        std::strerror(sync_error ? sync_error : close_error));
    }
    ::chmod(path_.c_str(), mode_);
    if (::rename(path_.c_str(), target_.c_str()) != 0) ThrowCreateError(name_, errno);
    committed_ = true;
  }

 private:
  std::string name_;    // as the caller gave it, for messages
  std::string target_;  // the file that is replaced
  std::string path_;
  mode_t mode_ = 0600;
  bool committed_ = false;
};

using Encoder = void (*)(const Picture&, TStream&);

struct Branch {
  const char* extension;
  Encoder encode;
};

// Compared in this order, on the lower-cased extension.
const Branch kBranches[] = {
    {".bmp", &WriteBmp}, {".jp2", &WriteJp2}, {".tga", &WriteTga}, {".jpg", &WriteJpeg},
    {".png", &WritePng}, {".gif", &WriteGif}, {".emf", &WriteEmf},
};

}  // namespace

std::string UniqueFileName(const std::string& name) {
  if (!IsExistingFile(name)) return name;
  const std::string ext = ExtractFileExt(name);
  const std::string stem = name.substr(0, name.size() - ext.size());
  for (unsigned n = 1;; ++n) {
    std::string candidate = stem + "[" + std::to_string(n) + "]" + ext;
    if (!IsExistingFile(candidate)) return candidate;
  }
}

std::string SavePictureFile(const std::string& name, const Picture& picture, bool overwrite,
                            std::string* name_used) {
  std::string target = name;
  if (name_used) *name_used = target;
  if (!overwrite) target = UniqueFileName(name);
  if (name_used) *name_used = target;
  const std::string ext = LowerCase(ExtractFileExt(target));
  for (const Branch& branch : kBranches) {
    if (ext != branch.extension) continue;
    TemporaryTarget temporary(target);
    {
      TFileStream stream(temporary.Path(), TFileStream::Mode::kCreate);
      branch.encode(picture, stream);
      stream.Commit();
    }
    temporary.Commit();
    break;
  }
  return target;
}

}  // namespace qel
