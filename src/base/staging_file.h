// The new content of a file is made in a staging file first, so that an encoder's
// failure or a full disk never touches what has the file's name; only a complete and
// flushed staging file takes that name.
#pragma once

#include <sys/stat.h>

#include <string>

#include "base/file_descriptor.h"

namespace qel {

// A file under a hidden name (".<name>.qel-XXXXXX", mode 0600 while it is written) in
// a folder; removed again when it goes out of scope without having been committed.
// Errors name the file the user asked for (name_for_errors): EFCreateError
// "Cannot create file "%s". %s" when it cannot be made or put in place, EWriteError
// "Stream write error: %s" when it cannot be written out.
class StagingFile {
 public:
  // Makes the staging file in the folder for the target (whose last element goes into
  // the staging name; a long one is left out, so that the name stays within the limit).
  StagingFile(const std::string& folder, const std::string& target, const std::string& name_for_errors);
  ~StagingFile();
  StagingFile(const StagingFile&) = delete;
  StagingFile& operator=(const StagingFile&) = delete;

  const std::string& Path() const { return path_; }
  int Fd() const { return fd_.Get(); }

  // Gives the file the mode a file plainly created now would get (0666 less the umask).
  void TakeCreationMode();
  // Gives the file the owner and mode of `old`; false when the owner cannot be given.
  bool TakeOwnerAndMode(const struct stat& old);

  // Flushes the file and renames it over the target (in the same folder), replacing
  // whatever has that name; then flushes the folder.
  void CommitOver(const std::string& target);
  // The same, but the file takes the target's name only while no file has it: false
  // (and the staging file is removed) when one has.
  bool CommitIfFree(const std::string& target);

 private:
  // Flushes and closes the file before it takes a name.
  void Finish();

  std::string path_;  // before fd_: making the file fills it in
  FileDescriptor fd_;
  std::string name_for_errors_;
  bool committed_ = false;
};

}  // namespace qel
