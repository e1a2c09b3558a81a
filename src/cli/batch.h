// Batch conversion: many inputs, read, changed by the same operations and written into
// one folder in one format, several at a time.
#pragma once

#include <string>
#include <vector>

#include "cli/operations.h"
#include "output/write_options.h"

namespace qel::cli {

struct BatchJob {
  std::string output_folder;
  std::string extension;  // with the dot, as BatchExtension gives it
  bool overwrite = false;
  bool import_reader = false;
  WriteOptions write_options;
  int jobs = 0;  // 0: one worker a processor core
  std::vector<Operation> steps;
  std::vector<std::string> paths;  // files and folders, as given
};

struct BatchCounts {
  int converted = 0;  // without a warning
  int warned = 0;     // converted, with a reader's warning (a damaged file, say)
  int failed = 0;
  int skipped = 0;
};

// Creates the output folder (with its parents), gathers the inputs, chooses every
// output name, then converts the files on a pool of workers. Each file written is
// printed on standard output, each failure on standard error as "path: message", each
// reader's warning as "path: Warning: text"; the summary line closes the run ("%d
// converted, %d converted with a warning, %d failed, %d skipped"). A failure of one
// file does not stop the others. Throws (before any file is converted) when the output
// folder cannot be made.
BatchCounts RunBatch(const BatchJob& job);

}  // namespace qel::cli
