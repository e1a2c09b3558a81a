// The TIFF reader against peer decodes: files made with ImageMagick and tiffcp in every
// combination of depth, colour layout, compression, byte order, predictor, strip
// layout, planar configuration and fill order, and the TIFF files of the corpus. Each
// is decoded by Pillow in one batch and compared pixel for pixel; where the reader
// differs on purpose, the case says why.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "support/test_support.h"

namespace qel::test {
namespace {

namespace fs = std::filesystem;

// Decodes "input|output[|orientation]" pairs with Pillow into binary PPMs. 16-bit gray
// samples are cut to 8 bits as v * 255 / 65535, as the reader does (Pillow's own
// conversion shifts). Pictures with alpha are drawn over white, as the reader shows
// them (Pillow divides associated alpha out of the colours, as the reader does).
// CIE L*a*b* goes to sRGB through the colour management of Pillow (D50 white, unrounded
// arithmetic). An orientation (2 to 8) turns the decoded picture as that TIFF
// orientation asks.
constexpr const char* kBatchDecodeScript = R"PY(
import sys
from PIL import Image, ImageCms
TURNS = {2: Image.FLIP_LEFT_RIGHT, 3: Image.ROTATE_180, 4: Image.FLIP_TOP_BOTTOM, 5: Image.TRANSPOSE,
         6: Image.ROTATE_270, 7: Image.TRANSVERSE, 8: Image.ROTATE_90}
NO_OPTIMIZATION = 0x0100
for pair in sys.argv[1:]:
    src, dst, *orientation = pair.split('|')
    try:
        im = Image.open(src)
        im.load()
    except Exception as e:
        print('pillow refuses %s: %s' % (src, e), file=sys.stderr)
        continue
    if im.mode.startswith('I;16'):
        gray = Image.new('L', im.size)
        gray.putdata([v * 255 // 65535 for v in im.getdata()])
        im = gray
    if im.mode in ('PA', 'LA', 'RGBA', 'RGBa'):
        rgba = im.convert('RGBA')
        im = Image.alpha_composite(Image.new('RGBA', im.size, (255, 255, 255, 255)), rgba)
    if im.mode == 'LAB':
        lab_to_srgb = ImageCms.buildTransform(ImageCms.createProfile('LAB'), ImageCms.createProfile('sRGB'),
                                              'LAB', 'RGB', flags=NO_OPTIMIZATION)
        im = ImageCms.applyTransform(im, lab_to_srgb)
    if orientation and int(orientation[0]) in TURNS:
        im = im.transpose(TURNS[int(orientation[0])])
    im.convert('RGB').save(dst, 'PPM')
)PY";

std::string Quote(const fs::path& p) {
  return ShellQuote(p.string());
}

// Runs a command; a failure names the command and shows its output.
::testing::AssertionResult RunOk(const std::string& command) {
  std::string output;
  const int status = RunCommand(command, &output);
  if (status == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << command << " exited with " << status << ":\n" << output;
}

// Decodes every file with Pillow in one process; the result maps a file to its decode
// (missing when Pillow refused it).
std::map<fs::path, Picture> PillowBatch(const TempDir& dir, const std::vector<fs::path>& files,
                                        const std::vector<int>& orientations = {}) {
  const fs::path script = dir / "batch_decode.py";
  WriteFileBytes(script, std::vector<std::uint8_t>(
                             kBatchDecodeScript,
                             kBatchDecodeScript + std::char_traits<char>::length(kBatchDecodeScript)));
  std::string command = "/usr/bin/python3 " + Quote(script);
  std::vector<fs::path> outputs;
  for (std::size_t i = 0; i < files.size(); ++i) {
    outputs.push_back(dir / ("pillow_" + std::to_string(i) + ".ppm"));
    std::string pair = files[i].string();
    pair += '|';
    pair += outputs.back().string();
    if (i < orientations.size()) {
      pair += '|';  // two appends: GCC 12 warns falsely (-Wrestrict) of "|" + std::to_string(...)
      pair += std::to_string(orientations[i]);
    }
    command += ' ';
    command += ShellQuote(pair);
  }
  std::string ignored;
  RunCommand(command, &ignored);
  std::map<fs::path, Picture> decoded;
  for (std::size_t i = 0; i < files.size(); ++i)
    if (auto picture = ReadPPMFile(outputs[i])) decoded.emplace(files[i], std::move(*picture));
  return decoded;
}

// Our decode against Pillow's, within tolerance on every channel.
void ExpectMatches(const fs::path& file, const fs::path& reference, const std::map<fs::path, Picture>& pillow,
                   int tolerance) {
  SCOPED_TRACE(file.filename().string());
  const auto it = pillow.find(reference);
  ASSERT_NE(it, pillow.end()) << "Pillow could not decode the file";
  Picture ours;
  try {
    ours = LoadPictureFile(file.string());
  } catch (const std::exception& e) {
    FAIL() << "the reader failed: " << e.what();
  }
  const PictureDifference diff = Compare(ours, it->second);
  EXPECT_TRUE(diff.same_size) << ours.Width() << " x " << ours.Height() << " against " << it->second.Width()
                              << " x " << it->second.Height();
  EXPECT_LE(diff.max_channel_difference, tolerance) << diff.Describe();
}

// Sources made with ImageMagick from the corpus photo at an odd size (61 x 47), so
// that rows end inside bytes and padding mistakes show. The photo is first brought to
// 8-bit samples (in colour and in gray), so that 16-bit samples made from it are
// multiples of 257, where the reader's v * 255 / 65535 and Pillow's shift by 8 agree.
struct Source {
  const char* name;
  bool gray_base;
  const char* options;
  // Largest channel difference to Pillow that the reader is meant to have.
  int tolerance;
};

const Source kSources[] = {
    {"g1", true, "-threshold 50% -depth 1 -type Bilevel", 0},
    {"w1", true, "-threshold 50% -depth 1 -type Bilevel -define quantum:polarity=min-is-white", 0},
    {"g2", true, "-depth 2 -type Grayscale", 0},
    {"g4", true, "-depth 4 -type Grayscale", 0},
    {"g8", true, "-type Grayscale -depth 8", 0},
    {"w8", true, "-type Grayscale -depth 8 -define quantum:polarity=min-is-white", 0},
    {"g16", true, "-type Grayscale -depth 16", 0},
    {"p4", false, "-colors 16 -type Palette -depth 4", 0},
    {"p8", false, "-type Palette -depth 8", 0},
    {"rgb8", false, "-type TrueColor -depth 8", 0},
    {"rgb16", false, "-type TrueColor -depth 16", 0},
    {"rgba8", false, "-alpha set -channel A -fx i/w +channel -type TrueColorAlpha -depth 8", 0},
    // CMYK: the reader computes X * K / 255 - X - K + 255 truncating the product;
    // Pillow rounds it.
    {"cmyk8", false, "-colorspace CMYK -depth 8", 1},
    // Associated alpha (colours premultiplied) and gray with alpha.
    {"rgba8_assoc", false,
     "-alpha set -channel A -fx i/w +channel -type TrueColorAlpha -depth 8 -define tiff:alpha=associated", 1},
    {"ga8", true, "-alpha set -channel A -fx j/h +channel -type GrayscaleAlpha -depth 8", 0},
    // CIE L*a*b*: ImageMagick writes a and b as signed bytes.
    {"lab8", false, "-colorspace Lab -depth 8", 1},
};

// tiffcp options applied to every source that the options suit.
struct Variant {
  const char* suffix;
  const char* options;
  bool byte_samples_only;  // predictor: 8 and 16-bit samples only
  bool separate_planes;    // tiffcp separates 8-bit samples only
  // Pillow reads fill order 2 for few layouts: it decodes the same file rewritten by
  // tiffcp without compression in fill order 1.
  bool via_plain_copy;
};

const Variant kVariants[] = {
    {"none", "-c none", false, false, false},
    {"none_be", "-c none -B", false, false, false},
    {"packbits", "-c packbits", false, false, false},
    {"packbits_be_r3", "-c packbits -B -r 3", false, false, false},
    {"lzw", "-c lzw", false, false, false},
    {"lzw_r3", "-c lzw -r 3", false, false, false},
    {"lzw_pred", "-c lzw:2", true, false, false},
    {"lzw_pred_be", "-c lzw:2 -B", true, false, false},
    {"zip", "-c zip -L", false, false, false},
    {"zip_pred_be_r3", "-c zip:2 -B -r 3", true, false, false},
    {"lsb2msb_none", "-c none -f lsb2msb", false, false, true},
    {"lsb2msb_lzw", "-c lzw -f lsb2msb -B", false, false, true},
    {"lsb2msb_zip", "-c zip -f lsb2msb", false, false, true},
    {"separate", "-c none -p separate -r 5", false, true, false},
    {"separate_lzw_pred_be", "-c lzw:2 -p separate -B", true, true, false},
    // Tiles of 16 x 16 up to one tile larger than the picture (the default of 256 x
    // 256): the right and bottom tiles are cut to the picture.
    {"tiled", "-t -w 16 -l 16 -c none", false, false, false},
    {"tiled_packbits_be", "-t -w 32 -l 16 -c packbits -B", false, false, false},
    {"tiled_lzw_pred", "-t -w 16 -l 48 -c lzw:2", true, false, false},
    {"tiled_zip", "-t -c zip", false, false, false},
    {"tiled_lsb2msb_lzw", "-t -w 16 -l 16 -c lzw -f lsb2msb", false, false, true},
    {"tiled_separate", "-t -w 32 -l 32 -c none -p separate", false, true, false},
    {"tiled_separate_zip_pred_be", "-t -w 16 -l 16 -c zip:2 -p separate -B", true, true, false},
};

bool Suits(const Source& source, const Variant& variant) {
  const std::string name = source.name;
  const bool sub_byte = name == "g1" || name == "w1" || name == "g2" || name == "g4" || name == "p4";
  const bool separable = name == "rgb8" || name == "rgba8" || name == "cmyk8" || name == "lab8";
  if (variant.byte_samples_only && sub_byte) return false;
  if (variant.separate_planes && !separable) return false;
  return true;
}

// A file to compare: the reader decodes file, Pillow decodes reference.
struct Case {
  fs::path file;
  fs::path reference;
  int tolerance;
};

class TiffPeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QEL_SKIP_WITHOUT("convert", "pillow");
    const std::string photo = Quote(CorpusDir() / "hopper.png");
    ASSERT_TRUE(RunOk("/usr/bin/convert " + photo + " -resize 61x47! -depth 8 " + Quote(dir_ / "base.png")));
    ASSERT_TRUE(RunOk("/usr/bin/convert " + photo + " -resize 61x47! -colorspace Gray -depth 8 " +
                      Quote(dir_ / "gray.png")));
  }
  fs::path MakeSource(const Source& source) {
    const fs::path out = dir_ / (std::string(source.name) + ".tif");
    EXPECT_TRUE(RunOk("/usr/bin/convert " + Quote(dir_ / (source.gray_base ? "gray.png" : "base.png")) + " " +
                      source.options + " -compress None " + Quote(out)));
    return out;
  }
  fs::path Tiffcp(const fs::path& source, const std::string& name, const std::string& options) {
    const fs::path out = dir_ / (name + ".tif");
    EXPECT_TRUE(RunOk("tiffcp " + options + " " + Quote(source) + " " + Quote(out)));
    return out;
  }
  void CompareAll(const std::vector<Case>& cases) {
    std::vector<fs::path> references;
    for (const Case& c : cases) references.push_back(c.reference);
    const auto pillow = PillowBatch(dir_, references);
    for (const Case& c : cases) ExpectMatches(c.file, c.reference, pillow, c.tolerance);
  }

  TempDir dir_;
};

TEST_F(TiffPeerTest, EveryDepthLayoutCompressionAndByteOrderMatchesPillow) {
  QEL_SKIP_WITHOUT("tiffcp");
  std::vector<Case> cases;
  for (const Source& source : kSources) {
    const fs::path made = MakeSource(source);
    for (const Variant& variant : kVariants) {
      if (!Suits(source, variant)) continue;
      const std::string name = std::string(source.name) + "_" + variant.suffix;
      const fs::path file = Tiffcp(made, name, variant.options);
      fs::path reference = file;
      if (variant.via_plain_copy) reference = Tiffcp(file, name + "_plain", "-c none -f msb2lsb");
      // Pillow reads the a and b planes of separate L*a*b* as unsigned: it decodes the
      // interleaved source.
      if (variant.separate_planes && std::string(source.name) == "lab8") reference = made;
      cases.push_back({file, reference, source.tolerance});
    }
  }
  CompareAll(cases);
}

TEST_F(TiffPeerTest, FaxAndJpegStripsAndTilesMatchPillow) {
  QEL_SKIP_WITHOUT("tiffcp");
  const fs::path g1 = MakeSource(kSources[0]);
  const fs::path w1 = MakeSource(kSources[1]);
  const fs::path g8 = MakeSource(kSources[4]);
  const fs::path rgb8 = MakeSource(kSources[9]);
  const fs::path cmyk8 = MakeSource(kSources[12]);
  const auto same = [&](const fs::path& source, const std::string& name, const std::string& options,
                        int tolerance = 0) {
    const fs::path file = Tiffcp(source, name, options);
    return Case{file, file, tolerance};
  };
  std::vector<Case> cases = {
      same(g1, "g1_g3", "-c g3:1d"),
      same(w1, "w1_g3_fill", "-c g3:1d:fill -r 8"),
      same(g8, "g8_jpeg", "-c jpeg"),
      same(rgb8, "rgb8_jpeg_ycbcr", "-c jpeg -r 16"),
      same(rgb8, "rgb8_jpeg_rgb_be", "-c jpeg:r -B -r 16"),
      same(cmyk8, "cmyk8_jpeg", "-c jpeg -r 16", 1),
      same(g1, "g1_g3_2d", "-c g3:2d -r 10"),
      same(w1, "w1_g3_2d_fill", "-c g3:2d:fill"),
      same(g1, "g1_g4", "-c g4 -r 20"),
      same(w1, "w1_g4_be", "-c g4 -B"),
      same(g1, "g1_g4_tiled", "-c g4 -t -w 16 -l 16"),
      same(w1, "w1_g3_2d_tiled", "-c g3:2d -t -w 32 -l 32"),
      same(g1, "g1_g3_tiled", "-c g3:1d -t"),
      same(g8, "g8_jpeg_tiled", "-c jpeg -t -w 16 -l 32"),
      same(rgb8, "rgb8_jpeg_ycbcr_tiled", "-c jpeg -t -w 32 -l 16"),
      same(rgb8, "rgb8_jpeg_rgb_tiled_be", "-c jpeg:r -t -B"),
      same(cmyk8, "cmyk8_jpeg_tiled", "-c jpeg -t -w 16 -l 16", 1),
  };
  // Fill order 2 in both fax codings, in strips and in tiles.
  for (const char* options :
       {"-c g3:2d -f lsb2msb", "-c g4 -f lsb2msb -B", "-c g4 -f lsb2msb -t -w 16 -l 32"}) {
    const std::string name = "g1_lsb2msb_" + std::to_string(cases.size());
    const fs::path file = Tiffcp(g1, name, options);
    cases.push_back({file, Tiffcp(file, name + "_plain", "-c none -f msb2lsb"), 0});
  }
  // Fill order 2: the fax data is read with its bits reversed, the JPEG data as it is.
  const fs::path g3_lsb = Tiffcp(g1, "g1_g3_lsb2msb_be", "-c g3:1d -f lsb2msb -B");
  cases.push_back({g3_lsb, Tiffcp(g3_lsb, "g1_g3_plain", "-c none -f msb2lsb"), 0});
  const fs::path jpeg_lsb = Tiffcp(rgb8, "rgb8_jpeg_lsb2msb", "-c jpeg -f lsb2msb -r 16");
  cases.push_back({jpeg_lsb, Tiffcp(rgb8, "rgb8_jpeg_msb2lsb", "-c jpeg -r 16"), 0});
  // Modified Huffman (compression 2) through Pillow's writer.
  const fs::path mh = dir_ / "g1_mh.tif";
  EXPECT_TRUE(RunOk("/usr/bin/python3 -c " +
                    ShellQuote("import sys; from PIL import Image; Image.open(sys.argv[1]).save(sys.argv[2], "
                               "compression='tiff_ccitt')") +
                    " " + Quote(g1) + " " + Quote(mh)));
  cases.push_back({mh, mh, 0});
  CompareAll(cases);
}

// Orientation 1 to 8 (set with tiffset) turns the picture as Pillow's decode of the
// untagged file turned the same way, in strips and tiles.
TEST_F(TiffPeerTest, OrientationTurnsThePictureUpright) {
  QEL_SKIP_WITHOUT("tiffcp", "tiffset");
  const fs::path rgb8 = MakeSource(kSources[9]);
  std::vector<fs::path> files, references;
  std::vector<int> orientations;
  for (const char* layout : {"-c lzw", "-c packbits -t -w 16 -l 32"}) {
    const fs::path untagged = Tiffcp(rgb8, "untagged_" + std::to_string(files.size()), layout);
    for (int orientation = 1; orientation <= 8; ++orientation) {
      const fs::path file = Tiffcp(untagged, "oriented_" + std::to_string(files.size()), "");
      EXPECT_TRUE(RunOk("tiffset -s 274 " + std::to_string(orientation) + " " + Quote(file)));
      files.push_back(file);
      references.push_back(untagged);
      orientations.push_back(orientation);
    }
  }
  // The reference is decoded once for each orientation: PillowBatch keys by file.
  std::vector<fs::path> copies;
  for (std::size_t i = 0; i < references.size(); ++i) {
    copies.push_back(dir_ / ("reference_" + std::to_string(i) + ".tif"));
    fs::copy_file(references[i], copies.back());
  }
  const auto pillow = PillowBatch(dir_, copies, orientations);
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE("orientation " + std::to_string(orientations[i]));
    ExpectMatches(files[i], copies[i], pillow, 0);
  }
}

// Every TIFF of the corpus either matches Pillow or is refused with a clean message that
// says why. Files the reader refuses on purpose, and why:
struct Refusal {
  const char* file;
  const char* message;
  const char* why;
};
const Refusal kRefusals[] = {
    {"12bit.cropped.tif", "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.",
     "12-bit samples: the colour conversion takes 1 to 8 and 16 bits"},
    {"hopper_unknown_pixel_mode.tif", "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.",
     "32-bit RGB samples"},
    {"8bit.s.tif", "Cannot load image. Signed integer samples are not supported for TIF/TIFF files.",
     "signed samples would show as wrapped-around unsigned values (Pillow refuses the file too)"},
    {"16_bit_binary_pgm.tiff",
     "Cannot load image. Signed integer samples are not supported for TIF/TIFF files.",
     "32-bit signed samples"},
    {"separate_planar_extra_samples.tiff",
     "Cannot load image. Signed integer samples are not supported for TIF/TIFF files.",
     "signed 8-bit samples"},
    {"10ct_32bit_128.tiff", "Cannot load image. Floating-point samples are not supported for TIF/TIFF files.",
     "32-bit floating-point samples"},
    {"hopper_lzma.tif", "Cannot load image. The compression scheme is not supported for TIF/TIFF files.",
     "LZMA compression"},
    {"old-style-jpeg-compression.tif",
     "Cannot load image. The compression scheme is not supported for TIF/TIFF files.", "old-style JPEG"},
    {"old-style-jpeg-compression-no-samplesperpixel.tif",
     "Cannot load image. The compression scheme is not supported for TIF/TIFF files.", "old-style JPEG"},
    {"hopper_bigtiff.tif", "Cannot load image. The BigTIFF layout is not supported for TIF/TIFF files.",
     "BigTIFF (version 43) is another file layout"},
};

// Files that load but differ from Pillow on purpose, with the largest difference.
struct Difference {
  const char* file;
  int tolerance;
  const char* why;
};
const Difference kDifferences[] = {
    {"tiff_strip_planar_16bit_RGB.tiff", 1,
     "16-bit samples are cut to 8 bits as v * 255 / 65535, Pillow shifts them by 8"},
    {"tiff_strip_planar_16bit_RGBa.tiff", 2,
     "16-bit samples cut as above, then associated alpha divided out and drawn over white"},
    {"tiff_tiled_planar_16bit_RGBa.tiff", 2,
     "16-bit samples cut as above, then associated alpha divided out and drawn over white"},
    {"tiff_strip_cmyk_16l_jpeg.tif", 2,
     "16-bit CMYK is converted with 16-bit arithmetic, Pillow shifts to 8 bits and rounds the products"},
    {"tiff_strip_cmyk_jpeg.tif", 1, "CMYK: the reader truncates X * K / 255, Pillow rounds"},
};

TEST_F(TiffPeerTest, CorpusFilesMatchPillowOrAreRefusedWithTheirReason) {
  std::vector<fs::path> files = CorpusFiles({".tif", ".tiff"});
  for (const auto& entry : fs::directory_iterator(CorpusDir() / "tiff_gray_2_4_bpp"))
    files.push_back(entry.path());
  std::map<std::string, const Refusal*> refusals;
  for (const Refusal& r : kRefusals) refusals[r.file] = &r;
  std::map<std::string, const Difference*> differences;
  for (const Difference& d : kDifferences) differences[d.file] = &d;

  std::vector<fs::path> compared;
  for (const fs::path& file : files) {
    const std::string name = file.filename().string();
    if (const auto it = refusals.find(name); it != refusals.end()) {
      SCOPED_TRACE(name + ": " + it->second->why);
      try {
        LoadPictureFile(file.string());
        ADD_FAILURE() << "loaded although it should be refused";
      } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), it->second->message);
      }
      continue;
    }
    compared.push_back(file);
  }
  ASSERT_EQ(refusals.size(), std::size(kRefusals));
  const auto pillow = PillowBatch(dir_, compared);
  for (const fs::path& file : compared) {
    const std::string name = file.filename().string();
    const auto it = differences.find(name);
    if (it == differences.end()) {
      ExpectMatches(file, file, pillow, 0);
      continue;
    }
    SCOPED_TRACE(it->second->why);
    ExpectMatches(file, file, pillow, it->second->tolerance);
  }
}

}  // namespace
}  // namespace qel::test
