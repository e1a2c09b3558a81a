#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "import/psp/reader.h"
#include "unit/import/reader_fixture_util.h"

namespace qel {
namespace {

using test::Bytes;
using test::ByteWriter;

// Channel of a layer: channel type (0 composite, 1 red, 2 green, 3 blue), bitmap type
// (0 image, 1 transparency mask) and the bytes as stored.
struct Channel {
  unsigned channel_type;
  Bytes data;
  unsigned bitmap_type = 0;
  std::uint32_t uncompressed = 0;  // 0: the size of data
};

struct Layer {
  unsigned type = 1;  // information byte 0: 1 raster (0 in version 3 files), above 1 vector, adjustment, ...
  std::vector<Channel> channels;
};

// Builds Paint Shop Pro files of any major version from 3 on, block by block.
class PspFile {
 public:
  PspFile(unsigned major, int width, int height, unsigned depth, unsigned compression = 0, bool grey = false)
      : major_(major) {
    w_.Text("Paint Shop Pro Image File\n\x1a", 32).U16LE(major).U16LE(0);
    ByteWriter a;
    if (Chunked()) a.U32LE(46);
    a.U32LE(std::uint32_t(width)).U32LE(std::uint32_t(height));
    a.U32LE(0).U32LE(0x40520000);  // 72.0 as a double
    a.U8(1).U16LE(compression).U16LE(depth).U16LE(depth == 24 ? 3 : 1).U32LE(depth == 24 ? 0 : 1u << depth);
    a.U8(grey ? 1 : 0).U32LE(0).U32LE(0).U16LE(1);
    if (Chunked()) a.U32LE(1);
    Block(0, a.Get());
  }

  PspFile& Block(unsigned id, const Bytes& payload) {
    w_.Append(BlockBytes(id, payload));
    return *this;
  }
  PspFile& Palette(const std::vector<Bytes>& bgr) {
    ByteWriter p;
    if (Chunked()) p.U32LE(8);
    p.U32LE(std::uint32_t(bgr.size()));
    for (const Bytes& e : bgr) p.U8(e[0]).U8(e[1]).U8(e[2]).U8(0);
    return Block(2, p.Get());
  }
  PspFile& LayerBank(const std::vector<Layer>& layers) {
    ByteWriter bank;
    for (const Layer& layer : layers) bank.Append(BlockBytes(4, LayerBytes(layer)));
    return Block(3, bank.Get());
  }
  const Bytes& Get() const { return w_.Get(); }

 private:
  bool Chunked() const { return major_ > 3; }

  Bytes BlockBytes(unsigned id, const Bytes& payload) const {
    ByteWriter b;
    b.Text("~BK", 4).U16LE(id);
    if (!Chunked()) b.U32LE(std::uint32_t(payload.size()));
    b.U32LE(std::uint32_t(payload.size())).Append(payload);
    return b.Get();
  }

  Bytes LayerBytes(const Layer& layer) const {
    ByteWriter l;
    Bytes info(115, 0);
    info[0] = std::uint8_t(layer.type);
    if (Chunked()) {
      const std::string name = "Layer";
      l.U32LE(std::uint32_t(4 + 2 + name.size() + info.size() + 3)).U16LE(unsigned(name.size()));
      l.Text(name, name.size()).Append(info).Zeros(3);  // fields of later versions
      l.U32LE(8).U16LE(1).U16LE(unsigned(layer.channels.size()));
    } else {
      l.Text("Layer", 256).Append(info).U16LE(1).U16LE(unsigned(layer.channels.size()));
    }
    for (const Channel& c : layer.channels) {
      ByteWriter ch;
      if (Chunked()) ch.U32LE(16);
      ch.U32LE(std::uint32_t(c.data.size()))
          .U32LE(c.uncompressed ? c.uncompressed : std::uint32_t(c.data.size()));
      ch.U16LE(c.bitmap_type).U16LE(c.channel_type).Append(c.data);
      l.Append(BlockBytes(5, ch.Get()));
    }
    return l.Get();
  }

