// Writing a file so that the user's data is never put at risk: the new content is made
// in a staging file first, so an encoder's failure or a full disk never touches the old
// file, and then takes the old file's place.
#pragma once

#include <functional>
#include <string>

namespace qel {

class TStream;

// The path as the user reads it in a message: absolute, without "." and ".." steps.
std::string FullPathForMessages(const std::string& path);

// Writes what `write` puts into the stream as the file `name`.
// - A symbolic link is kept: the file it names is the one written.
// - A new file, or an existing file with one link in a folder the user may write, is
//   replaced by the staging file (written beside it) in one rename; the new file keeps
//   the old one's mode and owner. When the owner cannot be kept, or the folder cannot be
//   written, or the file has further hard links, the content is copied into the
//   existing file instead, after room for it has been reserved: owner, mode and links
//   stay as they were.
// - A file the user may not write is never replaced, nor a folder.
// Errors: EFCreateError "Cannot create file "%s". %s" (full path, the system's reason)
// when the file cannot be made or opened; EWriteError "Stream write error: %s" when the
// data cannot be written. No staging file is left behind on any path.
void WriteFileSafely(const std::string& name, const std::function<void(TStream&)>& write);

}  // namespace qel
