// The base below the imaging library: paths, the staging file's two ways of taking a
// name, claimed names, the worker pool, and that the base includes nothing above it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <regex>
#include <stdexcept>
#include <string>

#include "base/claimed_file.h"
#include "base/errors.h"
#include "base/file_replacement.h"
#include "base/interrupt_cleanup.h"
#include "base/parallel.h"
#include "base/paths.h"
#include "base/staging_file.h"
#include "support/test_support.h"
#include "unit/output/writer_helpers.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using test::FolderEntries;
using test::ReadFileBytes;
using test::TempDir;

TEST(Base, PathsAreTakenApartWithoutTheFileSystem) {
  const struct {
    const char *path, *folder, *name;
  } cases[] = {{"a.png", ".", "a.png"}, {"/a.png", "/", "a.png"}, {"d/e/a", "d/e", "a"}, {"d/", "d", ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
    EXPECT_EQ(NameOf(c.path), c.name) << c.path;
  }
  EXPECT_EQ(FullPath("x/../y/./z.png"), (fs::current_path() / "y" / "z.png").string());
  EXPECT_EQ(FullPath("/a//b/../c"), "/a/c");
}

void WriteText(const StagingFile& staged, const std::string& text) {
  std::ofstream(staged.Path(), std::ios::binary) << text;
}

TEST(Base, StagingFileTakesAFreeNameOrReplacesAndLeavesNothingBehind) {
  TempDir dir;
  const std::string taken = (dir / "taken").string(), free = (dir / "free").string();
  test::WriteFileBytes(taken, {'o', 'l', 'd'});
  {
    // The staging file has no name in the folder while it is written.
    StagingFile uncommitted(dir.Path().string(), taken, taken);
    WriteText(uncommitted, "new");
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"taken"});
  }
  {
    StagingFile staged(dir.Path().string(), taken, taken);
    WriteText(staged, "new");
    EXPECT_FALSE(staged.CommitIfFree(taken));
  }
  EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"taken"});
  StagingFile fresh(dir.Path().string(), free, free);
  WriteText(fresh, "new");
  fresh.TakeCreationMode();
  EXPECT_TRUE(fresh.CommitIfFree(free));
  StagingFile replacing(dir.Path().string(), taken, taken);
  WriteText(replacing, "newer");
  replacing.CommitOver(taken);
  EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"free", "taken"}));
  EXPECT_EQ(ReadFileBytes(free).size(), 3u);
  EXPECT_EQ(ReadFileBytes(taken).size(), 5u);
  try {
    StagingFile nowhere((dir / "none").string(), free, "none/x.png");
    ADD_FAILURE() << "made a staging file in a missing folder";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + (fs::current_path() / "none/x.png").string() +
                                         "\". No such file or directory");
  }
}

TEST(Base, StagingFileTriesNamesUntilOneIsFreeAndTakesOverOnlyAbandonedEmptyFiles) {
  TempDir dir;
  const auto at = [&](const char* name) { return (dir / name).string(); };
  test::WriteFileBytes(at("full"), {'o', 'l', 'd'});
  test::WriteFileBytes(at("empty"), {});
  fs::create_symlink("nowhere", dir / "link");
  // An empty name that another run holds for the picture it is still writing.
  std::optional<ClaimedFile> held = ClaimedFile::Claim(at("held"));
  StagingFile staged(dir.Path().string(), at("x"), at("x"));
  WriteText(staged, "new");
  for (const char* name : {"full", "held", "link"})
    EXPECT_FALSE(staged.CommitIfFreeOrEmpty(at(name))) << name;
  EXPECT_FALSE(staged.CommitIfFree(at("empty")));
  EXPECT_TRUE(staged.CommitIfFreeOrEmpty(at("empty")));
  EXPECT_EQ(ReadFileBytes(at("empty")).size(), 3u);
  EXPECT_EQ(ReadFileBytes(at("full")), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  EXPECT_TRUE(ReadFileBytes(at("held")).empty());
  held.reset();
  EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"empty", "full", "link"}));
}

