// Saving by extension: the free-name series, the choice of format, and what a failed
// save leaves behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "imaging/errors.h"
#include "output/save_picture_file.h"
#include "support/test_support.h"
#include "writer_test_helpers.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using test::FileExists;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

const std::vector<std::uint8_t> kOldBytes = {'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};

std::vector<std::string> FolderEntries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool StartsWith(const std::vector<std::uint8_t>& bytes, std::string_view prefix) {
  return bytes.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), bytes.begin(),
                    [](char a, std::uint8_t b) { return std::uint8_t(a) == b; });
}

TEST(WriterSave, FreeNameSeries) {
  TempDir dir;
  const std::string a = (dir / "a.jpg").string();
  EXPECT_EQ(UniqueFileName(a), a);
  WriteFileBytes(dir / "a.jpg", kOldBytes);
  EXPECT_EQ(UniqueFileName(a), (dir / "a[1].jpg").string());
  WriteFileBytes(dir / "a[1].jpg", kOldBytes);
  EXPECT_EQ(UniqueFileName(a), (dir / "a[2].jpg").string());
  // A name without extension, and a folder that does not count as taken.
  WriteFileBytes(dir / "notes", kOldBytes);
  EXPECT_EQ(UniqueFileName((dir / "notes").string()), (dir / "notes[1]").string());
  fs::create_directory(dir / "shots.png");
  EXPECT_EQ(UniqueFileName((dir / "shots.png").string()), (dir / "shots.png").string());
  // The dot of a folder name is not an extension.
  fs::create_directory(dir / "v1.2");
  WriteFileBytes(dir / "v1.2" / "pic", kOldBytes);
  EXPECT_EQ(UniqueFileName((dir / "v1.2" / "pic").string()), (dir / "v1.2" / "pic[1]").string());
}

TEST(WriterSave, KeepsExistingFilesUnlessToldToOverwrite) {
  TempDir dir;
  const Picture picture = NewPicture(4, 3, 0x0000FF);
  WriteFileBytes(dir / "a.jpg", kOldBytes);
  WriteFileBytes(dir / "a[1].jpg", kOldBytes);
  std::string used;
  EXPECT_EQ(SavePictureFile((dir / "a.jpg").string(), picture, false, &used), (dir / "a[2].jpg").string());
  EXPECT_EQ(used, (dir / "a[2].jpg").string());
  EXPECT_EQ(ReadFileBytes(dir / "a.jpg"), kOldBytes);
  EXPECT_EQ(ReadFileBytes(dir / "a[1].jpg"), kOldBytes);
  EXPECT_TRUE(StartsWith(ReadFileBytes(dir / "a[2].jpg"), "\xFF\xD8\xFF"));

  EXPECT_EQ(SavePictureFile((dir / "a.jpg").string(), picture, true), (dir / "a.jpg").string());
  EXPECT_TRUE(StartsWith(ReadFileBytes(dir / "a.jpg"), "\xFF\xD8\xFF"));
  EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"a.jpg", "a[1].jpg", "a[2].jpg"}));
}

TEST(WriterSave, ExtensionChoosesTheFormatWhateverItsCase) {
  TempDir dir;
  const Picture picture = NewPicture(5, 2, 0x00FF00);
  SavePictureFile((dir / "A.JPG").string(), picture, false);
  SavePictureFile((dir / "b.Jpg").string(), picture, false);
  SavePictureFile((dir / "c.PNG").string(), picture, false);
  SavePictureFile((dir / "d.Gif").string(), picture, false);
  SavePictureFile((dir / "e.BMP").string(), picture, false);
  EXPECT_TRUE(StartsWith(ReadFileBytes(dir / "A.JPG"), "\xFF\xD8\xFF"));
  EXPECT_TRUE(StartsWith(ReadFileBytes(dir / "b.Jpg"), "\xFF\xD8\xFF"));
  EXPECT_TRUE(StartsWith(ReadFileBytes(dir / "c.PNG"), "\x89PNG"));
  EXPECT_TRUE(StartsWith(ReadFileBytes(dir / "d.Gif"), "GIF87a"));
  EXPECT_TRUE(StartsWith(ReadFileBytes(dir / "e.BMP"), "BM"));
}

