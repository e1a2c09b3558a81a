// qel-convert's command line, read into one record.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/operations.h"
#include "output/write_options.h"

namespace qel::cli {

struct Arguments {
  bool help = false;
  bool version = false;
  bool formats = false;
  bool info = false;
  bool overwrite = false;
  bool import_reader = false;
  std::optional<std::string> output_folder;  // -o DIR
  std::optional<std::string> extension;      // --to EXT, as typed
  std::optional<int> jobs;                   // -j N
  WriteOptions write_options;                // --quality N, --lossless
  std::vector<std::string> paths;
  std::vector<Operation> steps;

  // Whether any of the batch options was given.
  bool Batch() const { return output_folder || extension || jobs; }
};

// Reads the arguments (without the program name). Throws std::invalid_argument with a
// message for an unknown option or a malformed value. "--" ends the options: every
// argument after it is a path.
Arguments ParseArguments(const std::vector<std::string>& args);

}  // namespace qel::cli
