#include "base/claimed_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "base/errors.h"

namespace qel {

namespace {

// Whether the name still leads to the open file.
bool NameHoldsFile(const std::string& path, int fd) {
  struct stat held {
  }, named{};
  return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

}  // namespace

std::optional<ClaimedFile> ClaimedFile::Claim(const std::string& path) {
  FileDescriptor fd;
  int error = 0;
  RemovedOnInterrupt listed([&]() -> std::string {
    fd = FileDescriptor(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    error = errno;
    return fd.IsOpen() ? path : std::string();
  });
  if (!fd.IsOpen()) {
    if (error != EEXIST) ThrowCreateError(path, error);
    return std::nullopt;
  }
  // In the moment before the lock another run may have taken the empty file for a
  // leftover (StagingFile::CommitIfFreeOrEmpty): then the name is that run's.
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 || !NameHoldsFile(path, fd.Get())) {
    listed.Unlist();
    return std::nullopt;
  }
  return ClaimedFile(path, std::move(fd), std::move(listed));
}

ClaimedFile::~ClaimedFile() {
  if (!listed_.Listed()) return;
  listed_.Settle([this] {
    if (NameHoldsFile(path_, fd_.Get())) ::unlink(path_.c_str());
  });
}

void ClaimedFile::Keep() {
  listed_.Unlist();
}

}  // namespace qel
