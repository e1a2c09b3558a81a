// The run-length decoders: the cases that tell their codes apart, peer-made PackBits
// and SGI data, and input that lies about its sizes.
#include <gtest/gtest.h>

#include "import/codecs/cut_rle_decoder.h"
#include "import/codecs/packbits_decoder.h"
#include "import/codecs/pcx_rle_decoder.h"
#include "import/codecs/psp_rle_decoder.h"
#include "import/codecs/rla_decoder.h"
#include "import/codecs/sgi_rle_decoder.h"
#include "support/test_support.h"
#include "unit/import/codecs/test_util.h"
#include "unit/import/codecs/tiff_strips.h"

namespace qel {
namespace {

using test::Bytes;
using test::Concat;
using test::DecodeAll;
using test::DecodeBounded;
using test::Repeat;

TEST(CodecsPackBits, LiteralsRunsAndTheNoOp) {
  TPackbitsRLEDecoder d;
  // The classic sample stream: runs, literals and a -128 no-op in the middle.
  const auto packed =
      Bytes({0xFE, 0xAA, 0x02, 0x80, 0x00, 0x2A, 0xFD, 0xAA, 0x03, 0x80, 0x00, 0x2A, 0x22, 0xF7, 0xAA});
  const auto expected = Bytes({0xAA, 0xAA, 0xAA, 0x80, 0x00, 0x2A, 0xAA, 0xAA, 0xAA, 0xAA, 0x80, 0x00,
                               0x2A, 0x22, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA});
  EXPECT_EQ(DecodeAll(d, packed, expected.size()), expected);
  // -128 consumes only itself: the byte after it is the next control byte.
  EXPECT_EQ(DecodeAll(d, Bytes({0x80, 0x01, 0x11, 0x22}), 2), Bytes({0x11, 0x22}));
  EXPECT_EQ(DecodeAll(d, Bytes({0x80, 0x80, 0xFF, 0x33}), 2), Bytes({0x33, 0x33}));
}

TEST(CodecsPackBits, StopsAtBothLimits) {
  TPackbitsRLEDecoder d;
  // A run of 128 into 5 bytes, a literal of 128 into 3.
  EXPECT_EQ(DecodeAll(d, Bytes({0x81, 0x44}), 5), Repeat(0x44, 5));
  EXPECT_EQ(DecodeAll(d, Concat(Bytes({0x7F}), Repeat(0x55, 128)), 3), Repeat(0x55, 3));
  // A literal that claims 4 bytes with only 2 offered; the poison byte stays unread.
  EXPECT_EQ(DecodeBounded(d, Bytes({0x03, 0x01, 0x02, 0x99}), 3, 4, 0x00), Bytes({0x01, 0x02, 0x00, 0x00}));
  // A run whose value byte lies beyond the input writes nothing.
  EXPECT_EQ(DecodeBounded(d, Bytes({0xFD, 0x99}), 1, 4, 0x00), Repeat(0x00, 4));
}

// Every PackBits strip that tiffcp writes decodes to the bytes of the uncompressed copy.
TEST(CodecsPackBits, AgreesWithLibtiff) {
  QEL_SKIP_WITHOUT("tiffcp");
  test::TempDir dir;
  for (const char* name : {"hopper.tif", "8bit.s.tif", "hopper_g4_500.tif"}) {
    const auto input = test::CorpusDir() / name;
    ASSERT_TRUE(test::Tiffcp("-c packbits -r 16", input, dir / "packed.tif")) << name;
    ASSERT_TRUE(test::Tiffcp("-c none -r 16", input, dir / "plain.tif")) << name;
    const auto packed = test::ReadTiffStrips(dir / "packed.tif");
    const auto plain = test::ReadTiffStrips(dir / "plain.tif");
    ASSERT_TRUE(packed && plain) << name;
    ASSERT_EQ(packed->compression, 32773u);
    ASSERT_EQ(packed->strips.size(), plain->strips.size());
    TPackbitsRLEDecoder d;
    for (std::size_t i = 0; i < packed->strips.size(); ++i)
      ASSERT_EQ(DecodeAll(d, packed->strips[i], plain->strips[i].size()), plain->strips[i])
          << name << " strip " << i;
  }
}

TEST(CodecsPCX, RunsLiteralsAndTheEmptyRun) {
  TPCXRLEDecoder d;
  EXPECT_EQ(DecodeAll(d, Bytes({0x12, 0xC3, 0x34, 0xC1, 0xC5, 0x56}), 6),
            Bytes({0x12, 0x34, 0x34, 0x34, 0xC5, 0x56}));
  // 0xC0 is a run of nothing that still takes its value byte.
  EXPECT_EQ(DecodeAll(d, Bytes({0xC0, 0x77, 0x01}), 1), Bytes({0x01}));
}

TEST(CodecsPCX, StopsAtBothLimits) {
  TPCXRLEDecoder d;
  EXPECT_EQ(DecodeAll(d, Bytes({0xFF, 0x20}), 10), Repeat(0x20, 10));
  // Input that ends before the output is complete leaves the rest as it was.
  EXPECT_EQ(DecodeBounded(d, Bytes({0xC2, 0x20, 0xC2, 0x21}), 3, 4, 0x00), Bytes({0x20, 0x20, 0x00, 0x00}));
}

TEST(CodecsSGI, EightBitRunsEndAtZeroCount) {
  TSGIRLEDecoder d(8);
  EXPECT_EQ(DecodeAll(d, Bytes({0x83, 1, 2, 3, 0x02, 9, 0x00, 0x05, 7}), 8, 0xFF),
            Bytes({1, 2, 3, 9, 9, 0xFF, 0xFF, 0xFF}));
}

TEST(CodecsSGI, SixteenBitLiteralThenFill) {
  TSGIRLEDecoder d(16);
  // A literal run of three samples, then a fill run of two: the fill lands after all
  // six literal bytes, and samples keep their big-endian byte order.
  const auto packed =
      Bytes({0x00, 0x83, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x00, 0x02, 0xAB, 0xCD, 0x00, 0x00});
  EXPECT_EQ(DecodeAll(d, packed, 10), Bytes({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xAB, 0xCD, 0xAB, 0xCD}));
}

TEST(CodecsSGI, StopsAtBothLimits) {
  TSGIRLEDecoder eight(8), sixteen(16);
  EXPECT_EQ(DecodeAll(eight, Bytes({0x7F, 0x42}), 5), Repeat(0x42, 5));
  EXPECT_EQ(DecodeBounded(eight, Bytes({0x85, 1, 2, 0x99}), 3, 5, 0), Bytes({1, 2, 0, 0, 0}));
  EXPECT_EQ(DecodeAll(sixteen, Bytes({0x00, 0x7F, 0x12, 0x34}), 6),
            Bytes({0x12, 0x34, 0x12, 0x34, 0x12, 0x34}));
  // A literal with a sample and a half of input copies the whole sample only.
  EXPECT_EQ(DecodeBounded(sixteen, Bytes({0x00, 0x83, 1, 2, 3, 0x99}), 5, 6, 0), Bytes({1, 2, 0, 0, 0, 0}));
}

// Run-length SGI files (8-bit ones written by ImageMagick, a 16-bit one from the corpus):
// every compressed channel row expands to the bytes of ImageMagick's uncompressed copy.
TEST(CodecsSGI, AgreesWithImageMagick) {
  QEL_SKIP_WITHOUT("convert");
  test::TempDir dir;
  auto convert = [](const std::filesystem::path& in, const std::string& options,
                    const std::filesystem::path& out) {
    return test::RunCommand("/usr/bin/convert " + test::ShellQuote(in.string()) + " " + options + " " +
                            test::ShellQuote(out.string())) == 0;
  };
  ASSERT_TRUE(convert(test::CorpusDir() / "hopper.tif", "-compress RLE", dir / "rle8.sgi"));
  ASSERT_TRUE(convert(test::CorpusDir() / "hopper.tif", "-compress None", dir / "raw8.sgi"));
  ASSERT_TRUE(convert(test::CorpusDir() / "tv16.sgi", "-compress None", dir / "raw16.sgi"));
  const std::pair<std::filesystem::path, std::filesystem::path> pairs[] = {
      {dir / "rle8.sgi", dir / "raw8.sgi"}, {test::CorpusDir() / "tv16.sgi", dir / "raw16.sgi"}};
  for (const auto& [rle, raw] : pairs) {
    const auto packed = test::ReadFileBytes(rle), plain = test::ReadFileBytes(raw);
    ASSERT_GT(packed.size(), 512u);
    ASSERT_EQ(packed[2], 1) << rle << " is not run-length coded";
    ASSERT_EQ(packed[3], plain[3]) << "the uncompressed copy changed the depth";
    const unsigned bpc = packed[3];
    const unsigned width = packed[6] << 8 | packed[7], height = packed[8] << 8 | packed[9];
    const unsigned channels = packed[10] << 8 | packed[11];
    const std::size_t row_bytes = std::size_t{width} * bpc;
    ASSERT_EQ(plain.size(), 512 + row_bytes * height * channels);
    auto be32 = [&](std::size_t at) {
      return std::uint32_t{packed[at]} << 24 | packed[at + 1] << 16 | packed[at + 2] << 8 | packed[at + 3];
    };
    TSGIRLEDecoder d(bpc * 8);
    const std::size_t rows = std::size_t{height} * channels;
    for (std::size_t r = 0; r < rows; ++r) {
      const std::uint32_t offset = be32(512 + 4 * r), length = be32(512 + 4 * (rows + r));
      ASSERT_LE(std::size_t{offset} + length, packed.size());
      const std::vector<std::uint8_t> row(packed.begin() + offset, packed.begin() + offset + length);
      const auto expected_begin = plain.begin() + static_cast<std::ptrdiff_t>(512 + r * row_bytes);
      ASSERT_EQ(DecodeAll(d, row, row_bytes),
                std::vector<std::uint8_t>(expected_begin, expected_begin + row_bytes))
          << rle << " row " << r;
    }
  }
}

TEST(CodecsCUT, LinesFollowEachOtherThroughTheSourcePointer) {
  TCUTRLEDecoder d;
  // Two length bytes, a run of three 0x41, the closing 0; then a second line.
  const auto data =
      Bytes({0x04, 0x00, 0x83, 0x41, 0x00, 0x05, 0x00, 0x02, 0x10, 0x20, 0x81, 0x30, 0x00, 0x99});
  std::vector<std::uint8_t> row(3);
  const std::uint8_t* source = data.data();
  std::uint8_t* dest = row.data();
  d.Decode(source, dest, data.size(), row.size());
  EXPECT_EQ(row, Bytes({0x41, 0x41, 0x41}));
  EXPECT_EQ(source, data.data() + 5);
  EXPECT_EQ(dest, row.data());
  d.Decode(source, dest, data.size() - 5, row.size());
  EXPECT_EQ(row, Bytes({0x10, 0x20, 0x30}));
  EXPECT_EQ(source, data.data() + 13);
}

TEST(CodecsCUT, LongLinesAreReadToTheirEndAndShortInputStops) {
  TCUTRLEDecoder d;
  // A line of 2 + 5 pixels into a scanline of 3: the extra pixels are dropped, and the
  // pointer still ends after the line's 0.
  const auto data = Bytes({0, 0, 0x02, 1, 2, 0x85, 7, 0x00, 0xAA});
  std::vector<std::uint8_t> out(3 + test::kGuardSize, test::kGuard);
  const std::uint8_t* source = data.data();
  std::uint8_t* dest = out.data();
  d.Decode(source, dest, data.size(), 3);
  EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 3), Bytes({1, 2, 7}));
  EXPECT_EQ(out[3], test::kGuard);
  EXPECT_EQ(source, data.data() + 8);
  // A line without its 0 leaves the pointer at the end of what was offered.
  const auto open = Bytes({0, 0, 0x03, 1, 2, 3, 0x00});
  source = open.data();
  d.Decode(source, dest, 5, 3);
  EXPECT_EQ(source, open.data() + 5);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[2], 7);  // the literal's third byte was beyond the input
}

