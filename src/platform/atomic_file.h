// Small files of the program's own (the key store, desktop entries): read with a size
// limit and written so that a reader never sees half a file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qel {

enum class ReadOutcome {
  kRead,      // the content is complete
  kMissing,   // no file of that name
  kUnusable,  // not a regular file, larger than the limit, or a read error
};

struct SmallFile {
  ReadOutcome outcome = ReadOutcome::kMissing;
  std::string content;
};

// Reads a regular file of at most max_size bytes. Never blocks on a FIFO or device.
SmallFile ReadSmallFile(const std::string& path, std::size_t max_size);

enum class WriteMode { kReplace, kKeepExisting };

// Writes the content to a staging file beside path (base/staging_file.h), flushes it to
// the disk and then puts it in path's place; the file gets the mode of a new file. With
// kKeepExisting an existing path (of any kind) is left as it is and counts as success.
// Returns false when the file could not be written; no staging file is left behind.
bool WriteFileAtomically(const std::string& path, std::string_view content, WriteMode mode);

// Creates the folder and its missing parents (new ones with the given mode); true when
// the folder exists afterwards.
bool MakeFolders(const std::string& folder, unsigned mode);

}  // namespace qel
