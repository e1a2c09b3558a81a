#include "base/link_target.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "base/errors.h"
#include "base/paths.h"

namespace qel {

namespace {

struct FreeDeleter {
  void operator()(char* text) const { std::free(text); }
};

std::string LinkContent(const std::string& link) {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink(link.c_str(), buffer, sizeof buffer);
  return length < 0 ? std::string() : std::string(buffer, std::size_t(length));
}

}  // namespace

std::string FollowLinksToWrite(const std::string& name) {
  struct stat st {};
  if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
  const std::unique_ptr<char, FreeDeleter> resolved(::realpath(name.c_str(), nullptr));
  if (resolved) return resolved.get();
  const int error = errno;
  if (error == ENOENT || error == ENOTDIR) {
    throw EFCreateError(
        FormatMessage("Cannot create file \"%s\". The symbolic link points to \"%s\", which does not exist",
                      {FullPath(name), LinkContent(name)}));
  }
  ThrowCreateError(name, error);
}

}  // namespace qel
