// Saves that cannot succeed, in each of the seven written formats: a full disk, a
// folder the user may not write, a file the user may not write, a folder where the file
// should go, a folder that does not exist. Each fails with the writer's message, leaves
// no temporary file and leaves an existing file byte for byte as it was.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "imaging/errors.h"
#include "output/picture_writers.h"
#include "output/save_picture_file.h"
#include "support/test_support.h"
#include "unit/output/writer_helpers.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using test::FolderEntries;
using test::kOldBytes;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

const char* const kWrittenExtensions[] = {".bmp", ".jp2", ".tga", ".jpg", ".png", ".gif", ".emf"};
// The user the permission checks run as when the tests run as the superuser, whom
// permissions do not bind.
constexpr uid_t kNobody = 65534;

// The text of the Error that saving raises ("" when the save succeeds) and the name
// SavePictureFile reported as attempted.
struct SaveOutcome {
  std::string message;
  std::string name_used;
};

SaveOutcome TrySave(const std::string& name, const Picture& picture, bool overwrite) {
  SaveOutcome outcome{"", "unset"};
  try {
    SavePictureFile(name, picture, overwrite, &outcome.name_used);
  } catch (const Error& e) {
    outcome.message = e.what();
  }
  return outcome;
}

// A picture that takes more than 64 KB in every format.
const Picture& BigPicture() {
  static const Picture picture = test::NoisePicture(512, 512);
  return picture;
}

