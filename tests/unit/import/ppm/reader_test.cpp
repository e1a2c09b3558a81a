#include <gtest/gtest.h>

#include "import/ppm/reader.h"
#include "unit/import/side_format_helpers.h"

namespace qel {
namespace {

using test::Bytes;
using test::Peer;

Bytes Text(std::string_view s) {
  return Bytes(s.begin(), s.end());
}
std::unique_ptr<TPPMGraphic> Load(std::string_view text) {
  return test::LoadBytes<TPPMGraphic>(Text(text));
}
std::string Error(std::string_view text) {
  return test::LoadError<TPPMGraphic>(Text(text));
}

TEST(PPMRead, AgreesWithPillowOnNetpbmFilesAndTheCorpus) {
  QEL_SKIP_WITHOUT("netpbm", "pillow");
  test::TempDir dir;
  const std::string d = dir.Path().string() + "/";
  const std::string hopper = test::ShellQuote((test::CorpusDir() / "hopper.ppm").string());
  const std::string bits = "ppmtopgm " + hopper + " | pamditherbw | pamtopnm";
  // Raw and plain forms of every type (netpbm's plain bitmaps have no separators),
  // bitmaps whose rows end inside a byte, ramps and flat fills.
  const std::pair<const char*, std::string> cases[] = {
      {"raw.ppm", "pamtopnm " + hopper},
      {"plain.ppm", "pnmtoplainpnm " + hopper},
      {"raw.pgm", "ppmtopgm " + hopper},
      {"plain.pgm", "ppmtopgm " + hopper + " | pnmtoplainpnm"},
      {"raw.pbm", bits},
      {"plain.pbm", bits + " | pnmtoplainpnm"},
      {"odd.pbm", "pbmmake -g 13 5"},
      {"odd_plain.pbm", "pbmmake -g 13 5 | pnmtoplainpnm"},
      {"ramp.pgm", "pgmramp -diagonal 37 11"},
      {"flat.ppm", "ppmmake '#102030' 7 3 | pnmtoplainpnm"},
  };
  for (const auto& [name, make] : cases) {
    SCOPED_TRACE(name);
    test::Make(make + " > " + d + name);
    test::ExpectMatchesPeer(dir / name, Peer::kPillow);
  }
  for (const auto& file : test::CorpusFiles({".ppm", ".pgm", ".pbm"})) {
    SCOPED_TRACE(file.filename().string());
    if (file.filename() != "courB08.pbm") {
      test::ExpectMatchesPeer(file, Peer::kPillow);
      test::ExpectDamageFailsCleanly<TPPMGraphic>(test::ReadFileBytes(file), 20);
    } else {
      // A PNG under a bitmap's name: Pillow goes by the content, the tool by the
      // extension, and refuses it.
      EXPECT_THROW(LoadPictureFile(file.string()), EInvalidGraphic);
    }
  }
}

TEST(PPMRead, EveryMaximumValueIsStretchedAsImageMagickDoes) {
  QEL_SKIP_WITHOUT("netpbm", "convert");
  // Maximum values below and above 255, raw (two bytes a sample above 255) and plain,
  // written by netpbm and ImageMagick: each sample is stretched to 0..255 by rounding.
  test::TempDir dir;
  const std::string d = dir.Path().string() + "/";
  const std::string hopper = test::ShellQuote((test::CorpusDir() / "hopper.ppm").string());
  const std::pair<const char*, std::string> cases[] = {
      {"deep.ppm", "pamdepth 65535 " + hopper},
      {"deep_plain.ppm", "pamdepth 65535 " + hopper + " | pnmtoplainpnm"},
      {"deep.pgm", "ppmtopgm " + hopper + " | pamdepth 65535"},
      {"ramp16.pgm", "pgmramp -lr 256 4 | pamdepth 65535"},
      {"odd1000.ppm", "pamdepth 1000 " + hopper},
      {"magick16.ppm", "/usr/bin/convert " + hopper + " -depth 16 ppm:-"},
      {"magick16.pgm", "/usr/bin/convert " + hopper + " -colorspace gray -depth 16 pgm:-"},
      {"low15.pgm", "pgmramp -diagonal 37 11 | pamdepth 15"},
      {"low15_plain.pgm", "pgmramp -diagonal 37 11 | pamdepth 15 | pnmtoplainpnm"},
      {"low3_plain.ppm", "pamdepth 3 " + hopper + " | pnmtoplainpnm"},
      {"low1.pgm", "pgmramp -lr 9 2 | pamdepth 1"},
  };
  for (const auto& [name, make] : cases) {
    SCOPED_TRACE(name);
    test::Make(make + " > " + d + name);
    test::ExpectMatchesPeer(dir / name, Peer::kImageMagickAlphaOff, 1);
  }
  // Figures: maximum 15 shows 0..15 as 0..255; plain values above the maximum count as
  // the maximum; a 16-bit raw map reads two bytes a sample, big-endian.
  EXPECT_EQ(Load("P2\n4 1\n15\n0 5 10 15\n")->PixelColor(1, 0), RGBColor(85, 85, 85));
  EXPECT_EQ(Load("P3\n1 1\n65535\n256 32896 70000\n")->PixelColor(0, 0), RGBColor(1, 128, 255));
  auto raw16 = Load("P6\n2 1\n65535\n\x12\x34\x56\x78\x9A\xBC\x01\x01\xFF\xFF\x80\x01");
  EXPECT_EQ(raw16->PixelColor(0, 0), RGBColor(0x12, 0x56, 0x9A));
  EXPECT_EQ(raw16->PixelColor(1, 0), RGBColor(1, 255, 128));
}

TEST(PPMRead, BitmapRowsAndHeaders) {
  // Width 10: two bytes a row, the second with two pixels in its top bits; 1 is black.
  auto plain = Load("P1\n10 2\n1 0 1 1 0 0 0 1 1 1\n0000000001\n");
  ASSERT_EQ(plain->PixelFormat(), TPixelFormat::pf1bit);
  EXPECT_EQ(Bytes(plain->ScanLine(0), plain->ScanLine(0) + 2), (Bytes{0xB1, 0xC0}));
  EXPECT_EQ(Bytes(plain->ScanLine(1), plain->ScanLine(1) + 2), (Bytes{0x00, 0x40}));
  EXPECT_EQ(plain->PixelColor(0, 0), RGBColor(0, 0, 0));
  EXPECT_EQ(plain->PixelColor(1, 0), RGBColor(255, 255, 255));
  EXPECT_EQ(Load("P4\n10 1\n\xB1\xC0")->PixelColor(8, 0), RGBColor(0, 0, 0));

  // A comment after the magic, two comment lines before the width, numbers on later
  // lines, CR LF ends; the whole header on one line; a last number that ends the file.
  auto a = Load("P6 # by hand\r\n# one\n# two\n2\n# between\n1 255\n\x01\x02\x03\x04\x05\x06");
  EXPECT_EQ(a->PixelColor(1, 0), RGBColor(4, 5, 6));
  EXPECT_EQ(Load("P5 2 1 255\n\x07\x08")->PixelColor(1, 0), RGBColor(8, 8, 8));
  EXPECT_EQ(Load("P2 2 1 255 3 9")->PixelColor(1, 0), RGBColor(9, 9, 9));

  TPPMGraphic g;
  for (auto [text, answer] : {std::pair{"xP6\n1 1\n255\nabc", true},
                              {"xP7\n1 1\n255\nabc", false},
                              {"xQ6\n1 1\n255\nabc", false},
                              {"xP6 1 1 255", false}}) {
    TMemoryStream s(Text(text));
    s.SetPosition(1);
    EXPECT_EQ(g.RecognizesStream(s), answer) << text;
    EXPECT_EQ(s.Position(), 1u);
  }
}

TEST(PPMRead, BadFilesFail) {
  const std::string read_error = "Stream read error in PPM file.";
  const std::string invalid = "Cannot load image. Invalid or unexpected PBM, PGM or PPM image format.";
  EXPECT_EQ(Error("P5\n2 2\n255\n\x01\x02\x03"), read_error);
  EXPECT_EQ(Error("P3\n2 1\n255\n1 2 3 4 5"), read_error);
  EXPECT_EQ(Error("P2\n2 1\n255\n1 # no second value\n"), read_error);
  EXPECT_EQ(Error("P6\n2"), read_error);
  EXPECT_EQ(Error("P5\n30000 30000\n255\n\x01\x02"), read_error);  // before a bitmap is made
  EXPECT_EQ(Error("P5\n2 1\n65535\n\x01\x02\x03"), read_error);    // two bytes a sample
  for (const char* header : {"P5 0 1 255\n", "P4 3 0\n", "P2 1 1 0\n", "P6 1 1 65536\n"})
    EXPECT_EQ(Error(std::string(header) + "\x01\x02\x03\x04\x05\x06"), invalid) << header;
  EXPECT_EQ(Error(""), invalid);
  EXPECT_EQ(Error("P6\n99999999999 1\n255\n"), invalid);
  // Other types (a PAM file, say) are refused rather than left empty.
  EXPECT_EQ(Error("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 3\nMAXVAL 255\nENDHDR\n\x01\x02\x03"), invalid);
  EXPECT_THROW(Load("P5\n100000 100000\n255\n"), EOutOfResources);
}

}  // namespace
}  // namespace qel
