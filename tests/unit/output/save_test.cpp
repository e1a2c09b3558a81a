// Saving by extension: the free-name series, the choice of format, and what an
// encoder's failure leaves behind (the faults of the file system are save_faults_test).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "output/picture_writers.h"
#include "output/save_picture_file.h"
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

  // The lower-cased extension chooses; anything else writes nothing but still
  // returns the (free) name.
  for (const char* name : {"A.JPG", "b.Jpg", "c.PNG", "d.Gif", "e.BMP"})
    SavePictureFile((dir / name).string(), picture, false);
  EXPECT_EQ(Magic(dir / "A.JPG"), "\xFF\xD8\xFF\xE0");
  EXPECT_EQ(Magic(dir / "b.Jpg"), "\xFF\xD8\xFF\xE0");
  EXPECT_EQ(Magic(dir / "c.PNG"), "\x89PNG");
  EXPECT_EQ(Magic(dir / "d.Gif"), "GIF8");
  EXPECT_EQ(Magic(dir / "e.BMP").substr(0, 2), "BM");
  const auto before = FolderEntries(dir.Path());
  for (const char* name : {"x.jpeg", "x.tif", "x.jp", "x.", "x"}) {
    EXPECT_EQ(SavePictureFile((dir / name).string(), picture, false), (dir / name).string());
  }
  WriteFileBytes(dir / "notes", kOldBytes);
  EXPECT_EQ(SavePictureFile((dir / "notes").string(), picture, false), (dir / "notes[1]").string());
  WriteFileBytes(dir / "x.jpeg", kOldBytes);
  EXPECT_EQ(SavePictureFile((dir / "x.jpeg").string(), picture, false), (dir / "x[1].jpeg").string());
  auto after = before;
  after.insert(after.end(), {"notes", "x.jpeg"});
  std::sort(after.begin(), after.end());
  EXPECT_EQ(FolderEntries(dir.Path()), after);
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