// Runs the save in a child process that has given up the superuser's rights (when the
// tests run as the superuser; otherwise right here) and returns its outcome.
SaveOutcome SaveAsUnprivilegedUser(const std::string& name, bool overwrite,
                                   const Picture& picture = BigPicture()) {
  if (::geteuid() != 0) return TrySave(name, picture, overwrite);
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) return {"pipe failed", ""};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_ends[0]);
    std::string report;
    if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
        ::setresuid(kNobody, kNobody, kNobody) != 0) {
      report = "could not give up the superuser's rights";
    } else {
      const SaveOutcome outcome = TrySave(name, picture, overwrite);
      report = outcome.message + '\n' + outcome.name_used;
    }
    const ssize_t written = ::write(pipe_ends[1], report.data(), report.size());
    ::_exit(written == ssize_t(report.size()) ? 0 : 1);
  }
  ::close(pipe_ends[1]);
  std::string report;
  char buffer[512];
  ssize_t got;
  while ((got = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0) report.append(buffer, std::size_t(got));
  ::close(pipe_ends[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  const std::size_t newline = report.find('\n');
  if (newline == std::string::npos) return {report, ""};
  return {report.substr(0, newline), report.substr(newline + 1)};
}

// A folder, and everything above it, that another user can walk through.
void OpenToEveryone(const fs::path& folder) {
  fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
}

TEST(SaveFaults, UnwritableFolderOrFileKeepsWhatIsThere) {
  TempDir dir;
  OpenToEveryone(dir.Path());
  const fs::path locked = dir / "locked";
  const fs::path own = dir / "own";
  fs::create_directory(locked);
  fs::create_directory(own);
  for (const char* ext : kWrittenExtensions) {
    WriteFileBytes(locked / (std::string("a") + ext), kOldBytes);
    WriteFileBytes(own / (std::string("ro") + ext), kOldBytes);
    fs::permissions(own / (std::string("ro") + ext),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  }
  // The locked folder is readable but not writable by the user who saves; the other one
  // is that user's own, with files the user may read only.
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  OpenToEveryone(own);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(own.c_str(), kNobody, kNobody), 0);
    for (const char* ext : kWrittenExtensions)
      ASSERT_EQ(::chown((own / (std::string("ro") + ext)).c_str(), kNobody, kNobody), 0);
  }
  const auto locked_before = FolderEntries(locked);
  const auto own_before = FolderEntries(own);
  for (const char* ext : kWrittenExtensions) {
    for (bool overwrite : {true, false}) {
      // Into the locked folder: no file can be made there, neither the target nor a
      // temporary one; without overwrite the free name a[1] is tried.
      const std::string target = (locked / (std::string("a") + ext)).string();
      const std::string attempted = overwrite ? target : (locked / (std::string("a[1]") + ext)).string();
      const SaveOutcome outcome = SaveAsUnprivilegedUser(target, overwrite);
      EXPECT_EQ(outcome.message, "Cannot create file \"" + attempted + "\". Permission denied") << ext;
      EXPECT_EQ(outcome.name_used, attempted) << ext;
      EXPECT_EQ(ReadFileBytes(target), kOldBytes) << ext;
    }
    // Over a read-only file in the user's own folder: the file is not replaced.
    const std::string read_only = (own / (std::string("ro") + ext)).string();
    const SaveOutcome outcome = SaveAsUnprivilegedUser(read_only, true);
    EXPECT_EQ(outcome.message, "Cannot create file \"" + read_only + "\". Permission denied") << ext;
    EXPECT_EQ(ReadFileBytes(read_only), kOldBytes) << ext;
  }
  EXPECT_EQ(FolderEntries(locked), locked_before);
  EXPECT_EQ(FolderEntries(own), own_before);
}

// What must survive a replacement: inode (where written in place), links, owner, mode.
auto IdentityOf(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return std::tuple(st.st_ino, st.st_nlink, st.st_uid, st.st_gid, st.st_mode);
}

TEST(SaveFaults, ReplacedFilesKeepOwnerModeAndLinksAndFilesInClosedFoldersAreWrittenInPlace) {
  TempDir dir;
  OpenToEveryone(dir.Path());
  // Another user's file keeps its owner and mode (its inode may change).
  const fs::path theirs = dir / "theirs.png";
  WriteFileBytes(theirs, kOldBytes);
  ::chmod(theirs.c_str(), 0640);
  ASSERT_TRUE(::geteuid() != 0 || ::chown(theirs.c_str(), kNobody, kNobody) == 0);
  auto before = IdentityOf(theirs);
  EXPECT_EQ(TrySave(theirs.string(), BigPicture(), true).message, "");
  std::get<0>(before) = std::get<0>(IdentityOf(theirs));
  EXPECT_EQ(IdentityOf(theirs), before);
  EXPECT_NE(ReadFileBytes(theirs), kOldBytes);

  // A file with a second name stays one file: both names show the new picture, and an
  // encoder's failure leaves both as they were.
  const fs::path linked = dir / "linked.gif", other = dir / "other name.gif";
  WriteFileBytes(linked, kOldBytes);
  ASSERT_EQ(::link(linked.c_str(), other.c_str()), 0);
  before = IdentityOf(linked);
  EXPECT_EQ(TrySave(linked.string(), BigPicture(), true).message, "");
  EXPECT_NE(TrySave(linked.string(), Picture(), true).message, "");
  EXPECT_EQ(IdentityOf(other), before);
  EXPECT_EQ(ReadFileBytes(other).size(), fs::file_size(linked));
  EXPECT_NE(ReadFileBytes(other), kOldBytes);

  // A folder the user may not write, with a file the user may write: written in place,
  // staged in the temporary folder, which is left clean.
  const fs::path closed = dir / "closed", spare = dir / "spare", shared = closed / "shared.jpg";
  fs::create_directory(closed);
  fs::create_directory(spare);
  ::chmod(spare.c_str(), 01777);
  WriteFileBytes(shared, kOldBytes);
  ::chmod(shared.c_str(), 0666);
  ::chmod(closed.c_str(), 0555);
  before = IdentityOf(shared);
  const char* tmpdir = std::getenv("TMPDIR");
  const std::string old_tmpdir = tmpdir ? tmpdir : "";
  ::setenv("TMPDIR", spare.c_str(), 1);
  EXPECT_NE(SaveAsUnprivilegedUser(shared.string(), true, Picture()).message, "");
  EXPECT_EQ(ReadFileBytes(shared), kOldBytes);
  EXPECT_EQ(SaveAsUnprivilegedUser(shared.string(), true).message, "");
  tmpdir ? ::setenv("TMPDIR", old_tmpdir.c_str(), 1) : ::unsetenv("TMPDIR");
  EXPECT_EQ(ReadFileBytes(shared)[0], 0xFF);
  EXPECT_EQ(IdentityOf(shared), before);
  EXPECT_EQ(FolderEntries(closed), std::vector<std::string>{"shared.jpg"});
  EXPECT_TRUE(FolderEntries(spare).empty());
}

TEST(SaveFaults, FolderInTheTargetsPlaceOrNoFolderAtAll) {
  TempDir dir;
  for (const char* ext : kWrittenExtensions) {
    const fs::path folder = dir / (std::string("x") + ext);
    fs::create_directory(folder);
    WriteFileBytes(folder / "inside", kOldBytes);
    for (bool overwrite : {false, true}) {
      const SaveOutcome outcome = TrySave(folder.string(), BigPicture(), overwrite);
      EXPECT_EQ(outcome.message, "Cannot create file \"" + folder.string() + "\". Is a directory") << ext;
      EXPECT_EQ(outcome.name_used, folder.string()) << ext;
    }
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"inside"}) << ext;
    EXPECT_EQ(ReadFileBytes(folder / "inside"), kOldBytes) << ext;

    const std::string missing = (dir / "none" / (std::string("a") + ext)).string();
    EXPECT_EQ(TrySave(missing, BigPicture(), false).message,
              "Cannot create file \"" + missing + "\". No such file or directory")
        << ext;
  }
  EXPECT_EQ(FolderEntries(dir.Path()).size(), std::size(kWrittenExtensions));
  // A relative name is reported with its full path.
  const fs::path here = fs::current_path();
  fs::current_path(dir.Path());
  const SaveOutcome relative = TrySave("./x.png", NewPicture(2, 2, kNoColor), true);
  fs::current_path(here);
  EXPECT_EQ(relative.message, "Cannot create file \"" + (dir / "x.png").string() + "\". Is a directory");
}

