// qel-convert --overwrite over files whose mode lets nobody write them: refused by the
// mode, so that the superuser (whom the kernel would let write) gets the same answer,
// in a single conversion and in a batch; a writable file beside them is replaced.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "imaging/picture.h"
#include "output/save_picture_file.h"
#include "support/test_support.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::ShellQuote;
using test::TempDir;

const std::vector<std::uint8_t> kOldBytes = {'o', 'l', 'd'};

unsigned ModeOf(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

TEST(ConvertOverwrite, RefusesFilesWhoseModeHasNoWriteBitEvenForTheSuperuser) {
  TempDir dir;
  SavePictureFile((dir / "in.bmp").string(), NewPicture(4, 3, 0x336699), true);
  struct Case {
    unsigned mode;
    bool replaced;
  };
  for (const Case c : {Case{0444, false}, Case{0400, false}, Case{0555, false}, Case{0644, true}}) {
    for (const bool batch : {false, true}) {
      std::string what = "mode 0" + std::to_string(c.mode / 64) + std::to_string(c.mode / 8 % 8) +
                         std::to_string(c.mode % 8);
      if (batch) what += " in a batch";
      const fs::path target = dir / "in.png";  // the name a batch gives it too
      fs::remove(target);
      test::WriteFileBytes(target, kOldBytes);
      ASSERT_EQ(::chmod(target.c_str(), c.mode), 0);
      const std::string input = ShellQuote((dir / "in.bmp").string());
      const std::string arguments = batch ? "-o " + ShellQuote(dir.Path().string()) + " --to png " + input
                                          : input + " " + ShellQuote(target.string());
      std::string output;
      const int status =
          test::RunCommand(ShellQuote(test::ConvertTool().string()) + " --overwrite " + arguments, &output);
      EXPECT_EQ(status, c.replaced ? 0 : 1) << what << ": " << output;
      EXPECT_EQ(ReadFileBytes(target) != kOldBytes, c.replaced) << what;
      EXPECT_EQ(ModeOf(target), c.mode) << what;
      const std::string refusal = "Cannot create file \"" + target.string() + "\". Permission denied";
      EXPECT_EQ(output.find(refusal) != std::string::npos, !c.replaced) << what << ": " << output;
    }
  }
  // Nothing else was left behind: no staging file, no free name taken instead.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.Path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"in.bmp", "in.png"}));
}

}  // namespace
}  // namespace qel
