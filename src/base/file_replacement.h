// Writing a file so that the user's data is never put at risk: the new content is made
// in a staging file first, so that an encoder's failure or a full disk never touches
// the old file, and then takes the old file's place.
#pragma once

#include <functional>
#include <string>

#include "base/staging_file.h"

namespace qel {

// Writes the file `name` with the content that fill puts into the staging file (by its
// path or its descriptor; fill throws to give up, and the old file stays as it was).
// - A symbolic link is kept: the file it names is the one written. A link that leads to
//   no file or round in a loop is refused (base/link_target.h).
// - A new file, or an existing file with one link in a folder the user may write, is
//   replaced by the staging file (written beside it) in one rename; the new file keeps
//   the old one's mode and owner. When the owner cannot be kept, or the folder cannot be
//   written, or the file has further hard links, the content is copied into the
//   existing file instead, after the file has been grown to the new size with blocks of
//   its own (a full disk fails there, with the old content whole and its size restored);
//   owner, mode and links stay as they were, and an interrupt waits for the copy's end.
//   The staging file of a folder the user may not write is made in the temporary folder.
// - A file the user may not write is never replaced, nor a folder, nor a file whose
//   mode has no write bit for anyone (also when the superuser asks).
// Errors: EFCreateError "Cannot create file "%s". %s" (full path, the system's reason)
// when the file cannot be made or opened; EWriteError "Cannot write file "%s". %s" (full
// path, the reason) when the data cannot be written, also when fill's own writing fails;
// whatever else fill throws. No staging file is left behind on any path.
void ReplaceFile(const std::string& name, const std::function<void(const StagingFile& staged)>& fill);

}  // namespace qel