// A small file system of its own, so that the disk really fills up.
class TinyFileSystem {
 public:
  TinyFileSystem() {
    mounted_ = ::geteuid() == 0 && ::mount("qel-test", dir_.Path().c_str(), "tmpfs", 0, "size=64k") == 0;
  }
  ~TinyFileSystem() {
    if (mounted_) ::umount(dir_.Path().c_str());
  }
  TinyFileSystem(const TinyFileSystem&) = delete;
  TinyFileSystem& operator=(const TinyFileSystem&) = delete;
  bool Mounted() const { return mounted_; }
  const fs::path& Path() const { return dir_.Path(); }

 private:
  TempDir dir_;
  bool mounted_ = false;
};

TEST(SaveFaults, FullDiskKeepsTheOldFileAndLeavesNoTemporaryFile) {
  TinyFileSystem disk;
  if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a small file system here (needs the superuser)";
  for (const char* ext : kWrittenExtensions) {
    const std::string name = std::string("old") + ext;
    const std::string target = (disk.Path() / name).string();
    WriteFileBytes(target, kOldBytes);
    for (bool overwrite : {true, false}) {
      const SaveOutcome outcome = TrySave(target, BigPicture(), overwrite);
      const std::string attempted =
          overwrite ? target : (disk.Path() / (std::string("old[1]") + ext)).string();
      EXPECT_EQ(outcome.message, "Cannot write file \"" + attempted + "\". No space left on device") << ext;
      EXPECT_EQ(outcome.name_used, attempted) << ext;
      EXPECT_EQ(FolderEntries(disk.Path()), std::vector<std::string>{name}) << ext;
    }
    EXPECT_EQ(ReadFileBytes(target), kOldBytes) << ext;
    fs::remove(target);
    // A picture that fits is written.
    const std::string small = (disk.Path() / (std::string("new") + ext)).string();
    EXPECT_EQ(TrySave(small, NewPicture(8, 8, 0xFF0000), true).message, "") << ext;
    EXPECT_GT(fs::file_size(small), 0u) << ext;
    fs::remove(small);
  }
}

// A file system of the given kind in an image file, mounted through a loop device.
class LoopFileSystem {
 public:
  LoopFileSystem(const std::string& type, int kilobytes) {
    fs::create_directory(dir_ / "mnt");
    const std::string in_dir = "cd " + test::ShellQuote(dir_.Path().string()) + " && ";
    mounted_ = ::geteuid() == 0 &&
               test::RunCommand(in_dir + "truncate -s " + std::to_string(kilobytes) + "K image && mkfs." +
                                    type + " -q -F -m 0 image && mount -o loop image mnt",
                                &why_) == 0;
    if (::geteuid() != 0) why_ = "mounting needs the superuser";
  }
  ~LoopFileSystem() {
    if (mounted_) test::RunCommand("umount " + test::ShellQuote(Path().string()));
  }
  LoopFileSystem(const LoopFileSystem&) = delete;
  LoopFileSystem& operator=(const LoopFileSystem&) = delete;
  bool Mounted() const { return mounted_; }
  const std::string& WhyNot() const { return why_; }
  fs::path Path() const { return dir_ / "mnt"; }

 private:
  TempDir dir_;
  bool mounted_ = false;
  std::string why_;
};

TEST(SaveFaults, FullDiskWhileWritingInPlaceOnAFileSystemWithoutFallocateKeepsTheOldFile) {
  LoopFileSystem disk("ext2", 2048);
  if (!disk.Mounted()) GTEST_SKIP() << "no small ext2 file system here: " << disk.WhyNot();
  // A file with a second name is written in place, after its staging file is complete.
  const fs::path old = disk.Path() / "old.png", other = disk.Path() / "other.png";
  WriteFileBytes(old, kOldBytes);
  ASSERT_EQ(::link(old.c_str(), other.c_str()), 0);
  TMemoryStream encoded;
  WritePng(BigPicture(), encoded);
  const std::size_t size = encoded.TakeBytes().size();
  // Room for the staging file, not for a second copy of it.
  struct statvfs room {};
  ASSERT_EQ(::statvfs(disk.Path().c_str(), &room), 0);
  const std::size_t free = std::size_t(room.f_bavail) * room.f_bsize;
  ASSERT_GT(free, size * 3 / 2);
  WriteFileBytes(disk.Path() / "filler", std::vector<std::uint8_t>(free - size * 3 / 2, 1));

  const SaveOutcome outcome = TrySave(old.string(), BigPicture(), true);
  EXPECT_EQ(outcome.message, "Cannot write file \"" + old.string() + "\". No space left on device");
  EXPECT_EQ(ReadFileBytes(old), kOldBytes);
  EXPECT_EQ(fs::file_size(other), kOldBytes.size());
  EXPECT_EQ(FolderEntries(disk.Path()),
            (std::vector<std::string>{"filler", "lost+found", "old.png", "other.png"}));
  // With room, both names show the new picture.
  fs::remove(disk.Path() / "filler");
  EXPECT_EQ(TrySave(old.string(), BigPicture(), true).message, "");
  EXPECT_EQ(fs::file_size(other), size);
}

}  // namespace
}  // namespace qel
