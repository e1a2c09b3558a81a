#include "base/staging_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>
#include <random>
#include <vector>

#include "base/claimed_file.h"
#include "base/errors.h"
#include "base/paths.h"

namespace qel {

namespace {

// The longest target name that goes into a staging name.
constexpr std::size_t kMaxNameInStagingName = 200;

// The process's umask. Asking umask() for it means setting it for a moment, in which
// the files other threads create would get the wrong mode; the kernel shows it in the
// process's status, and only where it does not is it asked for, one thread at a time.
mode_t ProcessUmask() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) == 0) return mode_t(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  static std::mutex mutex;
  const std::lock_guard lock(mutex);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

// A file without a name is given one through its descriptor's entry in /proc.
bool UnnamedFilesCanBeNamed() {
  static const bool usable = ::access("/proc/self/fd", X_OK) == 0;
  return usable;
}

std::string HiddenPattern(const std::string& folder, const std::string& name) {
  return folder + "/." + name + ".qel-";
}

// Six letters or digits, as mkstemp puts in its names.
std::string RandomSuffix() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937_64 generator{std::random_device{}()};
  std::string suffix(6, ' ');
  for (char& c : suffix) c = kLetters[generator() % (sizeof kLetters - 1)];
  return suffix;
}

}  // namespace

StagingFile::StagingFile(const std::string& folder, const std::string& target,
                         const std::string& name_for_errors)
    : folder_(folder), target_name_(NameOf(target)), name_for_errors_(name_for_errors) {
  if (target_name_.size() > kMaxNameInStagingName) target_name_.clear();
  if (UnnamedFilesCanBeNamed()) {
    FileDescriptor fd(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (fd.IsOpen()) {
      path_ = "/proc/self/fd/" + std::to_string(fd.Get());
      fd_ = std::move(fd);
      unnamed_ = true;
      return;
    }
    // Kernels and file systems without such files say so in these ways.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) ThrowCreateError(name_for_errors, errno);
  }
  listed_ = RemovedOnInterrupt([&] {
    const std::string pattern = HiddenPattern(folder, target_name_) + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    fd_ = FileDescriptor(::mkostemp(buffer.data(), O_CLOEXEC));
    if (!fd_.IsOpen()) ThrowCreateError(name_for_errors, errno);
    path_ = buffer.data();
    return path_;
  });
}

StagingFile::~StagingFile() {
  // A named file goes unless a rename gave its name away; one that was linked to the
  // target keeps the target's name only.
  if (listed_.Listed()) listed_.Settle([this] { ::unlink(path_.c_str()); });
}

void StagingFile::TakeCreationMode() {
  if (::fchmod(Fd(), 0666 & ~ProcessUmask()) != 0) ThrowWriteError(errno);
}

bool StagingFile::TakeOwnerAndMode(const struct stat& old) {
  struct stat now {};
  if (::fstat(Fd(), &now) != 0) return false;
  if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && ::fchown(Fd(), old.st_uid, old.st_gid) != 0)
    return false;
  // After the owner: a change of owner clears the set-id bits.
  return ::fchmod(Fd(), old.st_mode & 07777) == 0;
}

void StagingFile::Finish() {
  if (finished_) return;
  SyncFile(Fd());
  if (!unnamed_) fd_.Close();
  finished_ = true;
}

void StagingFile::Committed(const std::string& target) {
  if (unnamed_) fd_.Close();
  SyncFolder(FolderOf(target));
}

void StagingFile::CommitOver(const std::string& target) {
  Finish();
  if (unnamed_) {
    // A rename is what replaces in one step, and it needs a name to rename: the file gets
    // a hidden one for that moment, in which no interrupt can end the process.
    WithoutInterrupts([&] {
      std::string hidden;
      for (int attempt = 0;; ++attempt) {
        hidden = HiddenPattern(folder_, target_name_) + RandomSuffix();
        if (::linkat(AT_FDCWD, path_.c_str(), AT_FDCWD, hidden.c_str(), AT_SYMLINK_FOLLOW) == 0) break;
        if (errno != EEXIST || attempt == 100) ThrowCreateError(name_for_errors_, errno);
      }
      if (::rename(hidden.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(hidden.c_str());
        ThrowCreateError(name_for_errors_, error);
      }
    });
  } else {
    listed_.Settle([&] {
      if (::rename(path_.c_str(), target.c_str()) != 0) ThrowCreateError(name_for_errors_, errno);
    });
  }
  Committed(target);
}

int StagingFile::RenameIfFree(const std::string& target) {
  int error = 0;
  WithoutInterrupts([&] {
    if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
      listed_.Unlist();
    } else {
      error = errno;
    }
  });
  return error;
}

bool StagingFile::CommitIfFree(const std::string& target) {
  Finish();
  if (unnamed_) {
    // A new link never replaces anything.
    if (::linkat(AT_FDCWD, path_.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      if (errno == EEXIST) return false;
      ThrowCreateError(name_for_errors_, errno);
    }
    Committed(target);
    return true;
  }
  const int error = RenameIfFree(target);
  if (error == 0) {
    Committed(target);
    return true;
  }
  if (error == EEXIST) return false;
  if (error != EINVAL && error != ENOSYS && error != ENOTSUP) ThrowCreateError(name_for_errors_, error);
  // A file system without that kind of rename: a hard link does the same, and the
  // staging name is removed when this goes out of scope.
  if (::link(path_.c_str(), target.c_str()) == 0) {
    Committed(target);
    return true;
  }
  if (errno == EEXIST) return false;
  if (errno != EPERM && errno != ENOTSUP && errno != EMLINK) ThrowCreateError(name_for_errors_, errno);
  return CommitByClaim(target);
}

bool StagingFile::CommitByClaim(const std::string& target) {
  // Nor hard links: the name is made exclusively, empty, and the file renamed over it.
  std::optional<ClaimedFile> claimed = ClaimedFile::Claim(target);
  if (!claimed) return false;
  WithoutInterrupts([&] {
    listed_.Settle([&] {
      if (::rename(path_.c_str(), target.c_str()) != 0) ThrowCreateError(name_for_errors_, errno);
    });
    claimed->Keep();
  });
  Committed(target);
  return true;
}

bool StagingFile::CommitIfFreeOrEmpty(const std::string& target) {
  if (CommitIfFree(target)) return true;
  const FileDescriptor existing(
      ::open(target.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!existing.IsOpen()) return false;
  struct stat held {};
  if (::fstat(existing.Get(), &held) != 0 || !S_ISREG(held.st_mode) || held.st_size != 0) return false;
  // Whoever writes such a file holds this lock (ClaimedFile), as does another run taking
  // it over; and the name must still be this file's once the lock is had.
  if (::flock(existing.Get(), LOCK_EX | LOCK_NB) != 0) return false;
  struct stat named {};
  if (::fstat(existing.Get(), &held) != 0 || held.st_size != 0 || held.st_nlink == 0 ||
      ::lstat(target.c_str(), &named) != 0 || named.st_dev != held.st_dev || named.st_ino != held.st_ino)
    return false;
  CommitOver(target);
  return true;
}

}  // namespace qel
