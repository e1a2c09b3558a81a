// qel-convert: the command-line face of the imaging library.
#include <cstdio>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/operations.h"
#include "imaging/errors.h"
#include "imaging/graphic.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "import/file_format_list.h"
#include "import/format_registry.h"
#include "import/gif_reader.h"
#include "import/png_reader.h"
#include "output/save_picture_file.h"

namespace {

using namespace qel;

const char* const kUsage =
    "Usage:\n"
    "  qel-convert INPUT OUTPUT [operations] [--overwrite] [--reader import]\n"
    "  qel-convert --info INPUT [--reader import]\n"
    "  qel-convert --formats\n"
    "  qel-convert --help | --version\n"
    "\n"
    "Reading:\n"
    "  INPUT               a picture file; its extension chooses the reader (see --formats)\n"
    "  --reader import     read .gif and .png with the tool's own readers instead of\n"
    "                      giflib and libpng\n"
    "  --info INPUT        print WIDTH x HEIGHT, the class that decoded the file and\n"
    "                      \"transparent\" when the picture is marked so\n"
    "  --formats           print the format table: every registration in order\n"
    "                      (extension, description, class), the class that wins for\n"
    "                      each extension, and the filter text\n"
    "\n"
    "Writing:\n"
    "  OUTPUT              the file to write; its extension chooses the format:\n"
    "                      .bmp .jpg .png .gif .emf .jp2 .tga (anything else writes\n"
    "                      nothing). Without --overwrite an existing file is kept and a\n"
    "                      free name OUTPUT[1], OUTPUT[2], ... is used instead.\n"
    "  --overwrite         replace OUTPUT when it exists\n"
    "  The path actually written is printed on standard output.\n";

// Prints the readers' warnings on stderr; progress is not shown.
class ConsoleObserver : public ProgressObserver {
 public:
  void OnProgress(ProgressStage, int, const TRect&, std::string_view) override {}
  void OnWarning(std::string_view text) override { std::cerr << "Warning: " << text << "\n"; }
};

struct Arguments {
  bool help = false, version = false, formats = false, info = false, overwrite = false, import_reader = false;
  std::vector<std::string> paths;
  std::vector<cli::Operation> steps;
};

Arguments Parse(const std::vector<std::string>& args) {
  Arguments a;
  for (std::size_t i = 0; i < args.size();) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      a.help = true;
    } else if (arg == "--version") {
      a.version = true;
    } else if (arg == "--formats") {
      a.formats = true;
    } else if (arg == "--info") {
      a.info = true;
    } else if (arg == "--overwrite") {
      a.overwrite = true;
    } else if (arg == "--reader") {
      if (i + 1 >= args.size() || args[i + 1] != "import") {
        throw std::invalid_argument("--reader takes the value \"import\"");
      }
      a.import_reader = true;
      ++i;
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      if (cli::ParseOperation(args, i, a.steps)) continue;
      throw std::invalid_argument("unknown option " + arg);
    } else {
      a.paths.push_back(arg);
    }
    ++i;
  }
  return a;
}

// The class that reads the file: the container's winner for its extension, or the
// import library's own reader for gif and png when asked for.
const GraphicClass& ReaderFor(const std::string& path, bool import_reader) {
  std::string ext = LowerCase(ExtractFileExt(path));
  if (import_reader && ext == ".gif") return TGIFGraphic::StaticClass();
  if (import_reader && ext == ".png") return TPNGGraphic::StaticClass();
  if (!ext.empty()) ext.erase(0, 1);
  const GraphicClass* graphic_class = ext.empty() ? nullptr : PictureFormats().FindExtension(ext);
  if (!graphic_class) throw EInvalidGraphic(FormatMessage("Unknown picture file extension (.%s)", {ext}));
  return *graphic_class;
}

Picture Load(const std::string& path, bool import_reader, const GraphicClass** used) {
  ConsoleObserver observer;
  const GraphicClass& graphic_class = ReaderFor(path, import_reader);
  if (used) *used = &graphic_class;
  return LoadPictureFileAs(path, graphic_class, &observer);
}

void PrintFormats() {
  const auto& entries = PictureFormats().Entries();
  std::cout << "Registrations, in order:\n";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::cout << "  " << (i + 1) << "\t" << entries[i].extension << "\t" << entries[i].description << "\t"
              << entries[i].graphic_class->Name() << "\n";
  }
  std::cout << "Winners:\n";
  std::vector<std::string> seen;
  for (const auto& e : entries) {
    bool known = false;
    for (const auto& s : seen) known = known || s == e.extension;
    if (known) continue;
    seen.push_back(e.extension);
    std::cout << "  " << e.extension << "\t" << PictureFormats().FindExtension(e.extension)->Name() << "\n";
  }
  std::cout << "Filter text:\n" << PictureFilterText() << "\n";
}

int Run(const std::vector<std::string>& args) {
  Arguments a = Parse(args);
  if (a.help) {
    std::cout << kUsage;
    const std::string ops = cli::OperationsHelp();
    if (!ops.empty()) std::cout << "\nOperations (applied left to right before writing):\n" << ops;
    return 0;
  }
  if (a.version) {
    std::cout << "qel-convert " << QEL_VERSION << "\n";
    return 0;
  }
  RegisterStartupFormats();
  if (a.formats) {
    if (!a.paths.empty()) throw std::invalid_argument("--formats takes no files");
    PrintFormats();
    return 0;
  }
  if (a.info) {
    if (a.paths.size() != 1) throw std::invalid_argument("--info takes one INPUT");
    const GraphicClass* used = nullptr;
    Picture picture = Load(a.paths[0], a.import_reader, &used);
    std::cout << picture.Width() << " x " << picture.Height() << " " << used->Name();
    if (picture.Transparent()) std::cout << " transparent";
    std::cout << "\n";
    return 0;
  }
  if (a.paths.size() != 2) throw std::invalid_argument("expected INPUT and OUTPUT");
  Picture picture = Load(a.paths[0], a.import_reader, nullptr);
  cli::OperationSettings settings;
  for (const auto& step : a.steps) step(picture, settings);
  std::cout << SavePictureFile(a.paths[1], picture, a.overwrite) << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
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
