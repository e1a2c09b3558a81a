// Where a write to a name lands when the name is a symbolic link.
#pragma once

#include <string>

namespace qel {

// The file that writing `name` writes: `name` itself, or, for a symbolic link, the file
// it leads to (through every link on the way), so that the link stays a link. A link
// that leads to no file, or round in a loop, is refused: a file made through it would
// land where nobody looks for it, and one put in its place would destroy the link.
// Errors: EFCreateError "Cannot create file "%s". %s" with the full path and the reason
// ("The symbolic link points to "...", which does not exist"; "Too many levels of
// symbolic links"; the system's reason when the link cannot be followed).
std::string FollowLinksToWrite(const std::string& name);

}  // namespace qel
