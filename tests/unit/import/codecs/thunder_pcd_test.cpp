// The ThunderScan and Photo-CD decoders, on data built from their code descriptions
// (no peer writes either).
#include <gtest/gtest.h>

#include "imaging/stream.h"
#include "import/codecs/pcd_decoder.h"
#include "import/codecs/thunder_decoder.h"
#include "unit/import/codecs/test_util.h"

namespace qel {
namespace {

using test::Bytes;
using test::DecodeAll;
using test::DecodeBounded;

TEST(CodecsThunder, CodesAndTheirDeltas) {
  TThunderDecoder d(8);
  // Raw 5; 0x42: deltas 0, 0, none (two pixels of 5); 0x9D: 3-bit deltas +3, -3;
  // run of 2; 2-bit deltas -1 (the row's last pixel), +1, 0 (cut).
  EXPECT_EQ(DecodeAll(d, Bytes({0xC5, 0x42, 0x9D, 0x02, 0x74}), 4), Bytes({0x55, 0x58, 0x55, 0x54}));
}

TEST(CodecsThunder, EveryRowStartsFromZero) {
  TThunderDecoder d(3);  // rows of 3 pixels, 2 bytes, the last low nibble unused
  // Row 1: raw 9, run of 5 (cut at the row end). Row 2: deltas +1, 0, 0 start from 0.
  EXPECT_EQ(DecodeAll(d, Bytes({0xC9, 0x05, 0x50}), 4, 0x00), Bytes({0x99, 0x90, 0x11, 0x10}));
  // Negative deltas wrap within 4 bits.
  EXPECT_EQ(DecodeAll(d, Bytes({0x7C}), 2, 0x00), Bytes({0xFE, 0xE0}));
}

TEST(CodecsThunder, StopsAtBothLimits) {
  TThunderDecoder d(16);
  // A run of 63 into an output of 3 bytes (less than a row).
  EXPECT_EQ(DecodeAll(d, Bytes({0xC7, 0x3F}), 3), Bytes({0x77, 0x77, 0x77}));
  EXPECT_EQ(DecodeBounded(d, Bytes({0xC7, 0xC8, 0xCF}), 2, 3, 0x00), Bytes({0x78, 0x00, 0x00}));
}

// Writes Photo-CD data bits, most significant first.
class PcdWriter {
 public:
  void Put(std::uint32_t value, unsigned bits) {
    for (unsigned i = 0; i < bits; ++i) {
      if (count_ % 8 == 0) bytes_.push_back(0);
      if ((value >> (bits - 1 - i)) & 1) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> (count_ % 8));
      ++count_;
    }
  }
  // A table of { code length, code (right-aligned), delta }.
  void Table(std::initializer_list<std::tuple<unsigned, unsigned, int>> entries) {
    Put(static_cast<std::uint32_t>(entries.size() - 1), 8);
    for (const auto& [length, code, delta] : entries) {
      Put(length - 1, 8);
      Put(code << (16 - length), 16);
      Put(static_cast<std::uint8_t>(delta), 8);
    }
  }
  // Synchronisation pattern and row header.
  void Row(unsigned row, unsigned plane) {
    Put(0xFFFFFE, 24);
    Put(plane, 2);
    Put(row, 13);
    Put(0, 1);
  }
  void Codes(const std::string& bits) {
    for (char c : bits)
      if (c == '0' || c == '1') Put(c == '1', 1);
  }
  std::vector<std::uint8_t>& Bytes() { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t count_ = 0;
};

struct Planes {
  Planes(std::uint32_t row_length, std::uint32_t rows, std::uint8_t luma_value, std::uint8_t chroma_value)
      : luma(row_length * rows, luma_value),
        chroma1(row_length * rows, chroma_value),
        chroma2(row_length * rows, chroma_value) {}
  std::vector<std::uint8_t> luma, chroma1, chroma2;
};

void Decode(std::vector<std::uint8_t> data, Planes& planes, std::uint32_t stop_row,
            std::uint32_t row_length) {
  TMemoryStream stream(std::move(data));
  TPCDDecoder d(stream, row_length);
  d.DecodePlanes(planes.luma, planes.chroma1, planes.chroma2, stop_row, row_length);
}

TEST(CodecsPCD, ResidualsAreAddedRowByRowAndClamped) {
  PcdWriter w;
  w.Table({{1, 0b0, +1}, {2, 0b10, -1}, {2, 0b11, +5}});
  w.Codes("1010");  // junk before the first row
  w.Row(0, 0);
  w.Codes("00000000");
  w.Row(1, 0);
  w.Codes("10 11 0 0 0 0 0 0");
  w.Row(3, 2);  // chroma row 3 / 2 = 1, four residuals
  w.Codes("11 11 10 0");
  w.Row(1, 3);  // chroma row 0
  w.Codes("0 0 0 11");
  w.Row(2, 0);  // the stop row: nothing after it counts
  w.Codes("11111111");
  Planes planes(8, 4, 100, 253);
  planes.luma[9] = 254;
  Decode(w.Bytes(), planes, 2, 8);
  EXPECT_EQ(std::vector<std::uint8_t>(planes.luma.begin(), planes.luma.begin() + 16),
            Bytes({101, 101, 101, 101, 101, 101, 101, 101, 99, 255, 101, 101, 101, 101, 101, 101}));
  EXPECT_EQ(planes.luma[16], 100);
  EXPECT_EQ(std::vector<std::uint8_t>(planes.chroma1.begin() + 8, planes.chroma1.begin() + 16),
            Bytes({255, 255, 252, 254, 253, 253, 253, 253}));
  EXPECT_EQ(std::vector<std::uint8_t>(planes.chroma2.begin(), planes.chroma2.begin() + 5),
            Bytes({254, 254, 254, 255, 253}));
}

TEST(CodecsPCD, UnknownCodesAndStrayRowsAreSkipped) {
  PcdWriter w;
  w.Table({{2, 0b00, +1}});
  w.Row(0, 0);
  w.Codes("00 00 01 00");  // 01 matches nothing: the rest of the row is skipped
  w.Row(9, 0);             // beyond the planes
  w.Codes("00 00");
  w.Row(1, 1);  // no such plane
  w.Codes("00");
  w.Row(1, 0);
  w.Codes("00");
  Planes planes(4, 2, 10, 10);
  Decode(w.Bytes(), planes, 100, 4);
  EXPECT_EQ(planes.luma, Bytes({11, 11, 10, 10, 11, 10, 10, 10}));
  EXPECT_EQ(planes.chroma1, std::vector<std::uint8_t>(8, 10));
}

TEST(CodecsPCD, LongRowsHaveATablePerPlane) {
  const std::uint32_t length = 1544;
  PcdWriter w;
  w.Table({{1, 0, +1}});
  w.Table({{1, 0, +2}});
  w.Table({{1, 0, +3}});
  w.Row(0, 0);
  w.Codes("00");
  w.Row(0, 2);
  w.Codes("00");
  w.Row(0, 3);
  w.Codes("00");
  w.Row(1, 0);  // the stop row
  Planes planes(length, 2, 0, 0);
  Decode(w.Bytes(), planes, 1, length);
  EXPECT_EQ(planes.luma[1], 1);
  EXPECT_EQ(planes.chroma1[1], 2);
  EXPECT_EQ(planes.chroma2[1], 3);
  EXPECT_EQ(planes.chroma2[2], 0);
}

TEST(CodecsPCD, LongCodesStopAndTheGenericEntryTakesThreePlanes) {
  PcdWriter w;
  w.Put(0, 8);
  w.Put(16, 8);  // a code of 17 bits
  w.Put(0, 24);
  w.Row(0, 0);
  w.Codes("0000");
  Planes planes(4, 1, 7, 7);
  Decode(w.Bytes(), planes, 100, 4);
  EXPECT_EQ(planes.luma, std::vector<std::uint8_t>(4, 7));

  PcdWriter full;
  full.Table({{1, 0, +1}});
  full.Row(0, 0);
  full.Codes("0000");
  // The generic entry: the three planes one after the other, the stop row as the size.
  std::vector<std::uint8_t> planes3(12, 7);
  TMemoryStream stream(full.Bytes());
  TPCDDecoder d(stream, 4);
  const std::uint8_t* source = nullptr;
  std::uint8_t* dest = planes3.data();
  d.Decode(source, dest, 100, planes3.size());
  EXPECT_EQ(planes3, Bytes({8, 8, 8, 8, 7, 7, 7, 7, 7, 7, 7, 7}));
}

}  // namespace
}  // namespace qel
