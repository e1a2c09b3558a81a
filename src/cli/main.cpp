// qel-convert: the command-line face of the imaging library.
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/interrupt_cleanup.h"
#include "cli/arguments.h"
#include "cli/batch.h"
#include "cli/batch_plan.h"
#include "cli/help.h"
#include "cli/reading.h"
#include "imaging/picture_container.h"
#include "import/framework/format_registry.h"
#include "output/save_picture_file.h"

namespace {

using namespace qel;

// Prints the readers' warnings on stderr; progress is not shown.
class ConsoleObserver : public ProgressObserver {
 public:
  void OnProgress(ProgressStage, int, const TRect&, std::string_view) override {}
  void OnWarning(std::string_view text) override { std::cerr << "Warning: " << text << "\n"; }
};

void PrintFormats() {
  // The table's rows, then the rows added after it, numbered on.
  std::vector<const TPictureFormatList::Entry*> entries;
  for (const TPictureFormatList* list : {&PictureFormats(), &AddedPictureFormats()}) {
    for (const auto& entry : list->Entries()) entries.push_back(&entry);
  }
  std::cout << "Registrations, in order:\n";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::cout << "  " << (i + 1) << "\t" << entries[i]->extension << "\t" << entries[i]->description << "\t"
              << entries[i]->graphic_class->Name() << "\n";
  }
  std::cout << "Winners:\n";
  std::vector<std::string> seen;
  for (const auto* e : entries) {
    bool known = false;
    for (const auto& s : seen) known = known || s == e->extension;
    if (known) continue;
    seen.push_back(e->extension);
    std::cout << "  " << e->extension << "\t" << FindPictureClass(e->extension)->Name() << "\n";
  }
  std::cout << "Filter text:\n" << ReadableFilterText() << "\n";
}

int Info(const cli::Arguments& a) {
  if (a.paths.size() != 1) throw std::invalid_argument("--info takes one INPUT");
  ConsoleObserver observer;
  const GraphicClass* used = nullptr;
  Picture picture = cli::LoadInput(a.paths[0], a.import_reader, &observer, &used);
  std::cout << picture.Width() << " x " << picture.Height() << " " << used->Name();
  if (picture.Transparent()) std::cout << " transparent";
  std::cout << "\n";
  return 0;
}

int ConvertOne(const cli::Arguments& a) {
  if (a.paths.size() != 2) throw std::invalid_argument("expected INPUT and OUTPUT");
  ConsoleObserver observer;
  Picture picture = cli::LoadInput(a.paths[0], a.import_reader, &observer);
  cli::OperationSettings settings;
  for (const auto& step : a.steps) step(picture, settings);
  std::cout << SavePictureFile(a.paths[1], picture, a.overwrite, a.write_options) << "\n";
  return 0;
}

int ConvertMany(cli::Arguments& a) {
  if (!a.output_folder || !a.extension) throw std::invalid_argument("a batch needs both -o DIR and --to EXT");
  if (a.info || a.formats) throw std::invalid_argument("--info and --formats do not take -o, --to or -j");
  if (a.paths.empty()) throw std::invalid_argument("a batch needs at least one PATH");
  cli::BatchJob job;
  job.output_folder = *a.output_folder;
  job.extension = cli::BatchExtension(*a.extension);
  job.overwrite = a.overwrite;
  job.import_reader = a.import_reader;
  job.write_options = a.write_options;
  job.jobs = a.jobs.value_or(0);
  job.steps = std::move(a.steps);
  job.paths = std::move(a.paths);
  RegisterStartupFormats();
  const cli::BatchCounts counts = cli::RunBatch(job);
  return counts.failed > 0 ? 1 : 0;
}

int Run(const std::vector<std::string>& args) {
  cli::Arguments a = cli::ParseArguments(args);
  if (a.help) {
    std::cout << cli::HelpText();
    return 0;
  }
  if (a.version) {
    std::cout << "qel-convert " << QEL_VERSION << "\n";
    return 0;
  }
  if (a.Batch()) return ConvertMany(a);
  RegisterStartupFormats();
  if (a.formats) {
    if (!a.paths.empty()) throw std::invalid_argument("--formats takes no files");
    PrintFormats();
    return 0;
  }
  if (a.info) return Info(a);
  return ConvertOne(a);
}

}  // namespace

int main(int argc, char** argv) {
  // An interrupted conversion leaves no half-made file behind.
  qel::CleanUpOnInterrupt();
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return Run(args);
  } catch (const std::invalid_argument& e) {
    std::cerr << "qel-convert: " << e.what() << "\nTry 'qel-convert --help'.\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
}
