// Saving by extension: the free-name series, the choice of format, and what an
// encoder's failure leaves behind (the faults of the file system are save_faults_test).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "imaging/picture_container.h"
#include "output/picture_writers.h"
#include "output/save_picture_file.h"
#include "output/writer_table.h"
#include "unit/output/writer_helpers.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using test::FolderEntries;
using test::kOldBytes;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// The first bytes of a file as text, for telling formats apart.
std::string Magic(const fs::path& file) {
  const auto bytes = ReadFileBytes(file);
  return std::string(bytes.begin(), bytes.begin() + long(std::min<std::size_t>(bytes.size(), 4)));
}

TEST(WriterSave, FreeNamesAndFormatsByExtension) {
  TempDir dir;
  const Picture picture = NewPicture(4, 3, 0x0000FF);
  const std::string a = (dir / "a.jpg").string();
  EXPECT_EQ(UniqueFileName(a), a);
  WriteFileBytes(dir / "a.jpg", kOldBytes);
  WriteFileBytes(dir / "a[1].jpg", kOldBytes);
  std::string used;
  EXPECT_EQ(SavePictureFile(a, picture, false, &used), (dir / "a[2].jpg").string());
  EXPECT_EQ(used, (dir / "a[2].jpg").string());
  EXPECT_EQ(ReadFileBytes(dir / "a.jpg"), kOldBytes);
  EXPECT_EQ(ReadFileBytes(dir / "a[1].jpg"), kOldBytes);
  EXPECT_EQ(SavePictureFile(a, picture, true), a);
  EXPECT_EQ(Magic(dir / "a.jpg"), "\xFF\xD8\xFF\xE0");
  // A folder does not count as taken; the dot of a folder name is no extension.
  fs::create_directories(dir / "v1.2" / "shots.png");
  WriteFileBytes(dir / "v1.2" / "pic", kOldBytes);
  EXPECT_EQ(UniqueFileName((dir / "v1.2" / "shots.png").string()), (dir / "v1.2" / "shots.png").string());
  EXPECT_EQ(UniqueFileName((dir / "v1.2" / "pic").string()), (dir / "v1.2" / "pic[1]").string());

  // The lower-cased extension chooses.
  for (const char* name : {"A.JPG", "b.Jpg", "c.PNG", "d.Gif", "e.BMP"})
    SavePictureFile((dir / name).string(), picture, false);
  EXPECT_EQ(Magic(dir / "A.JPG"), "\xFF\xD8\xFF\xE0");
  EXPECT_EQ(Magic(dir / "b.Jpg"), "\xFF\xD8\xFF\xE0");
  EXPECT_EQ(Magic(dir / "c.PNG"), "\x89PNG");
  EXPECT_EQ(Magic(dir / "d.Gif"), "GIF8");
  EXPECT_EQ(Magic(dir / "e.BMP").substr(0, 2), "BM");
}

TEST(WriterSave, OtherSpellingsOfJpgWriteJpegAndOtherExtensionsAreRefused) {
  TempDir dir;
  const Picture picture = NewPicture(4, 3, 0x0000FF);
  for (const char* name : {"a.jpeg", "b.JPE", "c.jfif"}) {
    SavePictureFile((dir / name).string(), picture, false);
    EXPECT_EQ(Magic(dir / name), "\xFF\xD8\xFF\xE0") << name;
  }
  // Anything else fails before a file is made, naming the extensions that are written
  // (the writer table's, so that a writer added later shows up), also where the name is
  // taken: no free name is made up for it.
  EXPECT_TRUE(WritableExtensionList().starts_with(".bmp .jp2 .tga .jpg .jpeg .jpe .jfif .png .gif .emf"));
  const std::string written = ". The extensions written are " + WritableExtensionList();
  WriteFileBytes(dir / "taken.tif", kOldBytes);
  const auto before = FolderEntries(dir.Path());
  for (const char* name : {"x.PCX", "taken.tif", "x.heic", "picture.jp", "x.", "notes"}) {
    const std::string path = (dir / name).string(), ext = ExtractFileExt(name);
    const std::string reason = ext.size() > 1 ? "no format is written for the extension \"" + ext + "\""
                                              : std::string("the name has no extension");
    for (bool overwrite : {false, true}) {
      std::string used;
      try {
        SavePictureFile(path, picture, overwrite, &used);
        ADD_FAILURE() << name << " was written";
      } catch (const EUnwritableExtension& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot save \"" + path + "\": " + reason + written);
      }
      EXPECT_EQ(used, path);
    }
  }
  EXPECT_EQ(FolderEntries(dir.Path()), before);
  // The command line says so too, with the exit status 1 and no file.
  const std::string input = SavePictureFile((dir / "in.bmp").string(), picture, true);
  std::string output;
  EXPECT_EQ(test::RunCommand(test::ShellQuote(test::ConvertTool().string()) + " " + test::ShellQuote(input) +
                                 " " + test::ShellQuote((dir / "out.heic").string()),
                             &output),
            1);
  EXPECT_NE(output.find(written), std::string::npos) << output;
  EXPECT_FALSE(fs::exists(dir / "out.heic"));
}

