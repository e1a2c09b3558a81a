// qel-convert's batch conversion, run as a program: which files a folder yields, the
// names the outputs get, the counts and the exit status, the same bytes whatever the
// number of workers, and the progress line that only a terminal sees.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/picture_container.h"
#include "output/save_picture_file.h"
#include "support/test_support.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::ShellQuote;
using test::TempDir;
using test::WriteFileBytes;

struct Result {
  int status = -1;
  std::string out, err;
  std::vector<std::string> OutLines() const {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs qel-convert with the arguments (already quoted where needed) in the folder.
Result Convert(const TempDir& dir, const std::string& arguments) {
  Result r;
  const std::string command = "cd " + ShellQuote(dir.Path().string()) + " && " +
                              ShellQuote(test::ConvertTool().string()) + " " + arguments + " >" +
                              ShellQuote((dir / "stdout.txt").string()) + " 2>" +
                              ShellQuote((dir / "stderr.txt").string());
  r.status = test::RunCommand(command);
  r.out = ReadText(dir / "stdout.txt");
  r.err = ReadText(dir / "stderr.txt");
  fs::remove(dir / "stdout.txt");
  fs::remove(dir / "stderr.txt");
  return r;
}

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

Picture Plain(int width, int height, TColor color) {
  return NewPicture(width, height, color);
}

Picture Load(const fs::path& path) {
  return LoadPictureFile(path.string());
}

// Colours within what a JPEG round trip of a plain picture changes.
bool Near(TColor a, TColor b) {
  for (int shift = 0; shift < 24; shift += 8) {
    if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 4) return false;
  }
  return true;
}

bool SamePixels(const Picture& a, const Picture& b) {
  const auto d = test::Compare(a, b);
  return d.same_size && d.differing_pixels == 0;
}

// A folder with pictures the readers take, files they refuse and entries a drop leaves
// out: in/ holds b.bmp, c.tga, d.png (readable), broken.png (a cut PNG), x.jp (taken
// by the filter, no reader), notes.txt, .hidden.png and sub/ (left out).
struct MixedFolder {
  TempDir dir;
  Picture b = test::PictureFromColors({{0x0000FF, 0x00FF00, 0xFF0000}, {0xFFFFFF, 0x000000, 0x808080}});
  Picture c = Plain(5, 4, 0x123456);
  Picture d = Plain(7, 3, 0xABCDEF);
  MixedFolder() {
    fs::create_directories(dir / "in" / "sub");
    SavePictureFile((dir / "in" / "b.bmp").string(), b, true);
    SavePictureFile((dir / "in" / "c.tga").string(), c, true);
    SavePictureFile((dir / "in" / "d.png").string(), d, true);
    auto png = ReadFileBytes(dir / "in" / "d.png");
    png.resize(40);
    WriteFileBytes(dir / "in" / "broken.png", png);
    WriteFileBytes(dir / "in" / "x.jp", {1, 2, 3});
    WriteFileBytes(dir / "in" / "notes.txt", {'h', 'i'});
    SavePictureFile((dir / "in" / ".hidden.png").string(), d, true);
    SavePictureFile((dir / "in" / "sub" / "e.png").string(), d, true);
  }
};

TEST(CliBatch, FolderGivesTheRightOutputsCountsAndStatusWithAnyNumberOfWorkers) {
  MixedFolder f;
  const Result one = Convert(f.dir, "-o out1 --to png -j 1 --rotate-right in");
  const Result four = Convert(f.dir, "-o out/four --to .PNG -j 4 --rotate-right in");
  for (const Result* r : {&one, &four}) {
    EXPECT_EQ(r->status, 1) << r->err;
    EXPECT_NE(r->err.find("in/broken.png: "), std::string::npos) << r->err;
    EXPECT_NE(r->err.find("in/x.jp: Unknown picture file extension (.jp)\n"), std::string::npos) << r->err;
    // Hidden names, the subfolder and notes.txt are skipped.
    EXPECT_TRUE(r->err.ends_with("3 converted, 0 converted with a warning, 2 failed, 3 skipped\n")) << r->err;
    EXPECT_EQ(r->OutLines().size(), 3u);
    EXPECT_EQ(r->err.find('\r'), std::string::npos) << "no progress line on a pipe";
  }
  EXPECT_EQ(Entries(f.dir / "out1"), (std::vector<std::string>{"b.png", "c.png", "d.png"}));
  // The output folder is made with its parents; the extension keeps the case typed.
  EXPECT_EQ(Entries(f.dir / "out" / "four"), (std::vector<std::string>{"b.PNG", "c.PNG", "d.PNG"}));
  for (const char* stem : {"b", "c", "d"}) {
    EXPECT_EQ(ReadFileBytes(f.dir / "out1" / (stem + std::string(".png"))),
              ReadFileBytes(f.dir / "out" / "four" / (stem + std::string(".PNG"))))
        << stem;
  }
  // The operations were applied: the pictures are turned a quarter.
  const Picture b = Load(f.dir / "out1" / "b.png");
  EXPECT_EQ(b.Width(), f.b.Height());
  EXPECT_EQ(b.Height(), f.b.Width());
  EXPECT_EQ(b.Pixel(0, 0), f.b.Pixel(0, 1));
  // Nothing was left behind but the outputs: no claimed or temporary files.
  EXPECT_EQ(Entries(f.dir / "in"), (std::vector<std::string>{".hidden.png", "b.bmp", "broken.png", "c.tga",
                                                             "d.png", "notes.txt", "sub", "x.jp"}));
}

TEST(CliBatch, FilesNamedAreTakenAsTheyAreAndAllSucceedingGivesStatusZero) {
  MixedFolder f;
  Result r = Convert(f.dir, "-o out --to bmp -j 1 in/d.png in/.hidden.png");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.OutLines(), (std::vector<std::string>{"out/d.bmp", "out/.hidden.bmp"}));
  EXPECT_EQ(r.err, "2 converted, 0 converted with a warning, 0 failed, 0 skipped\n");
  EXPECT_TRUE(SamePixels(Load(f.dir / "out" / "d.bmp"), f.d));

