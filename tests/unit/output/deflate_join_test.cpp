// Deflate streams made on their own and joined into one; and the PNG writer's bands,
// joined that way, against libpng's single zlib stream of the same rows.
#include <gtest/gtest.h>
#include <zlib.h>

#include <optional>
#include <random>
#include <set>
#include <string>

#include "imaging/stream.h"
#include "output/deflate_join.h"
#include "output/png_writer.h"
#include "reference/libpng_encoder.h"
#include "support/test_support.h"

namespace qel {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Raw deflate data of the bytes as zlib makes it at a level and strategy.
Bytes RawDeflate(const Bytes& data, int level, int strategy) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, strategy), Z_OK);
  Bytes out(deflateBound(&z, uLong(data.size())));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = uInt(data.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// The whole raw stream inflated; nullopt when zlib refuses it, it stops early or
// bytes follow its end.
std::optional<Bytes> RawInflate(const Bytes& stream) {
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return std::nullopt;
  Bytes out(1 << 16);
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = uInt(stream.size());
  int result = Z_OK;
  while (result == Z_OK) {
    if (z.total_out == out.size()) out.resize(out.size() * 2);
    z.next_out = out.data() + z.total_out;
    z.avail_out = uInt(out.size() - z.total_out);
    result = inflate(&z, Z_NO_FLUSH);
  }
  const bool whole = result == Z_STREAM_END && z.avail_in == 0;
  out.resize(z.total_out);
  inflateEnd(&z);
  if (!whole) return std::nullopt;
  return out;
}

TEST(DeflateJoin, PiecesOfEveryBlockKindJoinIntoOneStream) {
  std::mt19937 rng(3);
  std::vector<Bytes> inputs = {{}, {'a'}};
  for (int length = 2; length < 60; length += 3) {  // short texts end their stream at every bit
    std::string text;
    for (int i = 0; i < length; ++i) text += "deflate "[rng() % 8];
    inputs.emplace_back(text.begin(), text.end());
  }
  Bytes noise(200000), smooth(300000);
  for (auto& b : noise) b = std::uint8_t(rng());
  for (std::size_t i = 0; i < smooth.size(); ++i) smooth[i] = std::uint8_t(i / 700 + rng() % 3);
  inputs.push_back(noise);
  inputs.push_back(smooth);
  // Stored, fixed-code and dynamic-code final blocks, single and after other blocks.
  const std::pair<int, int> settings[] = {
      {0, Z_DEFAULT_STRATEGY}, {6, Z_FIXED}, {8, Z_FILTERED}, {1, Z_HUFFMAN_ONLY}};

  std::set<std::size_t> grown_by;
  for (const auto& [level, strategy] : settings) {
    Bytes joined, expected;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      SCOPED_TRACE(testing::Message() << "level " << level << ", strategy " << strategy << ", piece " << i);
      Bytes piece = RawDeflate(inputs[i], level, strategy);
      if (i + 1 < inputs.size()) {
        const std::size_t before = piece.size();
        ASSERT_TRUE(ContinueDeflateStream(piece));
        grown_by.insert(piece.size() - before);
        // A piece made to continue is a stream without end on its own.
        EXPECT_FALSE(RawInflate(piece));
      }
      joined.insert(joined.end(), piece.begin(), piece.end());
      expected.insert(expected.end(), inputs[i].begin(), inputs[i].end());
    }
    EXPECT_EQ(RawInflate(joined), expected) << "level " << level << ", strategy " << strategy;
  }
  // Both ways of ending: the stored block's header in the last byte's padding, or in a byte of its own.
  EXPECT_EQ(grown_by, (std::set<std::size_t>{4, 5}));
}

TEST(DeflateJoin, RefusesWhatIsNotOneWholeStream) {
  const Bytes text(5000, 'q');
  const Bytes whole = RawDeflate(text, 8, Z_DEFAULT_STRATEGY);
  Bytes truncated(whole.begin(), whole.end() - 1), trailing = whole, continued = whole, garbage(64, 0xFF);
  trailing.push_back(0);
  ASSERT_TRUE(ContinueDeflateStream(continued));
  for (const Bytes& broken : {Bytes{}, truncated, trailing, continued, garbage}) {
    Bytes copy = broken;
    EXPECT_FALSE(ContinueDeflateStream(copy));
    EXPECT_EQ(copy, broken);
  }
}

// Photographs of the corpus: the bands, each deflated afresh, still make a smaller file
// than libpng's one stream of the same rows at zlib's level 8.
TEST(DeflateJoin, BandedPngIsNoLargerThanZlibLevel8) {
  QEL_SKIP_WITHOUT("pillow");
  for (const char* name : {"exif_typeerror.jpg", "flower.jpg"}) {
    const std::optional<Picture> photo = test::PillowDecode(test::CorpusDir() / name);
    ASSERT_TRUE(photo) << name;
    TMemoryStream banded, reference;
    png::WritePngInBands(*photo, banded, {std::size_t(1) << 18, 2});
    png::WritePngWithLibpng(*photo, reference);
    EXPECT_LE(banded.Data().size(), reference.Data().size()) << name;
  }
}

}  // namespace
}  // namespace qel