TEST(WriterSave, OtherExtensionsWriteNothingButReturnTheName) {
  TempDir dir;
  const Picture picture = NewPicture(2, 2, kNoColor);
  for (const char* name : {"a.jpeg", "a.tif", "a.jp", "a.", "a"}) {
    EXPECT_EQ(SavePictureFile((dir / name).string(), picture, false), (dir / name).string()) << name;
  }
  EXPECT_TRUE(FolderEntries(dir.Path()).empty());
  // A taken name still moves on to its free form, which is then not written either.
  WriteFileBytes(dir / "notes", kOldBytes);
  WriteFileBytes(dir / "a.jpeg", kOldBytes);
  EXPECT_EQ(SavePictureFile((dir / "notes").string(), picture, false), (dir / "notes[1]").string());
  EXPECT_EQ(SavePictureFile((dir / "a.jpeg").string(), picture, false), (dir / "a[1].jpeg").string());
  EXPECT_EQ(SavePictureFile((dir / "a.jpeg").string(), picture, true), (dir / "a.jpeg").string());
  EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"a.jpeg", "notes"}));
  EXPECT_EQ(ReadFileBytes(dir / "a.jpeg"), kOldBytes);
}

// The save fails with `message`; the folder holds exactly `entries` afterwards and the
// returned name was set before the error.
void ExpectFailedSave(const fs::path& folder, const std::string& name, bool overwrite,
                      const std::string& message, const std::vector<std::string>& entries,
                      const std::string& expected_name) {
  std::string used = "unset";
  try {
    SavePictureFile(name, test::NoisePicture(512, 512), overwrite, &used);
    ADD_FAILURE() << "saving " << name << " did not fail";
  } catch (const Error& e) {
    EXPECT_EQ(e.what(), message);
  }
  EXPECT_EQ(used, expected_name);
  EXPECT_EQ(FolderEntries(folder), entries);
}

TEST(WriterSave, FolderInTheTargetsPlace) {
  TempDir dir;
  fs::create_directory(dir / "x.png");
  WriteFileBytes(dir / "x.png" / "inside", kOldBytes);
  const std::string target = (dir / "x.png").string();
  for (bool overwrite : {false, true}) {
    ExpectFailedSave(dir.Path(), target, overwrite, "Cannot create file \"" + target + "\". Is a directory",
                     {"x.png"}, target);
  }
  EXPECT_EQ(ReadFileBytes(dir / "x.png" / "inside"), kOldBytes);
  // A relative name is reported with its full path.
  const fs::path here = fs::current_path();
  fs::current_path(dir.Path());
  try {
    SavePictureFile("./x.png", NewPicture(2, 2, kNoColor), true);
    ADD_FAILURE() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + target + "\". Is a directory");
  }
  fs::current_path(here);
}

TEST(WriterSave, MissingOrUnwritableFolder) {
  TempDir dir;
  const std::string missing = (dir / "none" / "a.png").string();
  ExpectFailedSave(dir.Path(), missing, false,
                   "Cannot create file \"" + missing + "\". No such file or directory", {}, missing);
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  fs::create_directory(dir / "locked");
  WriteFileBytes(dir / "locked" / "a.png", kOldBytes);
  fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  const std::string target = (dir / "locked" / "a.png").string();
  ExpectFailedSave(dir / "locked", target, true, "Cannot create file \"" + target + "\". Permission denied",
                   {"a.png"}, target);
  EXPECT_EQ(ReadFileBytes(dir / "locked" / "a.png"), kOldBytes);
  // A read-only file in a writable folder is not replaced either.
  WriteFileBytes(dir / "ro.png", kOldBytes);
  fs::permissions(dir / "ro.png", fs::perms::owner_read);
  const std::string read_only = (dir / "ro.png").string();
  ExpectFailedSave(dir.Path(), read_only, true, "Cannot create file \"" + read_only + "\". Permission denied",
                   {"locked", "ro.png"}, read_only);
}

// A small file system of its own, so that the disk really fills up.
class TinyFileSystem {
 public:
  TinyFileSystem() {
    mounted_ = test::RunCommand("mount -t tmpfs -o size=64k,mode=0777 qel-test " +
                                test::ShellQuote(dir_.Path())) == 0;
  }
  ~TinyFileSystem() {
    if (mounted_) test::RunCommand("umount " + test::ShellQuote(dir_.Path()));
  }
  TinyFileSystem(const TinyFileSystem&) = delete;
  TinyFileSystem& operator=(const TinyFileSystem&) = delete;
  bool Mounted() const { return mounted_; }
  const fs::path& Path() const { return dir_.Path(); }

