// Directory parsing and tag access of the TIFF reader, on files built byte by byte in
// both byte orders: every field type, values inside the entry and at an offset,
// unsorted and duplicate entries, and entries that lie about where their values are.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "imaging/stream.h"
#include "import/tiff/directory.h"
#include "unit/import/tiff/test_builder.h"

namespace qel::test {
namespace {

using tiff::TTIFFDirectory;
using B = TiffBuilder;

std::vector<std::uint8_t> DoubleBytes(double v, bool big) {
  const auto bits = std::bit_cast<std::uint64_t>(v);
  std::vector<std::uint8_t> out;
  for (int i = 0; i < 8; ++i) out.push_back(std::uint8_t(bits >> (8 * (big ? 7 - i : i))));
  return out;
}

struct Parsed {
  std::vector<std::uint8_t> bytes;
  TMemoryStream stream;
  TTIFFDirectory dir;
  explicit Parsed(std::vector<std::uint8_t> b, bool big) : bytes(std::move(b)), stream(std::span(bytes)) {
    tiff::TIFFHeader header;
    EXPECT_TRUE(tiff::ReadTIFFHeader(stream, header));
    EXPECT_EQ(header.big_endian, big);
    EXPECT_EQ(header.version, 42);
    EXPECT_TRUE(dir.Read(stream, 0, header.first_ifd, header.big_endian));
  }
};

class TiffDirectoryTest : public ::testing::TestWithParam<bool> {};

TEST_P(TiffDirectoryTest, EveryFieldTypeReadsInBothByteOrders) {
  const bool big = GetParam();
  B b(big);
  b.Entry(300, B::kByte, 1, {0xAB});
  b.Short(301, 0xBEEF);
  b.Entry(302, B::kSShort, 1, b.Shorts({0xFFFE}));
  b.Long(303, 0x12345678);
  b.Entry(304, B::kSLong, 1, b.Longs({0xFFFFFFFF}));
  b.ShortArray(305, {7, 9});               // two shorts inside the entry
  b.ShortArray(306, {1, 2, 3, 40000, 5});  // at an offset
  b.Entry(307, B::kByte, 6, {1, 2, 3, 4, 5, 6});
  b.Entry(308, B::kUndefined, 3, {0xFF, 0xD8, 0xFF});
  b.Rational(309, 300, 4);
  b.Entry(310, B::kSRational, 1, b.Longs({0xFFFFFFF6, 4}));  // -10 / 4
  b.Entry(311, B::kFloat, 1, b.Longs({std::bit_cast<std::uint32_t>(2.5f)}));
  b.Entry(312, B::kDouble, 1, DoubleBytes(-0.125, big));
  b.Entry(313, B::kRational, 3, b.Longs({299, 1000, 587, 1000, 114, 1000}));
  b.Rational(314, 5, 0);
  b.Entry(315, B::kAscii, 4, {'a', 'b', 'c', 0});
  Parsed p(b.Build(), big);
  const TTIFFDirectory& d = p.dir;

  EXPECT_EQ(d.TagValue(300, 0), 0xABu);
  EXPECT_EQ(d.TagValue(301, 0), 0xBEEFu);
  EXPECT_EQ(d.TagValue(302, 0), 0xFFFEu);  // SSHORT: the low 16 bits
  EXPECT_EQ(d.TagValue(303, 0), 0x12345678u);
  EXPECT_EQ(d.TagValue(304, 0), 0xFFFFFFFFu);
  EXPECT_EQ(d.TagValue(305, 77), 77u) << "more than one value";
  EXPECT_EQ(d.TagValue(309, 77), 77u) << "a RATIONAL is no integer";
  EXPECT_EQ(d.TagValue(999, 77), 77u) << "missing";

  std::uint32_t count = 0;
  EXPECT_EQ(d.TagOffset(303, count, 0), 0x12345678u);
  EXPECT_EQ(count, 1u);
  const std::uint32_t offset = d.TagOffset(306, count, 0);
  EXPECT_EQ(count, 5u);
  EXPECT_GE(offset, 8u);
  EXPECT_EQ(d.TagOffset(999, count, 5), 5u);
  EXPECT_EQ(count, 0u);

  EXPECT_EQ(d.TagArray(p.stream, 305), (std::vector<std::uint32_t>{7, 9}));
  EXPECT_EQ(d.TagArray(p.stream, 306), (std::vector<std::uint32_t>{1, 2, 3, 40000, 5}));
  EXPECT_EQ(d.TagArray(p.stream, 307), (std::vector<std::uint32_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_TRUE(d.TagArray(p.stream, 309).empty()) << "rationals are not integers";
  EXPECT_EQ(d.TagBytes(p.stream, 308), (std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF}));
  EXPECT_EQ(d.TagBytes(p.stream, 315), (std::vector<std::uint8_t>{'a', 'b', 'c', 0}));
  EXPECT_EQ(d.TagBytes(p.stream, 305), (std::vector<std::uint8_t>{7, 9}));

  EXPECT_FLOAT_EQ(d.TagFloat(p.stream, 309, 0), 75.0f);
  EXPECT_FLOAT_EQ(d.TagFloat(p.stream, 310, 0), -2.5f);
  EXPECT_FLOAT_EQ(d.TagFloat(p.stream, 311, 0), 2.5f);
  EXPECT_FLOAT_EQ(d.TagFloat(p.stream, 312, 0), -0.125f);
  EXPECT_FLOAT_EQ(d.TagFloat(p.stream, 301, 0), 48879.0f);
  EXPECT_FLOAT_EQ(d.TagFloat(p.stream, 314, 9), 9.0f) << "a zero denominator gives the default";
  EXPECT_FLOAT_EQ(d.TagFloat(p.stream, 313, 9), 9.0f) << "more than one value";
  EXPECT_FLOAT_EQ(d.TagFloat(p.stream, 315, 9), 9.0f) << "text is no number";
  const std::vector<float> floats = d.TagFloats(p.stream, 313);
  ASSERT_EQ(floats.size(), 3u);
  EXPECT_FLOAT_EQ(floats[0], 0.299f);
  EXPECT_FLOAT_EQ(floats[2], 0.114f);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, TiffDirectoryTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "BigEndian" : "LittleEndian"; });

TEST(TiffDirectory, UnsortedEntriesAreFoundAndTheFirstOfDuplicatesWins) {
  B b;
  b.Short(400, 1);
  b.Short(280, 2);
  b.Short(350, 3);
  b.Short(280, 4);
  b.Short(256, 5);
  Parsed p(b.Build(/*sorted=*/false), false);
  EXPECT_EQ(p.dir.TagValue(256, 0), 5u);
  EXPECT_EQ(p.dir.TagValue(280, 0), 2u);
  EXPECT_EQ(p.dir.TagValue(350, 0), 3u);
  EXPECT_EQ(p.dir.TagValue(400, 0), 1u);
  EXPECT_TRUE(std::is_sorted(p.dir.Entries().begin(), p.dir.Entries().end(),
                             [](const auto& a, const auto& c) { return a.tag < c.tag; }));
}

TEST(TiffDirectory, EntriesThatPointOutsideTheFileReadAsMissing) {
  B b;
  b.RawField(273, B::kLong, 4, 0x7FFFFFF0);      // offset far past the end
  b.RawField(279, B::kLong, 0xFFFFFFFF, 16);     // a count no file can hold
  b.RawField(282, B::kRational, 1, 0xFFFFFFFC);  // rational straddling the end of the address range
  b.RawField(283, 99, 1, 5);                     // a type nobody knows
  b.RawField(347, B::kUndefined, 0, 0);          // no values at all
  Parsed p(b.Build(), false);
  EXPECT_TRUE(p.dir.TagArray(p.stream, 273).empty());
  EXPECT_TRUE(p.dir.TagArray(p.stream, 279).empty());
  EXPECT_FLOAT_EQ(p.dir.TagFloat(p.stream, 282, 3), 3.0f);
  EXPECT_TRUE(p.dir.TagFloats(p.stream, 282).empty());
  EXPECT_EQ(p.dir.TagValue(283, 8), 8u);
  EXPECT_TRUE(p.dir.TagBytes(p.stream, 283).empty());
  EXPECT_TRUE(p.dir.TagBytes(p.stream, 347).empty());
}

TEST(TiffDirectory, DirectoriesOutsideTheFileAreRefused) {
  B b;
  b.Short(256, 1);
  const std::vector<std::uint8_t> bytes = b.Build();
  const std::uint32_t at = std::uint32_t(bytes.size()) - 18;  // one entry and the link
  const auto read = [&](std::size_t size, std::uint32_t offset) {
    const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + std::ptrdiff_t(size));
    TMemoryStream stream{std::span(cut)};
    TTIFFDirectory dir;
    return dir.Read(stream, 0, offset, false);
  };
  EXPECT_TRUE(read(bytes.size(), at));
  EXPECT_FALSE(read(bytes.size(), 0)) << "offset 0 ends a chain";
  EXPECT_FALSE(read(bytes.size(), 0xFFFFFFFF));
  EXPECT_FALSE(read(bytes.size() - 10, at)) << "the entry cut in half";
  EXPECT_TRUE(read(bytes.size() - 4, at)) << "a missing next-directory link ends the chain";
}

}  // namespace
}  // namespace qel::test