  // A named file whose extension no reader claims fails with the loader's message; a
  // missing one with the file's open error.
  r = Convert(f.dir, "-o out --to bmp in/notes.txt in/missing.png");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("in/notes.txt: Unknown picture file extension (.txt)\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("in/missing.png: "), std::string::npos) << r.err;
  EXPECT_TRUE(r.err.ends_with("0 converted, 0 converted with a warning, 2 failed, 0 skipped\n")) << r.err;
  EXPECT_EQ(Entries(f.dir / "out"), (std::vector<std::string>{".hidden.bmp", "d.bmp"}));

  // After "--" a name that begins with "-" is a file, not an option.
  fs::copy_file(f.dir / "in" / "d.png", f.dir / "-d.png");
  r = Convert(f.dir, "-o out --to bmp -- -d.png");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "out/-d.bmp\n");
}

TEST(CliBatch, AFoldersFilesGoInNameOrder) {
  TempDir dir;
  fs::create_directories(dir / "shots");
  for (const char* name : {"img10.bmp", "img2.bmp", "Img1.bmp", "IMG3.bmp"})
    SavePictureFile((dir / "shots" / name).string(), Plain(2, 2, 0x808080), true);
  // Numbers by value, letters without regard to case; .jpeg is one of the JPEG names.
  const Result r = Convert(dir, "-o out --to jpeg -j 1 shots");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.OutLines(),
            (std::vector<std::string>{"out/Img1.jpeg", "out/img2.jpeg", "out/IMG3.jpeg", "out/img10.jpeg"}));
  EXPECT_EQ(ReadFileBytes(dir / "out" / "img2.jpeg")[0], 0xFF);
}

TEST(CliBatch, InputsOfOneNameGetTheSeriesInInputOrder) {
  TempDir dir;
  const Picture red = Plain(4, 4, 0x0000FF), blue = Plain(4, 4, 0xFF0000), green = Plain(4, 4, 0x00FF00);
  fs::create_directories(dir / "x");
  SavePictureFile((dir / "a.png").string(), red, true);
  SavePictureFile((dir / "a.bmp").string(), blue, true);
  SavePictureFile((dir / "x" / "a.tga").string(), green, true);
  auto colour_of = [&](const std::string& name) { return Load(dir / "out" / name).Pixel(1, 1); };

  for (int round = 0; round < 2; ++round) {
    // However the work is shared out, the first input of a name gets it.
    Result r = Convert(dir, "-o out --to jpg -j 4 a.png a.bmp x");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Entries(dir / "out"), (std::vector<std::string>{"a.jpg", "a[1].jpg", "a[2].jpg"}));
    EXPECT_TRUE(Near(colour_of("a.jpg"), 0x0000FF));
    EXPECT_TRUE(Near(colour_of("a[1].jpg"), 0xFF0000));
    EXPECT_TRUE(Near(colour_of("a[2].jpg"), 0x00FF00));
    fs::remove_all(dir / "out");
  }

  // Without --overwrite names already taken in the folder are passed over and kept.
  fs::create_directories(dir / "out");
  WriteFileBytes(dir / "out" / "a.jpg", {'o', 'l', 'd'});
  Result r = Convert(dir, "-o out --to jpg -j 2 a.bmp a.png");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFileBytes(dir / "out" / "a.jpg"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  EXPECT_TRUE(Near(colour_of("a[1].jpg"), 0xFF0000));
  EXPECT_TRUE(Near(colour_of("a[2].jpg"), 0x0000FF));

  // With --overwrite they are replaced, but the two inputs still get a name each.
  r = Convert(dir, "-o out --to jpg -j 2 --overwrite a.bmp a.png");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Entries(dir / "out"), (std::vector<std::string>{"a.jpg", "a[1].jpg", "a[2].jpg"}));
  EXPECT_TRUE(Near(colour_of("a.jpg"), 0xFF0000));
  EXPECT_TRUE(Near(colour_of("a[1].jpg"), 0x0000FF));
}