 private:
  TempDir dir_;
  bool mounted_ = false;
};

TEST(WriterSave, FullDiskKeepsTheOldFileAndLeavesNoTemporaryFile) {
  TinyFileSystem disk;
  if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a small file system here";
  WriteFileBytes(disk.Path() / "keep.png", kOldBytes);
  const std::string message = "Stream write error: No space left on device";
  for (const char* ext : {".png", ".gif", ".jpg", ".bmp"}) {
    const std::string target = (disk.Path() / (std::string("old") + ext)).string();
    WriteFileBytes(target, kOldBytes);
    ExpectFailedSave(disk.Path(), target, true, message, FolderEntries(disk.Path()), target);
    EXPECT_EQ(ReadFileBytes(target), kOldBytes) << ext;
    // Without overwrite the free name is tried and not left behind.
    const std::string free_name = (disk.Path() / (std::string("old[1]") + ext)).string();
    ExpectFailedSave(disk.Path(), target, false, message, FolderEntries(disk.Path()), free_name);
    fs::remove(target);
  }
  EXPECT_EQ(ReadFileBytes(disk.Path() / "keep.png"), kOldBytes);
  // A picture that fits is written and replaces the old file.
  SavePictureFile((disk.Path() / "keep.png").string(), NewPicture(8, 8, 0xFF0000), true);
  EXPECT_TRUE(StartsWith(ReadFileBytes(disk.Path() / "keep.png"), "\x89PNG"));
  EXPECT_EQ(FolderEntries(disk.Path()), std::vector<std::string>{"keep.png"});
}

TEST(WriterSave, EncoderFailureLeavesNoTemporaryFile) {
  TempDir dir;
  WriteFileBytes(dir / "e.jpg", kOldBytes);
  // An empty picture is refused by the encoder once the temporary file exists.
  try {
    SavePictureFile((dir / "e.jpg").string(), Picture(), true);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot save an empty picture as JPEG.");
  }
  EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"e.jpg"});
  EXPECT_EQ(ReadFileBytes(dir / "e.jpg"), kOldBytes);
}

TEST(WriterSave, LinkKeepsPointingToTheReplacedFile) {
  TempDir dir;
  WriteFileBytes(dir / "real.png", kOldBytes);
  fs::create_symlink("real.png", dir / "link.png");
  ::chmod((dir / "real.png").c_str(), 0640);
  SavePictureFile((dir / "link.png").string(), NewPicture(3, 3, 0x123456), true);
  EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
  EXPECT_TRUE(StartsWith(ReadFileBytes(dir / "real.png"), "\x89PNG"));
  struct stat st {};
  ASSERT_EQ(::stat((dir / "real.png").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(WriterSave, ConvertToolWritesEachFormat) {
  TempDir dir;
  Picture picture = NewPicture(30, 20, kNoColor);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x)
      picture.SetPixel(x, y, RGBColor(std::uint8_t(8 * x), std::uint8_t(12 * y), 90));
  picture.SetPixel(0, 0, 0x0000FF);
  const std::string input = SavePictureFile((dir / "in.bmp").string(), picture, false);
  std::string output;
  test::RunCommand(test::ShellQuote(test::ConvertTool().string()) + " --info " + test::ShellQuote(input),
                   &output);
  if (output.find("Reading not supported") != std::string::npos)
    GTEST_SKIP() << "no BMP reader in this build";
  for (const char* name : {"out.png", "out.gif", "out.jpg", "out.png"}) {
    const fs::path target = dir / name;
    const bool taken = FileExists(target);
    ASSERT_EQ(test::RunCommand(test::ShellQuote(test::ConvertTool().string()) + " " +
                                   test::ShellQuote(input) + " " + test::ShellQuote(target.string()),
                               &output),
              0)
        << output;
    // The second .png goes to the free name, which the tool prints.
    const fs::path written = taken ? dir / "out[1].png" : target;
    EXPECT_EQ(output, written.string() + "\n");
    const auto decoded = test::PillowDecode(written);
    ASSERT_TRUE(decoded) << name;
    const int tolerance = target.extension() == ".jpg" ? 12 : 0;
    EXPECT_LE(test::Compare(*decoded, picture).max_channel_difference, tolerance) << name;
    EXPECT_GE(RedOf(decoded->Pixel(0, 0)), 230) << name;
  }
}

}  // namespace
}  // namespace qel
