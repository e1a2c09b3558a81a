#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "base/errors.h"
#include "base/file_descriptor.h"
#include "base/paths.h"
#include "base/staging_file.h"

namespace qel {

SmallFile ReadSmallFile(const std::string& path, std::size_t max_size) {
  SmallFile result;
  // Non-blocking, so that a FIFO put in the file's place cannot stall the caller.
  const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd.IsOpen()) {
    result.outcome = errno == ENOENT ? ReadOutcome::kMissing : ReadOutcome::kUnusable;
    return result;
  }
  result.outcome = ReadOutcome::kUnusable;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
      std::size_t(st.st_size) > max_size)
    return result;
  // The file may grow while it is read: read at most one byte past the limit.
  std::vector<char> buffer(max_size + 1);
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    const ssize_t got = ::read(fd.Get(), buffer.data() + filled, buffer.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      return result;
    }
    if (got == 0) break;
    filled += std::size_t(got);
  }
  if (filled > max_size) return result;
  result.content.assign(buffer.data(), filled);
  result.outcome = ReadOutcome::kRead;
  return result;
}

bool WriteFileAtomically(const std::string& path, std::string_view content, WriteMode mode) {
  struct stat st {};
  if (mode == WriteMode::kKeepExisting && ::lstat(path.c_str(), &st) == 0) return true;
  try {
    StagingFile staged(FolderOf(path), path, path);
    staged.TakeCreationMode();
    WriteAllAt(staged.Fd(), content.data(), content.size(), 0);
    if (mode == WriteMode::kReplace) {
      staged.CommitOver(path);
    } else {
      // Another writer may have been quicker: its file stays.
      staged.CommitIfFree(path);
    }
    return true;
  } catch (const Error&) {
    return false;
  }
}

bool MakeFolders(const std::string& folder, unsigned mode) {
  if (folder.empty()) return false;
  struct stat st {};
  if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const std::string parent = FolderOf(folder);
  if (parent != folder && parent != "." && !MakeFolders(parent, mode)) return false;
  if (::mkdir(folder.c_str(), mode_t(mode)) == 0) return true;
  return errno == EEXIST && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace qel