TEST(CliBatch, OverwritingNeverReplacesAnInputBeforeItIsRead) {
  TempDir dir;
  const Picture red = Plain(4, 4, 0x0000FF), blue = Plain(4, 4, 0xFF0000);
  SavePictureFile((dir / "a.bmp").string(), blue, true);
  SavePictureFile((dir / "a.png").string(), red, true);
  // a.bmp comes first, but a.png (read later) is not its output: the folder's own
  // a.png is only replaced by its own conversion.
  const Result r = Convert(dir, "-o . --to png --overwrite -j 1 --gray a.bmp a.png");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.OutLines(), (std::vector<std::string>{"./a[1].png", "./a.png"}));
  const TColor from_red = Load(dir / "a.png").Pixel(0, 0);
  const TColor from_blue = Load(dir / "a[1].png").Pixel(0, 0);
  EXPECT_EQ(from_red & 0xFF, (from_red >> 8) & 0xFF) << "gray";
  EXPECT_NE(from_red, from_blue);
}

TEST(CliBatch, BadArgumentsStopBeforeAnyWork) {
  MixedFolder f;
  for (const char* arguments :
       {"-o out --to tiff in", "-o out --to heic in", "-o out --to '' in", "-o out --to jpg -j 0 in",
        "-o out --to jpg -j x in", "-o out in", "--to jpg in", "-o out --to jpg",
        "-o out --to jpg --info in/d.png", "-o out --to jpg --resize nonsense in"}) {
    const Result r = Convert(f.dir, arguments);
    EXPECT_EQ(r.status, 1) << arguments;
    EXPECT_NE(r.err.find("Try 'qel-convert --help'"), std::string::npos) << arguments << "\n" << r.err;
    EXPECT_TRUE(r.out.empty()) << arguments;
    EXPECT_FALSE(fs::exists(f.dir / "out")) << arguments;
  }
  // An output folder that cannot be made.
  WriteFileBytes(f.dir / "file", {1});
  const Result r = Convert(f.dir, "-o file/out --to jpg in");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Cannot create folder"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());
}

// The text a terminal receives when qel-convert runs on a pseudo-terminal of the width.
std::string OnTerminal(const TempDir& dir, const std::string& arguments, int columns) {
  const std::string inner = "stty cols " + std::to_string(columns) + "; " +
                            ShellQuote(test::ConvertTool().string()) + " " + arguments + " >/dev/null";
  std::string output;
  test::RunCommand(
      "cd " + ShellQuote(dir.Path().string()) + " && script -qec " + ShellQuote(inner) + " /dev/null",
      &output);
  return output;
}

TEST(CliBatch, ProgressLineOnATerminalOnlyCutToItsWidth) {
  MixedFolder f;
  const std::string wide = OnTerminal(f.dir, "-o out1 -j 1 --to png in", 100);
  EXPECT_NE(wide.find("\r0/5 [                    ] b.bmp"), std::string::npos) << wide;
  EXPECT_NE(wide.find("\r5/5 [====================]"), std::string::npos) << wide;
  // Every failure and the summary start on a wiped line.
  EXPECT_NE(wide.find("\rin/x.jp: Unknown"), std::string::npos) << wide;
  EXPECT_NE(wide.find("\r3 converted, 0 converted with a warning, 2 failed, 3 skipped"), std::string::npos)
      << wide;

  const std::string narrow = OnTerminal(f.dir, "-o out2 -j 2 --to png in", 12);
  std::size_t longest = 0;
  for (std::size_t start = 0; start < narrow.size();) {
    std::size_t end = narrow.find_first_of("\r\n", start);
    if (end == std::string::npos) end = narrow.size();
    const std::string piece = narrow.substr(start, end - start);
    // Messages may wrap; the progress line may not.
    if (std::regex_search(piece, std::regex("^[0-9]+/5"))) {
      longest = std::max(longest, piece.size());
      EXPECT_EQ(piece.find('['), std::string::npos) << "no room for the bar itself: " << piece;
    }
    start = end + 1;
  }
  EXPECT_GT(longest, 0u) << narrow;
  EXPECT_LE(longest, 11u) << narrow;
}

TEST(CliBatch, VersionAndHelp) {
  TempDir dir;
  Result r = Convert(dir, "--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(std::regex_match(r.out, std::regex("qel-convert [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << r.out;
  r = Convert(dir, "--help");
  EXPECT_EQ(r.status, 0);
  std::size_t at = 0;
  for (const char* heading : {"Reading:", "Operations", "Writing:", "Batch conversion"}) {
    const std::size_t found = r.out.find(std::string("\n") + heading, at);
    EXPECT_NE(found, std::string::npos) << heading;
    at = found == std::string::npos ? at : found;
  }
}

}  // namespace
}  // namespace qel
