// The fax decoders: libtiff's and Pillow's Group 3, Group 4 and Modified Huffman strips,
// and hand-made rows for word alignment, bit order, long runs and short rows.
#include <gtest/gtest.h>

#include "import/codecs/ccitt_fax3_decoder.h"
#include "import/codecs/ccitt_fax4_decoder.h"
#include "import/codecs/ccitt_mh_decoder.h"
#include "support/test_support.h"
#include "unit/import/codecs/test_util.h"
#include "unit/import/codecs/tiff_strips.h"

namespace qel {
namespace {

using test::Bytes;
using test::DecodeAll;

// Bytes from a string of '0' and '1' (other characters ignored), most significant bit
// first, the last byte padded with zeros.
std::vector<std::uint8_t> Bits(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  std::size_t n = 0;
  for (char c : text) {
    if (c != '0' && c != '1') continue;
    if (n % 8 == 0) bytes.push_back(0);
    if (c == '1') bytes.back() |= static_cast<std::uint8_t>(0x80 >> (n % 8));
    ++n;
  }
  return bytes;
}

std::vector<std::uint8_t> ReverseBits(std::vector<std::uint8_t> bytes) {
  for (auto& b : bytes) {
    std::uint8_t r = 0;
    for (int i = 0; i < 8; ++i)
      if (b & (1 << i)) r |= static_cast<std::uint8_t>(0x80 >> i);
    b = r;
  }
  return bytes;
}

constexpr const char* kEndOfLine = "000000000001";

TEST(CodecsCCITT, ModifiedHuffmanRowsAreByteOrWordAligned) {
  // Row 1: white 8 (10011), padded to the byte. Row 2 starts on the next byte, or with
  // word alignment on the next even byte (byte 1 is then skipped): white 0, black 8.
  const auto byte_aligned = Bits("10011000 00110101 00010100");
  const auto word_aligned = Bits("10011000 11111111 00110101 00010100");
  TCCITTMHDecoder plain(0, false, false, 8), word(0, false, true, 8);
  EXPECT_EQ(DecodeAll(plain, byte_aligned, 2), Bytes({0x00, 0xFF}));
  EXPECT_EQ(DecodeAll(word, word_aligned, 2), Bytes({0x00, 0xFF}));
  // Bit reversal happens while reading; the caller's bytes stay as they were.
  TCCITTMHDecoder reversed(0, true, false, 8);
  const auto swapped = ReverseBits(byte_aligned);
  EXPECT_EQ(DecodeAll(reversed, swapped, 2), Bytes({0x00, 0xFF}));
  EXPECT_EQ(swapped, ReverseBits(byte_aligned));
}

TEST(CodecsCCITT, RunsAreCutAtTheRowEnd) {
  // Rows of 12 pixels: white 0, black 64 + 0 (longer than the row) completes row 1;
  // row 2 is white 3, black 9.
  const auto data = Bits("00110101 0000001111 0000110111 0000  1000 000100");
  TCCITTMHDecoder d(0, false, false, 12);
  EXPECT_EQ(DecodeAll(d, data, 4), Bytes({0xFF, 0xF0, 0x1F, 0xF0}));
  // An image of one row: nothing of the second row may land past the output.
  EXPECT_EQ(DecodeAll(d, data, 2), Bytes({0xFF, 0xF0}));
  // Runs past the end of a 2-byte output in a row of 64 pixels.
  TCCITTMHDecoder wide(0, false, false, 64);
  EXPECT_EQ(DecodeAll(wide, Bits("00110101 0000001111 0000110111"), 2), Bytes({0xFF, 0xFF}));
}

TEST(CodecsCCITT, Group3RowsFollowTheirEndOfLineCodes) {
  // Rows of 16 pixels. Row 1 (after fill bits) is white 2, black 14; row 2 is cut short
  // by an end-of-line code after white 4 and stays white from there; row 3, right after
  // that code, is black 16 (white 0 first). The closing end-of-line codes add no rows.
  const std::string data = std::string("0000") + kEndOfLine + "0111 00000111" + kEndOfLine + "1011" +
                           kEndOfLine + "00110101 0000010111" + kEndOfLine + kEndOfLine + kEndOfLine;
  TCCITTFax3Decoder d(0, false, false, 16);
  EXPECT_EQ(DecodeAll(d, Bits(data), 8, 0xAA), Bytes({0x3F, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00}));
}

TEST(CodecsCCITT, TwoDimensionalRowsReadTheirModesAgainstTheRowBefore) {
  // Rows of 16 pixels. Row 1 (one-dimensional): white 4, black 8, white 4. Row 2 (two-
  // dimensional): VR1 (black from 5), V0 (white from 12), V0 (b1 is the row's end).
  // Row 3: pass (b2 = 12: white up to it), VL1 (black from 15), V0 (black to the end).
  const std::string rows =
      std::string("1011 000101 1011") + kEndOfLine + "0" + "011 1 1" + kEndOfLine + "0" + "0001 010 1";
  TCCITTFax3Decoder g3(1, false, false, 16);
  EXPECT_EQ(DecodeAll(g3, Bits(std::string(kEndOfLine) + "1" + rows), 6),
            Bytes({0x0F, 0xF0, 0x07, 0xF0, 0x00, 0x01}));
  // The same two-dimensional rows in Group 4, after a first row coded horizontally
  // (white 4, black 8, then V0 to the end). The end-of-block code stops decoding.
  const std::string g4 =
      std::string("001 1011 000101 1") + "011 1 1" + "0001 010 1" + kEndOfLine + kEndOfLine;
  TCCITTFax4Decoder d(0, false, false, 16);
  EXPECT_EQ(DecodeAll(d, Bits(g4), 8, 0xAA), Bytes({0x0F, 0xF0, 0x07, 0xF0, 0x00, 0x01, 0x00, 0x00}));
  // Row 1: white 4, black 2. Row 2: V0 (black from 4), then VL3 would put the next change
  // at 3, left of the coding position: the strip ends there and the rest stays white.
  EXPECT_EQ(DecodeAll(d,
                      Bits("001 1011 11 1"
                           "1 0000010 1"),
                      6, 0xAA),
            Bytes({0x0C, 0x00, 0, 0, 0, 0}));
}

struct PeerStrips {
  test::TiffStrips packed, plain;
};

// Encodes input with the command (which writes its second argument), and takes the
// uncompressed strips of the result from tiffcp.
std::optional<PeerStrips> MakeStrips(const test::TempDir& dir, const std::string& command,
                                     const std::filesystem::path& input) {
  const auto packed_file = dir / "packed.tif", plain_file = dir / "plain.tif";
  std::string log;
  if (test::RunCommand(
          command + " " + test::ShellQuote(input.string()) + " " + test::ShellQuote(packed_file.string()),
          &log) != 0) {
    ADD_FAILURE() << command << ": " << log;
    return std::nullopt;
  }
  if (!test::Tiffcp("-c none -f msb2lsb", packed_file, plain_file)) return std::nullopt;
  auto packed = test::ReadTiffStrips(packed_file);
  auto plain = test::ReadTiffStrips(plain_file);
  if (!packed || !plain) return std::nullopt;
  return PeerStrips{*packed, *plain};
}

// Group 3 one-dimensional strips written by libtiff, with and without fill bits and
// in both bit orders, decode to the bytes of the uncompressed copy. The wide page needs
// runs beyond 2560 pixels.
TEST(CodecsCCITT, Group3AgreesWithLibtiff) {
  QEL_SKIP_WITHOUT("tiffcp");
  test::TempDir dir;
  const std::string small = (test::CorpusDir() / "hopper_g4_500.tif").string();
  const std::string page = (test::CorpusDir() / "g4-multi.tiff").string() + ",0";
  const std::pair<std::string, std::string> cases[] = {
      {"tiffcp -c g3:1d -r 50", small},
      {"tiffcp -c g3:1d:fill -f lsb2msb", small},
      {"tiffcp -c g3:1d -r 400", page},
  };
  for (const auto& [command, input] : cases) {
    const auto strips = MakeStrips(dir, command, input);
    ASSERT_TRUE(strips) << command;
    const auto& [packed, plain] = *strips;
    ASSERT_EQ(packed.compression, 3u);
    ASSERT_EQ(packed.strips.size(), plain.strips.size());
    TCCITTFax3Decoder d(packed.t4_options, packed.fill_order == 2, false, packed.width);
    for (std::size_t i = 0; i < packed.strips.size(); ++i)
      ASSERT_EQ(DecodeAll(d, packed.strips[i], plain.strips[i].size()), plain.strips[i])
          << command << " strip " << i;
  }
}

// Two-dimensional strips written by libtiff: Group 3 with two-dimensional rows and
// Group 4, in both bit orders and strip sizes, decode to the bytes of the uncompressed
// copy. The wide page needs runs beyond 2560 pixels.
TEST(CodecsCCITT, TwoDimensionalCodingAgreesWithLibtiff) {
  QEL_SKIP_WITHOUT("tiffcp");
  test::TempDir dir;
  const std::string small = (test::CorpusDir() / "hopper_g4_500.tif").string();
  const std::string page = (test::CorpusDir() / "g4-multi.tiff").string() + ",0";
  const std::pair<std::string, std::string> cases[] = {
      {"tiffcp -c g3:2d", small},
      {"tiffcp -c g3:2d:fill -f lsb2msb -r 7", small},
      {"tiffcp -c g3:2d -r 300", page},
      {"tiffcp -c g4", small},
      {"tiffcp -c g4 -f lsb2msb -r 9", small},
      {"tiffcp -c g4 -r 500", page},
  };
  for (const auto& [command, input] : cases) {
    const auto strips = MakeStrips(dir, command, input);
    ASSERT_TRUE(strips) << command;
    const auto& [packed, plain] = *strips;
    ASSERT_EQ(packed.strips.size(), plain.strips.size());
    std::unique_ptr<TDecoder> d;
    if (packed.compression == 4) {
      d = std::make_unique<TCCITTFax4Decoder>(0, packed.fill_order == 2, false, packed.width);
    } else {
      ASSERT_EQ(packed.t4_options & 1, 1u) << command;
      d = std::make_unique<TCCITTFax3Decoder>(packed.t4_options, packed.fill_order == 2, false, packed.width);
    }
    for (std::size_t i = 0; i < packed.strips.size(); ++i)
      ASSERT_EQ(DecodeAll(*d, packed.strips[i], plain.strips[i].size()), plain.strips[i])
          << command << " strip " << i;
  }
}

// Modified Huffman strips written by Pillow (through libtiff), in both bit orders.
TEST(CodecsCCITT, ModifiedHuffmanAgreesWithPillow) {
  QEL_SKIP_WITHOUT("pillow", "tiffcp");
  test::TempDir dir;
  const std::string pillow =
      "/usr/bin/python3 -c \"import sys; from PIL import Image; "
      "Image.open(sys.argv[1]).save(sys.argv[2], compression='tiff_ccitt')\"";
  for (const char* input : {"hopper_g4_500.tif", "g4_orientation_1.tif"}) {
    const auto strips = MakeStrips(dir, pillow, test::CorpusDir() / input);
    ASSERT_TRUE(strips) << input;
    const auto& [packed, plain] = *strips;
    ASSERT_EQ(packed.compression, 2u);
    TCCITTMHDecoder d(0, packed.fill_order == 2, false, packed.width);
    for (std::size_t i = 0; i < packed.strips.size(); ++i)
      ASSERT_EQ(DecodeAll(d, packed.strips[i], plain.strips[i].size()), plain.strips[i])
          << input << " strip " << i;
    // The same strips with their bit order reversed.
    TCCITTMHDecoder reversed(0, packed.fill_order != 2, false, packed.width);
    for (std::size_t i = 0; i < packed.strips.size(); ++i)
      ASSERT_EQ(DecodeAll(reversed, ReverseBits(packed.strips[i]), plain.strips[i].size()), plain.strips[i])
          << input;
  }
}

}  // namespace
}  // namespace qel
