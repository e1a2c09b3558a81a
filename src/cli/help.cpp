#include "cli/help.h"

#include "cli/operations.h"
#include "output/writer_table.h"

namespace qel::cli {

namespace {

const char* const kUsage =
    "Usage:\n"
    "  qel-convert INPUT OUTPUT [operations] [--overwrite] [--quality N] [--lossless]\n"
    "              [--reader import]\n"
    "  qel-convert -o DIR --to EXT [-j N] [operations] [--overwrite] [--quality N]\n"
    "              [--lossless] [--reader import] PATH...\n"
    "  qel-convert --info INPUT [--reader import]\n"
    "  qel-convert --formats\n"
    "  qel-convert --help | --version\n";

const char* const kReading =
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
    "  --                  the arguments after it are file names, even those that\n"
    "                      begin with \"-\"\n";

const char* const kOperationsHeading =
    "\n"
    "Operations (applied left to right after reading, before writing):\n";

// Before and after the list of the extensions written.
const char* const kWritingHead =
    "\n"
    "Writing:\n"
    "  OUTPUT              the file to write; its extension chooses the format:\n"
    "                      ";
const char* const kWritingTail =
    "\n"
    "                      (any other extension is refused and nothing is written).\n"
    "                      Without --overwrite an existing file is kept and a free name\n"
    "                      OUTPUT[1], OUTPUT[2], ... is used instead, also when another\n"
    "                      program takes the name while the picture is written. A file\n"
    "                      replaced keeps its owner, mode and hard links. A symbolic\n"
    "                      link that leads to no file is refused.\n"
    "  --overwrite         replace OUTPUT when it exists\n"
    "  --quality N         the quality of JPEG and lossy WebP files, 1 to 100\n"
    "                      (default 90)\n"
    "  --lossless          write WebP files losslessly\n"
    "  The path actually written is printed on standard output; a reader's warning\n"
    "  (a damaged file still converted) on standard error, with exit status 0.\n"
    "  Interrupted (SIGINT, SIGTERM, SIGHUP), qel-convert leaves no partly written\n"
    "  file and exits with 128 + the signal's number (130, 143, 129).\n";

const char* const kBatch =
    "\n"
    "Batch conversion (-o and --to together):\n"
    "  -o DIR, --output-dir DIR\n"
    "                      the folder the pictures are written to; it is created, with\n"
    "                      its parents, when it does not exist\n"
    "  --to EXT            the format to write: one of the extensions above (with or\n"
    "                      without the dot, any letter case); each input is written as\n"
    "                      DIR/NAME.EXT, NAME being its file name without extension\n"
    "  -j N, --jobs N      convert N files at a time (default: one per processor core)\n"
    "  PATH...             files and folders. A folder is expanded one level, the way a\n"
    "                      folder dropped on the viewer is: names beginning with \".\" and\n"
    "                      subfolders are left out, and a file is taken when its extension\n"
    "                      occurs in the format table's filter text (see --formats). A\n"
    "                      file named on the command line is always taken; when no reader\n"
    "                      claims its extension it fails with the reader's message.\n"
    "  Files are read in the order given, a folder's files in name order (letter case\n"
    "  aside, numbers by value: img2 before img10). Names are chosen in that order\n"
    "  before any file is converted: the first input of a name gets DIR/NAME.EXT,\n"
    "  later ones of the same name NAME[1].EXT, NAME[2].EXT, ...\n"
    "  Without --overwrite a name already taken in DIR is skipped the same way; with\n"
    "  --overwrite existing files are replaced, but no two inputs ever share an output\n"
    "  and no input is replaced before it has been read.\n"
    "  Each file written is printed on standard output; a file that fails is reported\n"
    "  on standard error as \"PATH: message\" and the batch goes on. At the end a line\n"
    "  \"N converted, N converted with a warning, N failed, N skipped\" follows on\n"
    "  standard error: a file converted despite a reader's warning (printed as\n"
    "  \"PATH: Warning: text\") counts apart, skipped counts the entries of the folders\n"
    "  given that were left out. The exit status is 1 when any file failed. On a\n"
    "  terminal a progress line on standard error shows the files done and the file\n"
    "  last started. An empty file under an output's name (left by a batch that was\n"
    "  killed) is written over, without --overwrite too.\n";

}  // namespace

std::string HelpText() {
  std::string text = kUsage;
  text += kReading;
  const std::string operations = OperationsHelp();
  if (!operations.empty()) text.append(kOperationsHeading).append(operations);
  text.append(kWritingHead).append(WritableExtensionList()).append(kWritingTail);
  text += kBatch;
  return text;
}

}  // namespace qel::cli
