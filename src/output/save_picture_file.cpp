#include "output/save_picture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
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

[[noreturn]] void ThrowCreateError(const std::string& name, int error) {
  throw EFCreateError(FormatMessage("Cannot create file \"%s\". %s", {name, std::strerror(error)}));
}

// A file created beside the target that becomes the target when Commit() succeeds and
// is removed otherwise.
class TemporaryTarget {
 public:
  explicit TemporaryTarget(const std::string& target) : target_(target) {
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) ThrowCreateError(target, EISDIR);
    std::string pattern = FolderOf(target) + "/." + ExtractFileName(target) + ".qel-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd = ::mkstemp(buffer.data());
    if (fd < 0) ThrowCreateError(target, errno);
    ::close(fd);
    path_ = buffer.data();
    // The new file gets the mode a plainly created file would get, or the mode of the
    // file it replaces.
    mode_t mode;
    if (::stat(target.c_str(), &st) == 0) {
      mode = st.st_mode & 07777;
    } else {
      mode_t mask = ::umask(0);
      ::umask(mask);
      mode = 0666 & ~mask;
    }
    ::chmod(path_.c_str(), mode);
  }
  ~TemporaryTarget() {
    if (!committed_) ::unlink(path_.c_str());
  }
  TemporaryTarget(const TemporaryTarget&) = delete;
  TemporaryTarget& operator=(const TemporaryTarget&) = delete;

  const std::string& Path() const { return path_; }
  void Commit() {
    if (::rename(path_.c_str(), target_.c_str()) != 0) ThrowCreateError(target_, errno);
    committed_ = true;
  }

 private:
  std::string target_;
  std::string path_;
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