TEST(Base, InterruptsRemoveListedFilesAndEndWithTheSignalsStatus) {
  const struct { int signal_number, status; } interrupts[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}};
  for (const auto& interrupt : interrupts) {
    TempDir dir;
    const pid_t child = ::fork();
    if (child == 0) {
      CleanUpOnInterrupt();
      const auto make = [&](const char* name) {
        return [path = (dir / name).string()] {
          test::WriteFileBytes(path, {1});
          return path;
        };
      };
      RemovedOnInterrupt listed(make("listed"));
      RemovedOnInterrupt settled(make("settled"));
      settled.Settle([] {});
      std::optional<ClaimedFile> claimed = ClaimedFile::Claim((dir / "claimed").string());
      // A child of this process dies of the signal as usual.
      const pid_t grandchild = ::fork();
      if (grandchild == 0) ::_exit(::raise(interrupt.signal_number) == 0 ? 0 : 1);
      int status = 0;
      if (::waitpid(grandchild, &status, 0) != grandchild || !WIFSIGNALED(status)) ::_exit(1);
      // An interrupt waits for the work that must not stop halfway.
      WithoutInterrupts([&] {
        ::raise(interrupt.signal_number);
        ::usleep(100000);
        test::WriteFileBytes(dir / "finished", {});
      });
      ::sleep(10);
      ::_exit(2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == interrupt.status)
        << interrupt.signal_number << ": " << status;
    EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"finished", "settled"}));
  }
}

TEST(Base, ClaimedNamesAreExclusiveAndFreedUnlessKept) {
  TempDir dir;
  const std::string name = (dir / "a.png").string();
  {
    std::optional<ClaimedFile> first = ClaimedFile::Claim(name);
    ASSERT_TRUE(first);
    EXPECT_FALSE(ClaimedFile::Claim(name));
    std::optional<ClaimedFile> moved = std::move(first);
    first.reset();
    EXPECT_TRUE(fs::exists(name));
  }
  EXPECT_FALSE(fs::exists(name));
  ClaimedFile::Claim(name)->Keep();
  EXPECT_TRUE(fs::exists(name));
  EXPECT_THROW(ClaimedFile::Claim((dir / "none" / "a.png").string()), EFCreateError);
}

TEST(Base, WorkerPoolRunsEveryTaskOnceAndPassesTheFirstErrorOn) {
  TempDir dir;
  const mode_t mask = ::umask(022);
  // New files written on many threads at once all get the mode of a new file, and the
  // umask stays as it was.
  std::atomic<int> runs{0};
  ParallelFor(8, 64, [&](int, int task) {
    ++runs;
    ReplaceFile((dir / std::to_string(task)).string(),
                [](const StagingFile& staged) { WriteText(staged, "x"); });
  });
  EXPECT_EQ(runs, 64);
  EXPECT_EQ(FolderEntries(dir.Path()).size(), 64u);
  for (const auto& entry : fs::directory_iterator(dir.Path()))
    EXPECT_EQ(entry.status().permissions(), fs::perms(0644)) << entry.path();
  EXPECT_EQ(::umask(mask), mode_t(022));
  EXPECT_THROW(ParallelFor(4, 1000,
                           [](int, int task) {
                             if (task == 3) throw std::length_error("task");
                           }),
               std::length_error);
  ParallelFor(4, 0, [](int, int) { ADD_FAILURE(); });
}

TEST(Base, IncludesNothingAboveIt) {
  const std::regex include(R"re(^\s*#\s*include\s+"([^/"]+)/)re");
  int files = 0;
  for (const auto& entry : fs::directory_iterator(test::SourceDir() / "src" / "base")) {
    std::ifstream in(entry.path());
    ++files;
    for (std::string line; std::getline(in, line);) {
      std::smatch match;
      if (std::regex_search(line, match, include)) {
        EXPECT_EQ(match[1], "base") << entry.path() << ": " << line;
      }
    }
  }
  EXPECT_GT(files, 10);
}

}  // namespace
}  // namespace qel
