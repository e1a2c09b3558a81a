#include "cli/batch.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <mutex>
#include <new>
#include <set>
#include <system_error>

#include "base/parallel.h"
#include "base/paths.h"
#include "cli/batch_plan.h"
#include "cli/progress_bar.h"
#include "cli/reading.h"
#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "output/save_picture_file.h"

namespace qel::cli {

namespace {

// Everything a batch prints goes through here, one message at a time, so that the
// workers' lines never mix and the progress line is wiped before other text.
class BatchReporter {
 public:
  explicit BatchReporter(int total)
      : total_(total), bar_(STDERR_FILENO), stdout_on_terminal_(::isatty(STDOUT_FILENO) == 1) {}

  void Started(const std::string& path) {
    std::lock_guard lock(mutex_);
    current_ = path;
    bar_.Show(done_, total_, ExtractFileName(current_));
  }
  void Written(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (stdout_on_terminal_) bar_.Clear();
    std::fprintf(stdout, "%s\n", path.c_str());
    std::fflush(stdout);
    Done();
  }
  void Failed(const std::string& path, const std::string& message) {
    std::lock_guard lock(mutex_);
    bar_.Clear();
    std::fprintf(stderr, "%s: %s\n", path.c_str(), message.c_str());
    Done();
  }
  void Warning(const std::string& path, std::string_view text) {
    std::lock_guard lock(mutex_);
    bar_.Clear();
    std::fprintf(stderr, "%s: Warning: %.*s\n", path.c_str(), int(text.size()), text.data());
    bar_.Show(done_, total_, ExtractFileName(current_));
  }
  void Summary(const BatchCounts& counts) {
    std::lock_guard lock(mutex_);
    bar_.Clear();
    std::fprintf(stderr, "%d converted, %d converted with a warning, %d failed, %d skipped\n",
                 counts.converted, counts.warned, counts.failed, counts.skipped);
  }

 private:
  void Done() {
    ++done_;
    std::fflush(stdout);
    bar_.Show(done_, total_, ExtractFileName(current_));
  }

  std::mutex mutex_;
  const int total_;
  int done_ = 0;
  std::string current_;
  TerminalProgressBar bar_;
  const bool stdout_on_terminal_;
};

// Passes a reader's warnings on with the file's path; progress within a file is not shown.
class FileObserver : public ProgressObserver {
 public:
  FileObserver(BatchReporter& reporter, const std::string& path) : reporter_(reporter), path_(path) {}
  void OnProgress(ProgressStage, int, const TRect&, std::string_view) override {}
  void OnWarning(std::string_view text) override {
    warned_ = true;
    reporter_.Warning(path_, text);
  }
  bool Warned() const { return warned_; }

 private:
  std::atomic<bool> warned_{false};
  BatchReporter& reporter_;
  const std::string& path_;
};

// The names each output may take when overwriting is off: its planned name first, then,
// should something outside the batch have taken that since, the next members of its
// series that no input is planned for. A name is taken only when the file is complete,
// in a step that never replaces anything (WriteNewFile), so that nothing (another
// worker, another program) loses a file; an empty file left under a name by a batch that
// was killed is not a picture and is written over.
class OutputNames {
 public:
  OutputNames(const std::vector<OutputName>& names, const std::vector<std::string>& inputs) : names_(names) {
    for (const OutputName& name : names) reserved_.insert(PathKey(name.Path()));
    for (const std::string& input : inputs) reserved_.insert(PathKey(input));
  }

  NewFileNames For(std::size_t index) const {
    return {.at = [this, index](unsigned attempt) { return Candidate(index, attempt); },
            .over_empty_leftovers = true};
  }

 private:
  std::string Candidate(std::size_t index, unsigned attempt) const {
    const OutputName& name = names_[index];
    unsigned n = name.number;
    while (attempt > 0) {
      ++n;
      if (!reserved_.count(PathKey(name.PathWith(n)))) --attempt;
    }
    return name.PathWith(n);
  }

  const std::vector<OutputName>& names_;
  std::set<std::string> reserved_;  // read only once the workers run
};

void MakeFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!error && !std::filesystem::is_directory(folder, error))
    error = std::make_error_code(std::errc::not_a_directory);
  if (error) {
    throw Error(FormatMessage("Cannot create folder \"%s\". %s", {FullPath(folder), error.message()}));
  }
}

class BatchRun {
 public:
  BatchRun(const BatchJob& job, const BatchInputs& inputs, const std::vector<OutputName>& names)
      : job_(job),
        inputs_(inputs),
        names_(names),
        reporter_(int(inputs.files.size())),
        output_names_(names, inputs.files) {}

  BatchCounts Run() {
    // One file a task on the worker pool, this thread among the workers.
    ParallelFor(ThreadCount(job_.jobs), int(inputs_.files.size()), [this](int, int index) {
      try {
        Convert(std::size_t(index));
      } catch (...) {
        // Only printing can fail here (no memory left for a message); the file is
        // counted already.
      }
    });
    BatchCounts counts{converted_.load(), warned_.load(), failed_.load(), inputs_.skipped};
    reporter_.Summary(counts);
    return counts;
  }

 private:
  void Convert(std::size_t index) {
    const std::string& path = inputs_.files[index];
    std::string written, message;
    bool converted = false, warned = false;
    try {
      reporter_.Started(path);
      FileObserver observer(reporter_, path);
      Picture picture = LoadInput(path, job_.import_reader, &observer);
      warned = observer.Warned();
      OperationSettings settings;
      for (const Operation& step : job_.steps) step(picture, settings);
      written = Write(index, picture);
      converted = true;
    } catch (const std::bad_alloc&) {
      message = "Out of memory.";
    } catch (const std::exception& error) {
      message = error.what();
    } catch (...) {
      message = "An unknown error occurred.";
    }
    if (converted) {
      ++(warned ? warned_ : converted_);
      reporter_.Written(written);
    } else {
      ++failed_;
      reporter_.Failed(path, message);
    }
  }

  std::string Write(std::size_t index, const Picture& picture) {
    if (job_.overwrite) return SavePictureFile(names_[index].Path(), picture, true, job_.write_options);
    return SaveNewPictureFile(output_names_.For(index), picture, job_.write_options);
  }

  const BatchJob& job_;
  const BatchInputs& inputs_;
  const std::vector<OutputName>& names_;
  BatchReporter reporter_;
  OutputNames output_names_;
  std::atomic<int> converted_{0};
  std::atomic<int> warned_{0};
  std::atomic<int> failed_{0};
};

}  // namespace

BatchCounts RunBatch(const BatchJob& job) {
  // The inputs are gathered first: an output folder made inside a folder given is not
  // one of its entries.
  const BatchInputs inputs = CollectBatchInputs(job.paths, ReadableFilterText());
  MakeFolder(job.output_folder);
  const std::vector<OutputName> names =
      PlanOutputNames(inputs.files, job.output_folder, job.extension, job.overwrite);
  BatchRun run(job, inputs, names);
  return run.Run();
}

}  // namespace qel::cli
