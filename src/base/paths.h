// File names taken apart and put together, without asking the file system.
#pragma once

#include <string>

namespace qel {

// The path as the user reads it in a message: absolute, without "." and ".." steps.
// The path as given when the current folder cannot be found out.
std::string FullPath(const std::string& path);

// The folder part of a path (without the trailing '/'); "." for a bare name, "/" for a
// name in the root folder.
std::string FolderOf(const std::string& path);

// The last element of a path: the text after the last '/'.
std::string NameOf(const std::string& path);

}  // namespace qel