TEST(CodecsPSP, RunsLiteralsAndTheEmptyRun) {
  TPSPRLEDecoder d;
  EXPECT_EQ(DecodeAll(d, Bytes({0x83, 0x09, 0x80, 0x55, 0x02, 0x01, 0x02}), 5), Bytes({9, 9, 9, 1, 2}));
  EXPECT_EQ(DecodeAll(d, Bytes({0xFF, 0x01}), 4), Repeat(0x01, 4));
  EXPECT_EQ(DecodeBounded(d, Bytes({0x04, 1, 2, 0x99}), 3, 4, 0), Bytes({1, 2, 0, 0}));
}

TEST(CodecsRLA, NegativeCountsAreLiterals) {
  TRLADecoder d;
  EXPECT_EQ(DecodeAll(d, Bytes({0xFE, 0x05, 0x06, 0x02, 0x07}), 5), Bytes({5, 6, 7, 7, 7}));
  EXPECT_EQ(DecodeAll(d, Bytes({0x7F, 0x01}), 3), Repeat(0x01, 3));
  EXPECT_EQ(DecodeBounded(d, Bytes({0x80, 1, 2, 0x99}), 3, 4, 0), Bytes({1, 2, 0, 0}));
}

// Zero-sized input or output (null pointers, as an empty row gives) does nothing.
TEST(CodecsRLE, EmptyBuffersAreFine) {
  TPackbitsRLEDecoder packbits;
  TPCXRLEDecoder pcx;
  TSGIRLEDecoder sgi8(8), sgi16(16);
  TCUTRLEDecoder cut;
  TPSPRLEDecoder psp;
  TRLADecoder rla;
  const auto data = Bytes({0x00, 0x00, 0x83, 0x41, 0x00});
  for (TDecoder* d : std::initializer_list<TDecoder*>{&packbits, &pcx, &sgi8, &sgi16, &cut, &psp, &rla}) {
    const std::uint8_t* source = data.data();
    std::uint8_t* dest = nullptr;
    d->Decode(source, dest, data.size(), 0);
    const std::uint8_t* nothing = nullptr;
    std::uint8_t out[4] = {1, 2, 3, 4};
    dest = out;
    d->Decode(nothing, dest, 0, sizeof out);
    EXPECT_EQ(out[0], 1);
  }
}

}  // namespace
}  // namespace qel