TEST(WriterSave, EncodersPassOnTheStreamsErrorAndRefuseWhatTheyCannotWrite) {
  using Encoder = void (*)(const Picture&, TStream&);
  const Picture picture = test::NoisePicture(300, 300);
  for (Encoder encode : {&WriteJpeg, &WritePng, &WriteGif}) {
    for (std::size_t capacity : {0u, 6u, 13u, 100u, 5000u, 70000u}) {
      test::FailingStream stream(capacity);
      EXPECT_THROW(
          {
            try {
              encode(picture, stream);
            } catch (const EWriteError& e) {
              EXPECT_STREQ(e.what(), "Stream write error: No space left on device");
              throw;
            }
          },
          EWriteError)
          << capacity;
    }
    TMemoryStream stream;
    EXPECT_THROW(encode(Picture(), stream), Error);
    if (encode != &WritePng) {
      EXPECT_THROW(encode(NewPicture(70000, 1, kNoColor), stream), Error);  // too wide for the format
    }
  }
  // An encoder's error leaves the old file and no temporary file.
  TempDir dir;
  WriteFileBytes(dir / "e.jpg", kOldBytes);
  EXPECT_THROW(SavePictureFile((dir / "e.jpg").string(), Picture(), true), Error);
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
  EXPECT_EQ(Magic(dir / "real.png"), "\x89PNG");
  struct stat st {};
  ASSERT_EQ(::stat((dir / "real.png").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(WriterSave, ConvertToolWritesEachFormat) {
  QEL_SKIP_WITHOUT("pillow");
  TempDir dir;
  // 49 colours, so that the GIF keeps them all; a red corner for the channel order.
  Picture picture = NewPicture(32, 24, kNoColor);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 32; ++x)
      picture.SetPixel(
          x, y,
          x < 16 && y < 16 ? 0x0000FF : RGBColor(std::uint8_t(32 * (x / 4)), std::uint8_t(40 * (y / 4)), 90));
  const std::string tool = test::ShellQuote(test::ConvertTool().string());
  const std::string input = SavePictureFile((dir / "in.tga").string(), picture, false);
  std::string output;
  test::RunCommand(tool + " --info " + test::ShellQuote(input), &output);
  if (output.find("Reading not supported") != std::string::npos)
    GTEST_SKIP() << "no Targa reader in this build";
  for (const char* name : {"out.png", "out.gif", "out.jpg", "out.png"}) {
    const fs::path target = dir / name;
    // The second .png goes to the free name, which the tool prints.
    const fs::path written = test::FileExists(target) ? dir / "out[1].png" : target;
    ASSERT_EQ(test::RunCommand(tool + " " + test::ShellQuote(input) + " " + test::ShellQuote(target.string()),
                               &output),
              0)
        << output;
    EXPECT_EQ(output, written.string() + "\n");
    const auto decoded = test::PillowDecode(written);
    ASSERT_TRUE(decoded) << name;
    // The same bytes as the encoder makes of the picture itself, which peers read back.
    TMemoryStream direct;
    const std::string ext = target.extension().string();
    (ext == ".png" ? WritePng : ext == ".gif" ? WriteGif : WriteJpeg)(picture, direct);
    EXPECT_EQ(ReadFileBytes(written), direct.TakeBytes()) << name;
    const std::size_t lossy = ext == ".jpg" ? picture.Width() * picture.Height() : 0;
    EXPECT_LE(test::Compare(*decoded, picture).differing_pixels, lossy) << name;
    EXPECT_GE(RedOf(decoded->Pixel(4, 4)), 240) << name;
    EXPECT_LE(BlueOf(decoded->Pixel(4, 4)), 15) << name;
  }
}

}  // namespace
}  // namespace qel
