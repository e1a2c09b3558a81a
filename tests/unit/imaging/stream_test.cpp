#include <gtest/gtest.h>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "support/test_support.h"

namespace qel {
namespace {

TEST(Stream, ReadsAreBoundedByTheData) {
  const std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5, 6};
  TMemoryStream s{std::span<const std::uint8_t>(bytes)};
  EXPECT_EQ(s.ReadU16LE(), 0x0201);
  EXPECT_EQ(s.ReadU16BE(), 0x0304);
  EXPECT_EQ(s.Remaining(), 2u);
  EXPECT_THROW(s.ReadU32LE(), EReadError);
  // A lying length is refused before anything is allocated.
  s.SetPosition(0);
  EXPECT_THROW(s.ReadBytes(std::size_t(1) << 40), EReadError);
  EXPECT_EQ(s.Position(), 0u);
  s.SetPosition(100);  // past the end: reads give nothing
  std::uint8_t b;
  EXPECT_EQ(s.Read(&b, 1), 0u);
  s.Skip(-200);
  EXPECT_EQ(s.Position(), 0u);
  EXPECT_THROW(s.WriteByte(1), EWriteError);  // a view of foreign bytes is read-only
}

TEST(Stream, PeekBytesLeavesThePositionAlone) {
  const std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5};
  TMemoryStream s{std::span<const std::uint8_t>(bytes)};
  s.SetPosition(2);
  std::uint8_t two[2] = {};
  EXPECT_TRUE(PeekBytes(s, two));
  EXPECT_EQ(two[0], 3);
  EXPECT_EQ(two[1], 4);
  EXPECT_EQ(s.Position(), 2u);
  // Fewer bytes than asked for: false, and still nothing consumed.
  std::uint8_t four[4] = {};
  EXPECT_FALSE(PeekBytes(s, four));
  EXPECT_EQ(s.Position(), 2u);
  s.SetPosition(9);  // past the end
  EXPECT_FALSE(PeekBytes(s, two));
  EXPECT_EQ(s.Position(), 9u);
}

TEST(Stream, MemoryStreamWritesGrow) {
  TMemoryStream s;
  s.WriteU32BE(0x01020304);
  s.WriteU16LE(0x0605);
  s.SetPosition(1);
  s.WriteByte(9);
  EXPECT_EQ(s.TakeBytes(), (std::vector<std::uint8_t>{1, 9, 3, 4, 5, 6}));
}

TEST(Stream, FileStreamsReadWriteAndReportFailures) {
  test::TempDir dir;
  const std::string path = (dir / "data.bin").string();
  {
    TFileStream out(path, TFileStream::Mode::kCreate);
    std::vector<std::uint8_t> big(200000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = std::uint8_t(i * 7);
    out.Write(big.data(), big.size());
    out.Commit();
  }
  TFileStream in(path, TFileStream::Mode::kRead);
  EXPECT_EQ(in.Size(), 200000u);
  in.SetPosition(70000);
  EXPECT_EQ(in.ReadByte(), std::uint8_t(70000 * 7));
  std::vector<std::uint8_t> rest = in.ReadToEnd();
  EXPECT_EQ(rest.size(), 200000u - 70001u);
  EXPECT_EQ(rest.back(), std::uint8_t(199999 * 7));
  try {
    TFileStream missing((dir / "none.bmp").string(), TFileStream::Mode::kRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_NE(std::string(e.what()).find("none.bmp"), std::string::npos);
  }
  try {
    TFileStream folder((dir / "no/such/folder.bmp").string(), TFileStream::Mode::kCreate);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"", 0), 0u);
  }
  EXPECT_THROW(TFileStream(dir.Path().string(), TFileStream::Mode::kRead), EFOpenError);
}

TEST(Stream, FullDiskIsAWriteError) {
  TFileStream full("/dev/full", TFileStream::Mode::kCreate);
  std::vector<std::uint8_t> block(1 << 17, 1);
  EXPECT_THROW(
      {
        full.Write(block.data(), block.size());
        full.Commit();
      },
      EWriteError);
}

}  // namespace
}  // namespace qel
