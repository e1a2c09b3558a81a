// The new content of a file is made in a staging file first, so that an encoder's
// failure or a full disk never touches what has the file's name; only a complete and
// flushed staging file takes that name.
#pragma once

#include <sys/stat.h>

#include <string>

#include "base/file_descriptor.h"
#include "base/interrupt_cleanup.h"

namespace qel {

// A file in a folder that has no name there until it is committed, so that nothing is
// left of it when the process ends first, however it ends. Where the file system cannot
// make such a file it gets a hidden name (".<name>.qel-XXXXXX"), which is removed when
// this goes out of scope without having been committed, or by an interrupt
// (base/interrupt_cleanup.h). Its mode is 0600 while it is written.
// Errors name the file the user asked for (name_for_errors): EFCreateError
// "Cannot create file "%s". %s" when it cannot be made or put in place, EWriteError
// "Stream write error: %s" when it cannot be written out.
class StagingFile {
 public:
  // Makes the staging file in the folder for the target (whose last element goes into
  // a staging name; a long one is left out, so that the name stays within the limit).
  StagingFile(const std::string& folder, const std::string& target, const std::string& name_for_errors);
  ~StagingFile();
  StagingFile(const StagingFile&) = delete;
  StagingFile& operator=(const StagingFile&) = delete;

  // A path that opens the file (for a file without a name, its descriptor's entry
  // under /proc/self/fd).
  const std::string& Path() const { return path_; }
  int Fd() const { return fd_.Get(); }

  // Gives the file the mode a file plainly created now would get (0666 less the umask).
  void TakeCreationMode();
  // Gives the file the owner and mode of `old`; false when the owner cannot be given.
  bool TakeOwnerAndMode(const struct stat& old);

  // The target, in the same folder, gets the flushed file in one step, replacing
  // whatever has that name; then the folder is flushed.
  void CommitOver(const std::string& target);
  // The same, but the file takes the target's name only while no file (nor anything
  // else) has it: false when something has, and the staging file may try another name.
  // The name is taken in one step where the file system allows it (a new link, or a
  // rename that does not replace), else by creating it exclusively first.
  bool CommitIfFree(const std::string& target);
  // As CommitIfFree, but an empty regular file under the target that nobody is writing
  // (the name taken by a run that was killed before it wrote) counts as free and is
  // replaced.
  bool CommitIfFreeOrEmpty(const std::string& target);

 private:
  // Flushes the file before it takes a name (once); a file with a name of its own is
  // closed then, so that a late write error shows before it takes the target's name.
  void Finish();
  // Takes the target by renaming the staging name without replacing: 0, or the error.
  int RenameIfFree(const std::string& target);
  // Takes the target by exclusive creation, then renames over it.
  bool CommitByClaim(const std::string& target);
  // The final step of a commit.
  void Committed(const std::string& target);

  std::string folder_;
  std::string path_;           // before fd_: making the file fills it in
  RemovedOnInterrupt listed_;  // a staging file with a name
  FileDescriptor fd_;
  bool unnamed_ = false;
  std::string target_name_;  // the last element of the target, for staging names
  std::string name_for_errors_;
  bool finished_ = false;
};

}  // namespace qel
