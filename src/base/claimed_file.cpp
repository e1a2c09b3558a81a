#include "base/claimed_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "base/errors.h"
#include "base/file_descriptor.h"

namespace qel {

std::optional<ClaimedFile> ClaimedFile::Claim(const std::string& path) {
  const FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (fd.IsOpen()) return ClaimedFile(path);
  if (errno != EEXIST) ThrowCreateError(path, errno);
  return std::nullopt;
}

ClaimedFile::~ClaimedFile() {
  if (!kept_) ::unlink(path_.c_str());
}

ClaimedFile::ClaimedFile(ClaimedFile&& other) noexcept
    : path_(std::move(other.path_)), kept_(std::exchange(other.kept_, true)) {}

}  // namespace qel
