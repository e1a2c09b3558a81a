// Holding a file name before the file's content exists: an empty file made under a
// name nobody had (exclusive creation), which the content written later replaces.
#pragma once

#include <optional>
#include <string>

#include "base/file_descriptor.h"
#include "base/interrupt_cleanup.h"

namespace qel {

// An empty file that holds its name for the content to come; removed again when it goes
// out of scope, or by an interrupt (base/interrupt_cleanup.h), unless Keep() was called
// (the content took its place). While it is held the file is locked (flock), which tells
// another run that finds the empty file that it is not a leftover to be taken over.
class ClaimedFile {
 public:
  // The claimed file, or nullopt when a file (or anything else) has the name already.
  // Other failures throw EFCreateError "Cannot create file "%s". %s".
  static std::optional<ClaimedFile> Claim(const std::string& path);

  ~ClaimedFile();
  ClaimedFile(ClaimedFile&& other) noexcept = default;
  ClaimedFile& operator=(ClaimedFile&&) = delete;
  ClaimedFile(const ClaimedFile&) = delete;
  ClaimedFile& operator=(const ClaimedFile&) = delete;

  const std::string& Path() const { return path_; }
  void Keep();

 private:
  ClaimedFile(std::string path, FileDescriptor fd, RemovedOnInterrupt listed)
      : path_(std::move(path)), fd_(std::move(fd)), listed_(std::move(listed)) {}

  std::string path_;
  FileDescriptor fd_;  // holds the lock
  RemovedOnInterrupt listed_;
};

}  // namespace qel
