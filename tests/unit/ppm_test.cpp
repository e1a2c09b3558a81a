#include <gtest/gtest.h>

#include <string>

#include "import/ppm_reader.h"
#include "side_format_test_helpers.h"

namespace qel {
namespace {

using test::Bytes;
using test::TempDir;

Bytes Text(std::string_view s) {
  return Bytes(s.begin(), s.end());
}

std::unique_ptr<TPPMGraphic> Load(std::string_view text) {
  return test::LoadBytes<TPPMGraphic>(Text(text));
}

std::string LoadError(const Bytes& bytes) {
  return test::ErrorText([&] { test::LoadBytes<TPPMGraphic>(bytes); });
}

TEST(PPMRead, AgreesWithPillowOnNetpbmFilesOfEveryType) {
  TempDir dir;
  const std::string src = test::ShellQuote((test::CorpusDir() / "hopper.ppm").string());
  const std::string d = dir.Path().string() + "/";
  // Raw and plain pixel, gray and bit maps of a real picture, bitmaps of widths that
  // end inside a byte, and flat fills.
  test::Make("pamtopnm " + src + " > " + d + "raw.ppm");
  test::Make("pnmtoplainpnm " + src + " > " + d + "plain.ppm");
  test::Make("ppmtopgm " + src + " > " + d + "raw.pgm");
  test::Make("ppmtopgm " + src + " | pnmtoplainpnm > " + d + "plain.pgm");
  test::Make("ppmtopgm " + src + " | pamditherbw | pamtopnm > " + d + "raw.pbm");
  test::Make("ppmtopgm " + src + " | pamditherbw | pamtopnm | pnmtoplainpnm > " + d + "plain.pbm");
  test::Make("pbmmake -g 13 5 > " + d + "odd.pbm");
  test::Make("pbmmake -g 13 5 | pnmtoplainpnm > " + d + "odd_plain.pbm");
  test::Make("pgmramp -diagonal 37 11 > " + d + "ramp.pgm");
  test::Make("ppmmake '#102030' 7 3 > " + d + "flat.ppm");
  test::Make("ppmmake '#102030' 7 3 | pnmtoplainpnm > " + d + "flat_plain.ppm");
  for (const char* name : {"raw.ppm", "plain.ppm", "raw.pgm", "plain.pgm", "raw.pbm", "plain.pbm", "odd.pbm",
                           "odd_plain.pbm", "ramp.pgm", "flat.ppm", "flat_plain.ppm"}) {
    SCOPED_TRACE(name);
    test::ExpectMatchesPeer(dir / name, test::PillowDecode(dir / name));
  }
}

TEST(PPMRead, CorpusFilesAgreeWithPillow) {
  int compared = 0;
  for (const auto& file : test::CorpusFiles({".ppm", ".pgm", ".pbm"})) {
    SCOPED_TRACE(file.filename().string());
    if (file.filename() == "courB08.pbm") {
      // A PNG stored under a bitmap's name: Pillow goes by the content, the tool by the
      // extension, so the file is refused as no portable map.
      EXPECT_EQ(test::ErrorText([&] { LoadPictureFile(file.string()); }),
                "Cannot load image. Invalid or unexpected PBM, PGM or PPM image format.");
      continue;
    }
    test::ExpectMatchesPeer(file, test::PillowDecode(file));
    ++compared;
  }
  EXPECT_GE(compared, 4);
}

TEST(PPMRead, SamplesAreTakenAsTheyAreWhateverTheMaximum) {
  // Unlike the peers, the maximum value does not scale the samples: a gray map with
  // maximum 15 shows 0..15 as very dark grays (Pillow and netpbm would stretch them
  // to 0..255).
  auto dark = Load("P2\n4 1\n15\n0 5 10 15\n");
  ASSERT_EQ(dark->PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(dark->PixelColor(1, 0), RGBColor(5, 5, 5));
  EXPECT_EQ(dark->PixelColor(3, 0), RGBColor(15, 15, 15));
  // Plain values above 255 keep their low byte.
  auto wide = Load("P3\n1 1\n65535\n256 511 65535\n");
  EXPECT_EQ(wide->PixelColor(0, 0), RGBColor(0, 255, 255));
  // A 16-bit raw map is read as bytes: the first pixel takes the high and low byte of
  // the first sample and the high byte of the second (peers read 16-bit samples).
  Bytes raw16 = Text("P6\n2 1\n65535\n");
  for (std::uint8_t v : {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0, 0, 0, 0, 0, 0}) raw16.push_back(v);
  auto g = test::LoadBytes<TPPMGraphic>(raw16);
  EXPECT_EQ(g->PixelColor(0, 0), RGBColor(0x12, 0x34, 0x56));
  EXPECT_EQ(g->PixelColor(1, 0), RGBColor(0x78, 0x9A, 0xBC));
}

TEST(PPMRead, BitmapsPackEightPixelsABytePaletteWhiteFirst) {
  // Width 10: two bytes a row, the second holding two pixels in its top bits.
  auto plain = Load("P1\n10 2\n1 0 1 1 0 0 0 1 1 1\n0000000001\n");
  ASSERT_EQ(plain->PixelFormat(), TPixelFormat::pf1bit);
  EXPECT_EQ(plain->ScanLine(0)[0], 0xB1);
  EXPECT_EQ(plain->ScanLine(0)[1], 0xC0);
  EXPECT_EQ(plain->ScanLine(1)[0], 0x00);
  EXPECT_EQ(plain->ScanLine(1)[1], 0x40);
  ASSERT_EQ(plain->PaletteRef().size(), 2u);
  EXPECT_EQ(plain->PixelColor(0, 0), RGBColor(0, 0, 0));        // 1 is black
  EXPECT_EQ(plain->PixelColor(1, 0), RGBColor(255, 255, 255));  // 0 is white
  // The raw form of the same rows.
  Bytes raw = Text("P4\n10 2\n");
  for (std::uint8_t v : {0xB1, 0xC0, 0x00, 0x40}) raw.push_back(v);
  auto packed = test::LoadBytes<TPPMGraphic>(raw);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(packed->PixelColor(x, y), plain->PixelColor(x, y)) << x << "," << y;
}

TEST(PPMRead, HeaderCommentsAndLineEnds) {
  // A trailing comment on the magic's line, two comment lines before the width,
  // numbers on later lines, CR LF line ends, and a comment between width and height.
  auto a = Load("P6 # made by hand\r\n# one\n# two\n2\n# between\n1 255\n\x01\x02\x03\x04\x05\x06");
  ASSERT_EQ(a->Width(), 2);
  EXPECT_EQ(a->PixelColor(0, 0), RGBColor(1, 2, 3));
  EXPECT_EQ(a->PixelColor(1, 0), RGBColor(4, 5, 6));
  // The whole header on one line, and a plain map whose last number ends the file.
  EXPECT_EQ(Load("P5 2 1 255\n\x07\x08")->PixelColor(1, 0), RGBColor(8, 8, 8));
  EXPECT_EQ(Load("P2 2 1 255 3 9")->PixelColor(1, 0), RGBColor(9, 9, 9));

  TPPMGraphic g;
  TMemoryStream s(Text("P3\n# size\n640 480\n255\n"));
  ASSERT_TRUE(g.ReadProperties(s, 0));
  EXPECT_EQ(g.ImageProperties().Width, 640u);
  EXPECT_EQ(g.ImageProperties().Height, 480u);
  EXPECT_EQ(g.ImageProperties().ColorScheme, ColorScheme::schRGB);
  EXPECT_EQ(g.ImageProperties().BitsPerPixel, 24);
}

TEST(PPMRead, StreamTestNeedsElevenBytesAndAKnownType) {
  TPPMGraphic g;
  const auto recognizes = [&](std::string_view text) {
    TMemoryStream s(Text(text));
    s.SetPosition(1);
    const bool answer = g.RecognizesStream(s);
    EXPECT_EQ(s.Position(), 1u);
    return answer;
  };
  EXPECT_TRUE(recognizes("xP6\n1 1\n255\nabc"));
  EXPECT_TRUE(recognizes("xP1\n1 1\n0 0 0 0"));
  EXPECT_FALSE(recognizes("xP7\n1 1\n255\nabc"));
  EXPECT_FALSE(recognizes("xQ6\n1 1\n255\nabc"));
  EXPECT_FALSE(recognizes("xP6 1 1 255"));  // exactly 10 bytes after the position
}

TEST(PPMRead, BadFilesFailWithTheReadersMessages) {
  const std::string read_error = "Stream read error in PPM file.";
  const std::string invalid = "Cannot load image. Invalid or unexpected PBM, PGM or PPM image format.";
  EXPECT_EQ(LoadError(Text("P5\n2 2\n255\n\x01\x02\x03")), read_error);
  EXPECT_EQ(LoadError(Text("P3\n2 1\n255\n1 2 3 4 5")), read_error);
  EXPECT_EQ(LoadError(Text("P2\n2 1\n255\n1 # no second value\n")), read_error);
  EXPECT_EQ(LoadError(Text("P6\n2")), read_error);
  EXPECT_EQ(LoadError(Text("")), invalid);
  EXPECT_EQ(LoadError(Text("GIF89a")), invalid);
  // Types other than 1 to 6 (a PAM file, say) are refused rather than left empty.
  EXPECT_EQ(LoadError(Text("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 3\nMAXVAL 255\nENDHDR\n\x01\x02\x03")), invalid);
  EXPECT_EQ(LoadError(Text("P6\n99999999999 1\n255\n")), invalid);
  // A huge size with little data fails before a bitmap is made.
  EXPECT_EQ(LoadError(Text("P5\n30000 30000\n255\n\x01\x02")), read_error);
  EXPECT_THROW(Load("P5\n100000 100000\n255\n"), EOutOfResources);
  // A zero size is an empty picture.
  EXPECT_TRUE(Load("P6\n0 5\n255\n")->Empty());

  TempDir dir;
  test::Make("pnmtoplainpnm " + test::ShellQuote((test::CorpusDir() / "hopper.ppm").string()) + " > " +
             test::ShellQuote((dir / "p.ppm").string()));
  const Bytes plain = test::ReadFileBytes(dir / "p.ppm");
  test::ExpectDamageFailsCleanly<TPPMGraphic>(Bytes(plain.begin(), plain.begin() + 4000), 20, 11);
  test::ExpectDamageFailsCleanly<TPPMGraphic>(test::ReadFileBytes(test::CorpusDir() / "hopper.ppm"), 20, 12);
}

TEST(PPMRead, ProgressRowByRow) {
  test::ProgressRecorder log;
  TPPMGraphic g;
  g.SetObserver(&log);
  TMemoryStream s(Text("P5 1 2 255\n\x01\x02"));
  g.LoadFromStream(s);
  EXPECT_EQ(log.entries, (std::vector<std::string>{"0:0:Transfering...", "1:50:Transfering...",
                                                   "1:100:Transfering...", "2:100:Transfering..."}));
}

}  // namespace
}  // namespace qel
