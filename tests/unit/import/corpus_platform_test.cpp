// The platform and dependency readers (bmp, dib, ico, png, jpg, gif) over every such
// file of the peer corpus, through qel-convert as a user runs it: each file is
// converted to BMP and the result must equal Pillow's decode composited onto white.
//
// Compositing: a pixel of colour c and alpha a over white comes out as
// round((c * a + 255 * (255 - a)) / 255). That is what the bitmap's alpha drawing
// computes, and Pillow's alpha_composite over an opaque white image reduces to the
// same rounded quotient (its intermediate is 128 * (c*a + 255*(255-a) + 128), divided by
// 255 * 128 with a correctly rounded shift-divide), so the references below are used
// as they are. JPEG is compared exactly: the tool and Pillow link the same libjpeg
// and use its default integer IDCT.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "support/test_support.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using test::CorpusDir;

// Every file under the corpus folder, subfolders included, whose lower-cased extension
// is one of the given ones; sorted.
std::vector<fs::path> CorpusFilesBelow(std::initializer_list<const char*> extensions) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(CorpusDir())) {
    if (!entry.is_regular_file()) continue;
    const std::string ext = LowerCase(entry.path().extension().string());
    for (const char* wanted : extensions) {
      if (ext == wanted) files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// How a file's expected picture is obtained when Pillow's own decode is not the answer.
enum class Reference {
  kPillow,
  // Pillow's decode with the alpha channel dropped.
  kPillowWithoutAlpha,
  // GraphicsMagick's decode.
  kGraphicsMagick,
  // Pillow's 16-bit grey samples reduced to their high byte, tRNS grey value white.
  kHighByteOf16BitGrey,
  // Not decoded: qel-convert must fail cleanly with this text in its message.
  kCleanError,
};

struct Deviation {
  Reference reference;
  const char* detail;  // the expected error text for kCleanError
  const char* why;
};

// Files whose reference is not Pillow's plain decode, and why.
const std::map<std::string, Deviation>& Deviations() {
  static const std::map<std::string, Deviation> deviations = {
      {"bmp/q/pal4rletrns.bmp",
       {Reference::kGraphicsMagick, "",
        "Pillow's RLE decoder applies a delta as a skip forward in its flat buffer, whatever the row order, "
        "so the skipped areas of this bottom-up file come out shifted; GraphicsMagick places them where "
        "the delta points"}},
      {"bmp/q/pal8rletrns.bmp", {Reference::kGraphicsMagick, "", "as pal4rletrns.bmp"}},
      {"rgb32bf-abgr.bmp",
       {Reference::kPillowWithoutAlpha, "",
        "the alpha mask is declared but every alpha is 0; the reader takes such a mask as unused and shows "
        "the picture opaque, where Pillow shows nothing but white"}},
      {"i_trns.png",
       {Reference::kHighByteOf16BitGrey, "",
        "Pillow opens 16-bit grey as 32-bit integers and the shared reference clamps them to 255 instead of "
        "scaling, so every sample of this file (all below 256) would look bright; the reader keeps the high "
        "byte of 16-bit samples, as Pillow does for 16-bit colour"}},
      {"issue_2811.gif",
       {Reference::kCleanError, "LZW code size 11",
        "the image data declares an LZW minimum code size of 11, beyond the format's 8; giflib refuses it"}},
  };
  return deviations;
}

std::optional<Picture> HighByteOf16BitGrey(const fs::path& file) {
  static const std::string script =
      "import sys\n"
      "from PIL import Image\n"
      "im = Image.open(sys.argv[1]); t = im.info.get('transparency')\n"
      "out = bytearray()\n"
      "for v in im.getdata(): out += bytes([255] * 3) if v == t else bytes([v >> 8] * 3)\n"
      "open(sys.argv[2], 'wb').write(b'P6 %d %d 255\\n' % im.size + out)\n";
  return test::PeerDecode("/usr/bin/python3 -c " + test::ShellQuote(script), file);
}

std::optional<Picture> ReferenceFor(const fs::path& file, Reference reference) {
  switch (reference) {
    case Reference::kPillow:
      return test::PillowDecode(file);
    case Reference::kPillowWithoutAlpha:
      return test::PillowDecode(file, true);
    case Reference::kGraphicsMagick:
      return test::PeerDecode("gm convert", file);
    case Reference::kHighByteOf16BitGrey:
      return HighByteOf16BitGrey(file);
    case Reference::kCleanError:
      return std::nullopt;
  }
  return std::nullopt;
}

// Converts the file with qel-convert; returns the exit status and the output text.
int Convert(const fs::path& input, const fs::path& output, std::string& text) {
  return test::RunCommand(test::ShellQuote(test::ConvertTool().string()) + " " +
                              test::ShellQuote(input.string()) + " " + test::ShellQuote(output.string()),
                          &text);
}

// Checks one file; returns what went wrong, empty when nothing did.
std::string CheckFile(const fs::path& file, const fs::path& output) {
  const std::string name = fs::relative(file, CorpusDir()).generic_string();
  const auto deviation = Deviations().find(name);
  const Reference reference =
      deviation == Deviations().end() ? Reference::kPillow : deviation->second.reference;
  std::string text;
  const int status = Convert(file, output, text);

  if (reference == Reference::kCleanError) {
    if (status != 1) return "expected a clean error, exit status " + std::to_string(status) + ": " + text;
    if (text.find(deviation->second.detail) == std::string::npos) return "unexpected message: " + text;
    return "";
  }
  const std::optional<Picture> expected = ReferenceFor(file, reference);
  if (!expected) {
    // The peer rejects the file: the tool may decode it or refuse it, but cleanly.
    if (status == 0) return "";
    if (status != 1) return "rejected with exit status " + std::to_string(status) + ": " + text;
    if (text.empty()) return "rejected without a message";
    return "";
  }
  if (status != 0) return "qel-convert failed (" + std::to_string(status) + "): " + text;
  Picture written;
  try {
    written = LoadPictureFile(output.string());
  } catch (const std::exception& e) {
    return std::string("the written BMP does not load: ") + e.what();
  }
  const test::PictureDifference diff = test::Compare(written, *expected);
  if (!diff.same_size) {
    return "size " + std::to_string(written.Width()) + " x " + std::to_string(written.Height()) +
           ", expected " + std::to_string(expected->Width()) + " x " + std::to_string(expected->Height());
  }
  if (diff.differing_pixels) return diff.Describe();
  return "";
}

void CheckCorpus(std::initializer_list<const char*> extensions) {
  const std::vector<fs::path> files = CorpusFilesBelow(extensions);
  ASSERT_FALSE(files.empty());
  test::TempDir dir;
  std::ostringstream failures;
  int failed = 0, index = 0;
  for (const fs::path& file : files) {
    const std::string problem = CheckFile(file, dir / ("out" + std::to_string(index++) + ".bmp"));
    if (!problem.empty()) {
      ++failed;
      failures << "\n  " << fs::relative(file, CorpusDir()).generic_string() << ": " << problem;
    }
  }
  EXPECT_EQ(failed, 0) << failed << " of " << files.size() << " files failed:" << failures.str();
}

TEST(PlatformCorpus, BmpAndDibFilesMatchPillow) {
  QEL_SKIP_WITHOUT("pillow", "gm");
  CheckCorpus({".bmp", ".dib", ".rle"});
}
TEST(PlatformCorpus, IcoFilesMatchPillow) {
  QEL_SKIP_WITHOUT("pillow");
  CheckCorpus({".ico"});
}
TEST(PlatformCorpus, PngFilesMatchPillow) {
  QEL_SKIP_WITHOUT("pillow");
  CheckCorpus({".png"});
}
TEST(PlatformCorpus, JpegFilesMatchPillow) {
  QEL_SKIP_WITHOUT("pillow");
  CheckCorpus({".jpg", ".jpeg", ".jpe", ".jfif"});
}
TEST(PlatformCorpus, GifFilesMatchPillow) {
  QEL_SKIP_WITHOUT("pillow");
  CheckCorpus({".gif"});
}

TEST(PlatformCorpus, EveryDeviationIsAFileOfTheCorpus) {
  for (const auto& [name, deviation] : Deviations()) {
    EXPECT_TRUE(test::FileExists(CorpusDir() / name)) << name;
  }
}

}  // namespace
}  // namespace qel
