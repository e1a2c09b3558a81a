// The inflate decoder: libtiff's deflate strips, data fed in pieces, and broken streams.
#include <gtest/gtest.h>
#include <zlib.h>

#include "imaging/errors.h"
#include "import/codecs/checksums.h"
#include "import/codecs/lz77_decoder.h"
#include "support/test_support.h"
#include "unit/import/codecs/test_util.h"
#include "unit/import/codecs/tiff_strips.h"

namespace qel {
namespace {

std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::vector<std::uint8_t> packed(size);
  EXPECT_EQ(compress2(packed.data(), &size, data.data(), static_cast<uLong>(data.size()), 9), Z_OK);
  packed.resize(size);
  return packed;
}

std::vector<std::uint8_t> SomeBytes(std::size_t n) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>((i * 7) ^ (i >> 5));
  return v;
}

// Auto-reset makes every strip a stream of its own, as the TIFF reader uses it.
TEST(CodecsLZ77, AgreesWithLibtiff) {
  QEL_SKIP_WITHOUT("tiffcp");
  test::TempDir dir;
  for (const char* name : {"hopper.tif", "16bit.deflate.tif"}) {
    ASSERT_TRUE(test::Tiffcp("-c zip -r 9", test::CorpusDir() / name, dir / "packed.tif")) << name;
    ASSERT_TRUE(test::Tiffcp("-c none -r 9", test::CorpusDir() / name, dir / "plain.tif")) << name;
    const auto packed = test::ReadTiffStrips(dir / "packed.tif");
    const auto plain = test::ReadTiffStrips(dir / "plain.tif");
    ASSERT_TRUE(packed && plain);
    ASSERT_EQ(packed->compression, 8u);
    TLZ77Decoder d(Z_PARTIAL_FLUSH, true);
    d.DecodeInit();
    for (std::size_t i = 0; i < packed->strips.size(); ++i) {
      std::vector<std::uint8_t> out(plain->strips[i].size() + test::kGuardSize, test::kGuard);
      const std::uint8_t* source = packed->strips[i].data();
      std::uint8_t* dest = out.data();
      d.Decode(source, dest, packed->strips[i].size(), plain->strips[i].size());
      EXPECT_EQ(d.Result(), Z_STREAM_END) << name << " strip " << i;
      EXPECT_EQ(dest, out.data() + plain->strips[i].size());
      EXPECT_EQ(source, packed->strips[i].data() + packed->strips[i].size());
      EXPECT_EQ(out[plain->strips[i].size()], test::kGuard);
      out.resize(plain->strips[i].size());
      ASSERT_EQ(out, plain->strips[i]) << name << " strip " << i;
    }
    d.DecodeEnd();
  }
}

// The way the PNG reader feeds it: pieces of input, output a row at a time, the
// pointers and the remaining counts telling how far it got.
TEST(CodecsLZ77, FeedsInPiecesWithoutAutoReset) {
  const auto data = SomeBytes(5000);
  const auto packed = Deflate(data);
  TLZ77Decoder d(Z_PARTIAL_FLUSH, false);
  d.DecodeInit();
  std::vector<std::uint8_t> out(data.size());
  std::uint8_t* dest = out.data();
  std::size_t fed = 0;
  while (d.Result() == Z_OK && fed < packed.size()) {
    const std::size_t piece = std::min<std::size_t>(7, packed.size() - fed);
    const std::uint8_t* before = packed.data() + fed;
    const std::uint8_t* source = before;
    const std::uint8_t* dest_before = dest;
    const std::size_t room = std::min<std::size_t>(100, out.data() + out.size() - dest);
    d.Decode(source, dest, piece, room);
    EXPECT_EQ(d.AvailableInput(), piece - static_cast<std::size_t>(source - before));
    EXPECT_EQ(d.AvailableOutput(), room - static_cast<std::size_t>(dest - dest_before));
    fed += static_cast<std::size_t>(source - before);
  }
  EXPECT_EQ(d.Result(), Z_STREAM_END);
  EXPECT_EQ(dest, out.data() + out.size());
  EXPECT_EQ(out, data);
  // Once the stream has ended, further calls change nothing.
  const std::uint8_t* source = packed.data();
  std::uint8_t* again = out.data();
  d.Decode(source, again, packed.size(), out.size());
  EXPECT_EQ(again, out.data());
  EXPECT_EQ(source, packed.data());
  d.DecodeEnd();
}

TEST(CodecsLZ77, BrokenStreamsKeepTheirResult) {
  const auto data = SomeBytes(300);
  auto packed = Deflate(data);
  packed[0] = 0x12;  // not a zlib header
  std::vector<std::uint8_t> out(data.size());
  TLZ77Decoder e(Z_PARTIAL_FLUSH, false);
  e.DecodeInit();
  const std::uint8_t* source = packed.data();
  std::uint8_t* dest = out.data();
  e.Decode(source, dest, packed.size(), out.size());
  EXPECT_EQ(e.Result(), Z_DATA_ERROR);
  source = packed.data();
  dest = out.data();
  e.Decode(source, dest, packed.size(), out.size());
  EXPECT_EQ(e.Result(), Z_DATA_ERROR);
  EXPECT_EQ(dest, out.data());

  // Auto-reset starts each call afresh: a good stream after a broken one decodes.
  TLZ77Decoder f(Z_PARTIAL_FLUSH, true);
  f.DecodeInit();
  source = packed.data();
  dest = out.data();
  f.Decode(source, dest, packed.size(), out.size());
  EXPECT_EQ(f.Result(), Z_DATA_ERROR);
  const auto good = Deflate(data);
  source = good.data();
  dest = out.data();
  f.Decode(source, dest, good.size(), out.size());
  EXPECT_EQ(f.Result(), Z_STREAM_END);
  EXPECT_EQ(out, data);
  f.DecodeEnd();
}

TEST(CodecsLZ77, DecodingWithoutAStreamRaises) {
  TLZ77Decoder d(Z_PARTIAL_FLUSH, false);
  std::vector<std::uint8_t> in(4), out(4);
  const std::uint8_t* source = in.data();
  std::uint8_t* dest = out.data();
  try {
    d.Decode(source, dest, in.size(), out.size());
    FAIL() << "no exception";
  } catch (const EGraphicCompression& e) {
    EXPECT_STREQ(e.what(), "LZ77 decompression error.");
  }
}

TEST(CodecsChecksums, KnownValuesAndRunningSums) {
  const std::string text = "123456789";
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  EXPECT_EQ(Crc32(bytes), 0xCBF43926u);
  EXPECT_EQ(Adler32(bytes), 0x091E01DEu);
  EXPECT_EQ(Crc32(bytes.subspan(4), Crc32(bytes.first(4))), 0xCBF43926u);
  EXPECT_EQ(Adler32(bytes.subspan(4), Adler32(bytes.first(4))), 0x091E01DEu);
}

}  // namespace
}  // namespace qel
