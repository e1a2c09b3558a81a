// qel-convert never loses a picture: runs racing for one name each keep theirs, an
// interrupted or killed batch leaves no hidden or empty file and its rerun fills the gaps,
// links that lead nowhere are refused, and files converted with a warning count apart.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "imaging/picture_container.h"
#include "output/save_picture_file.h"
#include "support/test_support.h"
#include "unit/output/writer_helpers.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using test::FolderEntries;
using test::ReadFileBytes;
using test::ShellQuote;
using test::TempDir;

std::string Tool() {
  return ShellQuote(test::ConvertTool().string());
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Starts qel-convert in the folder, its output going to out.txt and err.txt there.
pid_t Start(const TempDir& dir, const std::vector<std::string>& arguments) {
  const std::string tool = test::ConvertTool().string();
  std::vector<char*> argv{const_cast<char*>(tool.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::chdir(dir.Path().c_str()) != 0) ::_exit(127);
    ::dup2(::open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
    ::dup2(::open("err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
    ::execv(tool.c_str(), argv.data());
    ::_exit(127);
  }
  return child;
}

int WaitFor(pid_t child) {
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

// Waits until the folder holds a picture (a name not beginning with ".").
bool AnyPictureIn(const fs::path& folder) {
  for (int waited = 0; waited < 12000; ++waited) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
      if (!entry.path().filename().string().starts_with(".")) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// What a batch leaves in its folder must be whole PNG files: no hidden staging files and
// no empty or cut ones.
void ExpectOnlyWholePngs(const fs::path& folder, const std::string& context) {
  for (const std::string& name : FolderEntries(folder)) {
    EXPECT_FALSE(name.starts_with(".")) << context << ": " << name;
    const auto bytes = ReadFileBytes(folder / name);
    ASSERT_GT(bytes.size(), 12u) << context << ": " << name;
    EXPECT_EQ(std::string(bytes.end() - 8, bytes.end() - 4), "IEND") << context << ": " << name;
  }
}

TEST(CliSafeOutput, ConcurrentConversionsToOneNameEachKeepTheirPicture) {
  TempDir dir;
  const Picture picture = test::NoisePicture(160, 120);
  SavePictureFile((dir / "in.png").string(), picture, true);
  constexpr int kRuns = 20;
  std::string script = "cd " + ShellQuote(dir.Path().string());
  for (int i = 0; i < kRuns; ++i)
    script += " && { " + Tool() + " in.png out.png >printed" + std::to_string(i) + " 2>&1 & }";
  ASSERT_EQ(test::RunCommand(script + " && wait"), 0);
  std::set<std::string> printed, expected{"out.png"};
  for (int i = 0; i < kRuns; ++i) {
    const fs::path report = dir / ("printed" + std::to_string(i));
    printed.insert(ReadText(report));
    fs::remove(report);
    if (i > 0) expected.insert("out[" + std::to_string(i) + "].png");
  }
  std::set<std::string> expected_lines;
  for (const std::string& name : expected) expected_lines.insert(name + "\n");
  EXPECT_EQ(printed, expected_lines);
  expected.insert("in.png");
  const std::vector<std::string> entries = FolderEntries(dir.Path());
  EXPECT_EQ(std::set<std::string>(entries.begin(), entries.end()), expected);
  for (const std::string& name : expected) {
    const auto difference = test::Compare(LoadPictureFile((dir / name).string()), picture);
    EXPECT_TRUE(difference.same_size && difference.differing_pixels == 0) << name;
  }
}

// A batch long enough to be interrupted: 12 pictures, each enlarged.
struct LongBatch {
  TempDir dir;
  const std::vector<std::string> arguments{"-o", "out", "--to", "png", "-j", "2", "--resize", "300%", "in"};
  LongBatch() {
    fs::create_directories(dir / "in");
    SavePictureFile((dir / "in" / "pic00.png").string(), test::NoisePicture(400, 300), true);
    for (int i = 1; i < 12; ++i) {
      const std::string name = std::string("pic") + (i < 10 ? "0" : "") + std::to_string(i) + ".png";
      fs::copy_file(dir / "in" / "pic00.png", dir / "in" / name);
    }
  }
  // Runs the batch until its first picture is written, then sends the signal.
  int Interrupt(int signal_number) const {
    fs::remove_all(dir / "out");
    const pid_t child = Start(dir, arguments);
    const bool started = AnyPictureIn(dir / "out");
    ::kill(child, signal_number);
    const int status = WaitFor(child);
    EXPECT_TRUE(started) << ReadText(dir / "err.txt");
    return status;
  }
};

TEST(CliSafeOutput, InterruptedBatchLeavesOnlyWholeFilesAndItsRerunWritesOverEmptyOnes) {
  LongBatch batch;
  const struct { int signal_number, status; } interrupts[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}};
  for (const auto& interrupt : interrupts) {
    EXPECT_EQ(batch.Interrupt(interrupt.signal_number), interrupt.status) << interrupt.signal_number;
    ExpectOnlyWholePngs(batch.dir / "out", "signal " + std::to_string(interrupt.signal_number));
  }
  // Killed outright: nothing can clean up, yet no final name is empty or cut.
  EXPECT_EQ(batch.Interrupt(SIGKILL), 1000 + SIGKILL);
  ExpectOnlyWholePngs(batch.dir / "out", "killed");
  // An empty file, as a killed run may have left under a name it had taken, does not
  // count as done: the rerun writes over it instead of beside it.
  const std::vector<std::string> written = FolderEntries(batch.dir / "out");
  ASSERT_LT(written.size(), 11u);
  test::WriteFileBytes(batch.dir / "out" / "pic11.png", {});
  const pid_t rerun = Start(batch.dir, batch.arguments);
  EXPECT_EQ(WaitFor(rerun), 0) << ReadText(batch.dir / "err.txt");
  ExpectOnlyWholePngs(batch.dir / "out", "rerun");
  const std::vector<std::string> after = FolderEntries(batch.dir / "out");
  EXPECT_EQ(after.size(), 12 + written.size());
  EXPECT_TRUE(std::count(after.begin(), after.end(), "pic11.png"));
  EXPECT_FALSE(std::count(after.begin(), after.end(), "pic11[1].png"));
}

TEST(CliSafeOutput, LinksThatLeadNowhereAreRefused) {
  TempDir dir;
  SavePictureFile((dir / "in.bmp").string(), NewPicture(4, 4, 0x00FF00), true);
  fs::create_symlink("missing/nowhere.png", dir / "dangling.png");
  fs::create_symlink("loop.png", dir / "loop.png");
  const struct {
    const char *name, *reason;
  } links[] = {{"dangling.png", "The symbolic link points to \"missing/nowhere.png\", which does not exist"},
               {"loop.png", "Too many levels of symbolic links"}};
  for (const auto& link : links) {
    for (const char* overwrite : {"", " --overwrite"}) {
      std::string output;
      EXPECT_EQ(test::RunCommand("cd " + ShellQuote(dir.Path().string()) + " && " + Tool() + " in.bmp " +
                                     link.name + overwrite,
                                 &output),
                1)
          << link.name << overwrite;
      EXPECT_EQ(output, "Cannot create file \"" + (dir / link.name).string() + "\". " + link.reason + "\n");
      EXPECT_TRUE(fs::is_symlink(dir / link.name));
    }
  }
  EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"dangling.png", "in.bmp", "loop.png"}));
}

TEST(CliSafeOutput, FilesConvertedWithAWarningCountApart) {
  TempDir dir;
  fs::create_directories(dir / "in");
  SavePictureFile((dir / "in" / "whole.png").string(), test::NoisePicture(64, 64), true);
  // Cut in the middle of the image data: the rows before the cut are shown.
  auto png = ReadFileBytes(dir / "in" / "whole.png");
  png.resize(png.size() / 2);
  test::WriteFileBytes(dir / "in" / "cut.png", png);
  const std::string in_dir = "cd " + ShellQuote(dir.Path().string()) + " && ";
  std::string output;
  EXPECT_EQ(test::RunCommand(in_dir + Tool() + " -o out --to bmp in 2>&1 >/dev/null", &output), 0);
  EXPECT_NE(output.find("in/cut.png: Warning: "), std::string::npos) << output;
  EXPECT_TRUE(output.ends_with("\n1 converted, 1 converted with a warning, 0 failed, 0 skipped\n")) << output;
  // One file: the warning on standard error, the name written on standard output.
  EXPECT_EQ(test::RunCommand(in_dir + Tool() + " in/cut.png cut.bmp 2>/dev/null", &output), 0);
  EXPECT_EQ(output, "cut.bmp\n");
  EXPECT_EQ(test::RunCommand(in_dir + Tool() + " in/cut.png cut.bmp 2>&1 >/dev/null", &output), 0);
  EXPECT_TRUE(output.starts_with("Warning: ")) << output;
}

}  // namespace
}  // namespace qel