  unsigned major_;
  ByteWriter w_;
};

// A zlib stream holding data in one stored deflate block.
Bytes ZlibStored(const Bytes& data) {
  ByteWriter z;
  z.U8(0x78)
      .U8(0x01)
      .U8(0x01)
      .U16LE(unsigned(data.size()))
      .U16LE(unsigned(~data.size() & 0xFFFF))
      .Append(data);
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t v : data) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  return z.U32BE(b << 16 | a).Get();
}

Bytes Row(const TPSPGraphic& g, int y, std::size_t bytes) {
  return Bytes(g.ScanLine(y), g.ScanLine(y) + bytes);
}

TEST(PspReader, TwentyFourBitLayerInEveryCompression) {
  // 3 x 2 pixels; red 10.., green 20.., blue 30..
  const Bytes red = {10, 11, 12, 13, 14, 15}, green = {20, 21, 22, 23, 24, 25},
              blue = {30, 31, 32, 33, 34, 35};
  // Run-length: a literal of three, then a run of three.
  const Bytes red_rle = {3, 10, 11, 12, 128 + 3, 13};
  for (unsigned major : {3u, 4u, 5u}) {
    const Layer stored{major == 3 ? 0u : 1u, {{1, red}, {2, green}, {3, blue}}};
    auto g = test::LoadBytes<TPSPGraphic>(PspFile(major, 3, 2, 24).LayerBank({stored}).Get());
    ASSERT_EQ(g->PixelFormat(), TPixelFormat::pf24bit);
    EXPECT_EQ(Row(*g, 0, 9), (Bytes{30, 20, 10, 31, 21, 11, 32, 22, 12})) << major;
    EXPECT_EQ(Row(*g, 1, 9), (Bytes{33, 23, 13, 34, 24, 14, 35, 25, 15})) << major;
    EXPECT_EQ(g->ImageProperties().FormatVersion, major);
  }
  const Layer rle{1, {{1, red_rle, 0, 6}, {2, {6, 20, 21, 22, 23, 24, 25}, 0, 6}, {3, {128 + 6, 7}, 0, 6}}};
  auto r = test::LoadBytes<TPSPGraphic>(PspFile(5, 3, 2, 24, 1).LayerBank({rle}).Get());
  EXPECT_EQ(Row(*r, 1, 9), (Bytes{7, 23, 13, 7, 24, 13, 7, 25, 13}));
  const Layer lz77{1,
                   {{1, ZlibStored(red), 0, 6}, {2, ZlibStored(green), 0, 6}, {3, ZlibStored(blue), 0, 6}}};
  auto z = test::LoadBytes<TPSPGraphic>(PspFile(5, 3, 2, 24, 2).LayerBank({lz77}).Get());
  EXPECT_EQ(Row(*z, 1, 9), (Bytes{33, 23, 13, 34, 24, 14, 35, 25, 15}));
  EXPECT_EQ(z->ImageProperties().Compression, CompressionType::cmpLZ77);
}

TEST(PspReader, FourthChannelBecomesAlphaAndOtherLayersAreSkipped) {
  const Layer vector_layer{2, {{1, {99}}, {2, {99}}, {3, {99}}}};
  const Layer raster{1, {{1, {1, 2}}, {2, {3, 4}}, {3, {5, 6}}, {0, {128, 255}, 1}}};
  auto g = test::LoadBytes<TPSPGraphic>(PspFile(5, 2, 1, 24).LayerBank({vector_layer, raster}).Get());
  ASSERT_EQ(g->PixelFormat(), TPixelFormat::pf32bit);
  EXPECT_EQ(Row(*g, 0, 8), (Bytes{5, 3, 1, 128, 6, 4, 2, 255}));
  // The transparency is drawn over white: half of red 1, green 3, blue 5.
  EXPECT_TRUE(g->Transparent());
  EXPECT_EQ(CopyToPicture(*g, true).Pixel(0, 0), RGBColor(128, 129, 130));
  // Version 3 marks normal layers with 0.
  const Layer old_vector{1, {{0, {99, 99}}}};
  const Layer old_raster{0, {{0, {7, 8}}}};
  auto o =
      test::LoadBytes<TPSPGraphic>(PspFile(3, 2, 1, 8, 0, true).LayerBank({old_vector, old_raster}).Get());
  EXPECT_EQ(Row(*o, 0, 2), (Bytes{7, 8}));
}

TEST(PspReader, PalettedDepthsAndTheirRowStrides) {
  const std::vector<Bytes> palette = {{0, 0, 0}, {30, 20, 10}, {60, 50, 40}, {90, 80, 70}};
  // 8-bit: the palette block, blue first.
  auto p8 = test::LoadBytes<TPSPGraphic>(
      PspFile(5, 2, 1, 8).Palette(palette).LayerBank({{1, {{0, {3, 1}}}}}).Get());
  ASSERT_EQ(p8->PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(p8->PixelColor(0, 0), RGBColor(70, 80, 90));
  EXPECT_EQ(p8->PixelColor(1, 0), RGBColor(10, 20, 30));
  // 4-bit: rows of width / 2 + 1 bytes, so an even width leaves a pad byte.
  auto p4 = test::LoadBytes<TPSPGraphic>(
      PspFile(5, 3, 2, 4).Palette(palette).LayerBank({{1, {{0, {0x12, 0x30, 0x21, 0x00}}}}}).Get());
  ASSERT_EQ(p4->PixelFormat(), TPixelFormat::pf4bit);
  EXPECT_EQ(Row(*p4, 1, 2), (Bytes{0x21, 0x00}));
  EXPECT_EQ(p4->PixelColor(2, 0), RGBColor(70, 80, 90));
  auto p4even = test::LoadBytes<TPSPGraphic>(
      PspFile(5, 2, 2, 4).Palette(palette).LayerBank({{1, {{0, {0x12, 0xEE, 0x30, 0xEE}}}}}).Get());
  EXPECT_EQ(Row(*p4even, 0, 1), (Bytes{0x12}));
  EXPECT_EQ(Row(*p4even, 1, 1), (Bytes{0x30}));
  // 1-bit: rows of whole bytes.
  auto p1 = test::LoadBytes<TPSPGraphic>(
      PspFile(5, 9, 2, 1).LayerBank({{1, {{0, {0xA5, 0x80, 0x0F, 0x00}}}}}).Get());
  ASSERT_EQ(p1->PixelFormat(), TPixelFormat::pf1bit);
  EXPECT_EQ(Row(*p1, 1, 2), (Bytes{0x0F, 0x00}));
  // Gray: the ramp; a transparency mask of the layer does not replace its pixels.
  auto gray = test::LoadBytes<TPSPGraphic>(
      PspFile(5, 2, 1, 8, 0, true).LayerBank({{1, {{0, {40, 200}}, {0, {0, 0}, 1}}}}).Get());
  EXPECT_EQ(gray->PixelColor(1, 0), RGBColor(200, 200, 200));
  EXPECT_EQ(gray->ImageProperties().ColorScheme, ColorScheme::schGray);
}

TEST(PspReader, RefusedAndDamagedFiles) {
  EXPECT_EQ(test::LoadError<TPSPGraphic>(PspFile(5, 1, 1, 24, 3).LayerBank({}).Get()),
            "Cannot load image. The compression scheme is JPEG not supported for PSP files.");
  EXPECT_EQ(test::LoadError<TPSPGraphic>(PspFile(5, 1, 1, 16).Get()), "Invalid color format in PSP file.");
  EXPECT_EQ(test::LoadError<TPSPGraphic>(PspFile(2, 1, 1, 8).Get()),
            "Cannot load image. Invalid or unexpected PSP image format.");
  Bytes lower = PspFile(5, 1, 1, 8).Get();
  lower[0] = 'p';
  EXPECT_EQ(test::LoadError<TPSPGraphic>(lower), "");  // the signature's case does not matter

  const Layer layer{1, {{1, {1, 2, 3, 4}}, {2, {5, 6, 7, 8}}, {3, {9, 10, 11, 12}}}};
  const Bytes good = PspFile(5, 2, 2, 24).LayerBank({layer}).Get();
  ASSERT_EQ(test::LoadError<TPSPGraphic>(good), "");
  // Zero-length and lying blocks after the attributes end the walk or fail cleanly.
  EXPECT_EQ(test::LoadError<TPSPGraphic>(PspFile(5, 1, 1, 8).Block(7, {}).Block(7, {}).Get()), "");
  Bytes lying = PspFile(5, 1, 1, 8).Block(1, Bytes(8, 0)).Get();
  lying[lying.size() - 12] = 0xFF;  // the block's length: far past the end
  EXPECT_EQ(test::LoadError<TPSPGraphic>(lying), "");
  // A channel whose compressed length runs past its block.
  Bytes long_channel = good;
  const std::size_t last_channel = long_channel.size() - 4 - 16 - 10;  // data, channel header, block header
  ASSERT_EQ(long_channel[last_channel], '~');
  long_channel[last_channel + 10 + 4] = 200;  // compressed length
  EXPECT_NE(test::LoadError<TPSPGraphic>(long_channel), "");
  // A palette that claims more entries than its block holds.
  Bytes palette = PspFile(5, 1, 1, 8).Palette({{1, 2, 3}}).Get();
  palette[palette.size() - 5] = 0x40;
  EXPECT_NE(test::LoadError<TPSPGraphic>(palette), "");
  // Inflate data cut short.
  const Bytes zipped = ZlibStored({1, 2, 3, 4});
  const Layer short_zip{1, {{1, Bytes(zipped.begin(), zipped.end() - 6), 0, 4}}};
  EXPECT_EQ(test::LoadError<TPSPGraphic>(PspFile(5, 2, 2, 24, 2).LayerBank({short_zip}).Get()),
            "Cannot load image. Compression error found in PSP file.");

  test::ExpectChangedCopiesHandled<TPSPGraphic>(good, good.size());
  // Every cut copy fails cleanly; one that ends right after the attributes has no
  // layers to show and loads blank.
  for (std::size_t cut = 0; cut < good.size(); ++cut) {
    const Bytes part(good.begin(), good.begin() + std::ptrdiff_t(cut));
    const std::string error = test::LoadError<TPSPGraphic>(part);
    if (cut < 36 + 10 + 46) {
      EXPECT_EQ(error, "Cannot load image. Invalid or unexpected PSP image format.") << cut;
    } else if (cut >= 36 + 10 + 46 + 10) {
      EXPECT_NE(error, "") << cut;  // inside the layer bank
    }
  }
}

}  // namespace
}  // namespace qel
