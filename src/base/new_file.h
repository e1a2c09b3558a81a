// Writing a file that replaces nothing: the content is made in a staging file and then
// takes the first of a series of names that is free at that very moment, so that two
// writers racing for one name both keep their files.
#pragma once

#include <functional>
#include <string>

#include "base/staging_file.h"

namespace qel {

struct NewFileNames {
  // The names in the order they are tried, all in one folder: at(0), at(1), ...
  std::function<std::string(unsigned attempt)> at;
  // Whether an empty regular file that nobody is writing (the name taken by a run that
  // was killed before it wrote) counts as free, and is replaced.
  bool over_empty_leftovers = false;
};

// Writes the content that fill puts into the staging file (made beside the names) and
// gives it the first free name, with the mode of a new file; returns that name. A name
// is taken in one step that never replaces anything; when another file has it, the next
// name is tried. A folder under a name does not count as taken: it fails with
// EFCreateError "Cannot create file "%s". Is a directory", before anything is written
// when it is at(0)'s. Other errors: EFCreateError "Cannot create file "%s". %s",
// EWriteError "Cannot write file "%s". %s" (full path and reason), whatever fill throws;
// nothing is left behind. tried (when given) holds the name last tried, also on failure.
std::string WriteNewFile(const NewFileNames& names,
                         const std::function<void(const StagingFile& staged)>& fill,
                         std::string* tried = nullptr);

}  // namespace qel
