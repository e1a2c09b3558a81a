#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "import/codecs/targa_rle.h"
#include "import/targa/graphic.h"
#include "import/targa/header.h"
#include "output/picture_writers.h"
#include "output/targa_writer.h"
#include "support/test_support.h"

namespace qel {
namespace {

using test::TempDir;
using Bytes = std::vector<std::uint8_t>;

Bytes Encode(int depth, const Bytes& pixels) {
  TTargaRLEDecoder codec(depth);
  const std::size_t count = pixels.size() / std::size_t(codec.BytesPerPixel());
  Bytes out(codec.MaxEncodedSize(count));
  out.resize(codec.Encode(pixels.data(), out.data(), count));
  return out;
}

TEST(TargaRLE, EncodeWritesOnePacketPerRunOrLiteral) {
  // A B C: one literal packet.
  EXPECT_EQ(Encode(8, {'A', 'B', 'C'}), (Bytes{0x02, 'A', 'B', 'C'}));
  // 130 equal pixels: a run of 128, then a run of 2.
  EXPECT_EQ(Encode(8, Bytes(130, 'A')), (Bytes{0xFF, 'A', 0x81, 'A'}));
  // A A B: a run of 2, then a literal of 1.
  EXPECT_EQ(Encode(8, {'A', 'A', 'B'}), (Bytes{0x81, 'A', 0x00, 'B'}));
  // A literal stops before the first pair of equal neighbours.
  EXPECT_EQ(Encode(8, {'A', 'B', 'B', 'B'}), (Bytes{0x00, 'A', 0x82, 'B'}));
  // Pixels compare as whole values: 24-bit pixels equal in two of three bytes differ.
  EXPECT_EQ(Encode(24, {1, 2, 3, 1, 2, 4}), (Bytes{0x01, 1, 2, 3, 1, 2, 4}));
  EXPECT_EQ(Encode(16, {1, 2, 1, 2, 1, 2}), (Bytes{0x82, 1, 2}));
  // 200 different pixels: literals of 128 and 72.
  Bytes ramp(200);
  for (int i = 0; i < 200; ++i) ramp[std::size_t(i)] = std::uint8_t(i);
  const Bytes packed = Encode(8, ramp);
  ASSERT_EQ(packed.size(), 202u);
  EXPECT_EQ(packed[0], 127);
  EXPECT_EQ(packed[129], 71);
}

TEST(TargaRLE, DecodeReversesEncodeForEveryDepth) {
  std::mt19937 rng(7);
  for (int depth : {8, 15, 16, 24, 32}) {
    TTargaRLEDecoder codec(depth);
    const std::size_t b = std::size_t(codec.BytesPerPixel());
    for (std::size_t count : {1u, 2u, 127u, 128u, 129u, 300u}) {
      // Runs of random lengths of random pixels, some of them single.
      Bytes pixels;
      while (pixels.size() < count * b) {
        Bytes pixel(b);
        for (auto& v : pixel) v = std::uint8_t(rng() % 3);
        for (unsigned r = rng() % 4; r-- && pixels.size() < count * b;)
          pixels.insert(pixels.end(), pixel.begin(), pixel.end());
      }
      const Bytes packed = Encode(depth, pixels);
      EXPECT_LE(packed.size(), codec.MaxEncodedSize(count));
      Bytes out(count * b);
      const std::uint8_t* src = packed.data();
      std::uint8_t* dst = out.data();
      codec.Decode(src, dst, packed.size(), out.size());
      EXPECT_EQ(out, pixels) << depth << " bits, " << count << " pixels";
      EXPECT_EQ(src, packed.data() + packed.size());
      EXPECT_EQ(dst, out.data() + out.size());
    }
  }
}

TEST(TargaRLE, PacketsRunOnIntoTheNextCall) {
  // The pixels are one stream: what a packet has beyond the room given is carried into
  // the next call, never written past the room.
  TTargaRLEDecoder codec(8);
  // A run of 5 into room for 3, then room for 4: the run's last 2, then the next packet.
  {
    const Bytes packed = {0x84, 'R', 0x00, 'N', 0x81, 'M'};
    Bytes out = {0, 0, 0, 'G'};
    const std::uint8_t* src = packed.data();
    std::uint8_t* dst = out.data();
    codec.Decode(src, dst, packed.size(), 3);
    EXPECT_EQ(out, (Bytes{'R', 'R', 'R', 'G'}));
    EXPECT_EQ(src - packed.data(), 2);
    EXPECT_EQ(dst - out.data(), 3);
    Bytes next(4, 0);
    dst = next.data();
    codec.Decode(src, dst, std::size_t(packed.data() + packed.size() - src), next.size());
    EXPECT_EQ(next, (Bytes{'R', 'R', 'N', 'M'}));
  }
  // A literal of 5 into room for 2: the other 3 stay at the source for the next call.
  {
    codec.DecodeInit();
    const Bytes packed = {0x04, 1, 2, 3, 4, 5, 0x80, 9};
    Bytes out = {0, 0, 'G'};
    const std::uint8_t* src = packed.data();
    std::uint8_t* dst = out.data();
    codec.Decode(src, dst, packed.size(), 2);
    EXPECT_EQ(out, (Bytes{1, 2, 'G'}));
    EXPECT_EQ(src - packed.data(), 3);
    Bytes next(4, 0);
    dst = next.data();
    codec.Decode(src, dst, std::size_t(packed.data() + packed.size() - src), next.size());
    EXPECT_EQ(next, (Bytes{3, 4, 5, 9}));
  }
  // Data that ends inside a literal: the pixels that are there, and no further.
  {
    TTargaRLEDecoder codec24(24);
    const Bytes packed = {0x03, 1, 1, 1, 2, 2, 2, 3, 3};  // 4 pixels announced, 2 whole ones present
    Bytes out(12, 0);
    const std::uint8_t* src = packed.data();
    std::uint8_t* dst = out.data();
    codec24.Decode(src, dst, packed.size(), out.size());
    EXPECT_EQ(dst - out.data(), 6);
    EXPECT_EQ(src, packed.data() + packed.size());
    // A run whose pixel value is cut off writes nothing.
    const Bytes run = {0x85, 7, 7};
    src = run.data();
    dst = out.data();
    codec24.Decode(src, dst, run.size(), out.size());
    EXPECT_EQ(dst, out.data());
    EXPECT_EQ(src, run.data() + run.size());
  }
  EXPECT_THROW(TTargaRLEDecoder(12), EGraphicCompression);
}

// A Targa file of a header and the bytes that follow it.
Bytes Tga(const TargaHeader& h, const Bytes& rest) {
  Bytes out;
  out.reserve(kTargaHeaderSize + rest.size());
  for (std::uint8_t v : SerializeTargaHeader(h)) out.push_back(v);
  for (std::uint8_t v : rest) out.push_back(v);
  return out;
}

TargaHeader Header(TargaImageType type, int width, int height, int depth, bool top_first = true) {
  TargaHeader h;
  h.image_type = std::uint8_t(type);
  h.width = std::uint16_t(width);
  h.height = std::uint16_t(height);
  h.pixel_depth = std::uint8_t(depth);
  h.descriptor = top_first ? TargaDescriptor::kTopFirst : 0;
  return h;
}

std::unique_ptr<TTargaGraphic> Load(const Bytes& bytes) {
  TMemoryStream stream(bytes);
  auto g = std::make_unique<TTargaGraphic>();
  g->LoadFromStream(stream);
  return g;
}

// Records what a graphic reports while it works.
class ProgressLog : public ProgressObserver {
 public:
  void OnProgress(ProgressStage stage, int percent, const TRect&, std::string_view message) override {
    entries.push_back(std::to_string(int(stage)) + ":" + std::to_string(percent) + ":" +
                      std::string(message));
  }
  void OnWarning(std::string_view) override {}
  std::vector<std::string> entries;
};

TEST(TargaRead, RowOrderImageIdAndPixelDepths) {
  // 2 x 2, 24-bit; rows top first and bottom first hold the same picture.
  const Bytes top = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const Bytes bottom = {7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6};
  auto a = Load(Tga(Header(TargaImageType::kTrueColor, 2, 2, 24, true), top));
  auto b = Load(Tga(Header(TargaImageType::kTrueColor, 2, 2, 24, false), bottom));
  ASSERT_EQ(a->PixelFormat(), TPixelFormat::pf24bit);
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(std::memcmp(a->ScanLine(y), b->ScanLine(y), 6), 0);
    EXPECT_EQ(std::memcmp(a->ScanLine(y), top.data() + 6 * y, 6), 0);
  }
  // The same, run-length coded.
  auto c = Load(Tga(Header(TargaImageType::kTrueColorRLE, 2, 2, 24, false),
                    {0x01, 7, 8, 9, 10, 11, 12, 0x81, 1, 2, 3}));
  EXPECT_EQ(c->PixelColor(0, 1), RGBColor(9, 8, 7));
  EXPECT_EQ(c->PixelColor(1, 1), RGBColor(12, 11, 10));
  EXPECT_EQ(c->PixelColor(1, 0), RGBColor(3, 2, 1));

  // An image ID of 5 bytes: the pixels start at offset 23.
  TargaHeader with_id = Header(TargaImageType::kTrueColor, 1, 1, 24);
  with_id.id_length = 5;
  auto d = Load(Tga(with_id, {'h', 'e', 'l', 'l', 'o', 30, 20, 10}));
  EXPECT_EQ(d->PixelColor(0, 0), RGBColor(10, 20, 30));

  // 15 bits, width 3: rows of 6 bytes (no padding), 5-5-5 words with blue low.
  auto e = Load(Tga(Header(TargaImageType::kTrueColor, 3, 2, 15),
                    {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x00, 0x00, 0xFF, 0x7F, 0x10, 0x42}));
  ASSERT_EQ(e->PixelFormat(), TPixelFormat::pf15bit);
  EXPECT_EQ(e->PixelColor(0, 0), RGBColor(255, 0, 0));
  EXPECT_EQ(e->PixelColor(2, 0), RGBColor(0, 0, 255));
  EXPECT_EQ(e->PixelColor(1, 1), RGBColor(255, 255, 255));
  EXPECT_EQ(e->PixelColor(2, 1), RGBColor(131, 131, 131));

  // 32 bits without attribute bits: the fourth byte is kept but not drawn.
  auto f = Load(Tga(Header(TargaImageType::kTrueColor, 1, 1, 32), {30, 20, 10, 0}));
  ASSERT_EQ(f->PixelFormat(), TPixelFormat::pf32bit);
  EXPECT_EQ(f->ScanLine(0)[3], 0);
  EXPECT_EQ(CopyToPicture(*f, true).Pixel(0, 0), RGBColor(10, 20, 30));
  // Declared alpha is drawn over white, unless it is 0 everywhere: 32 bits with 8
  // attribute bits, 16-bit colours with the top bit, 16-bit greys with their second byte.
  TargaHeader a32 = Header(TargaImageType::kTrueColor, 2, 1, 32);
  a32.descriptor |= 8;
  EXPECT_EQ(CopyToPicture(*Load(Tga(a32, {30, 20, 10, 0, 0, 0, 200, 255})), true).Pixel(0, 0), 0xFFFFFFu);
  EXPECT_EQ(CopyToPicture(*Load(Tga(a32, {30, 20, 10, 0, 0, 0, 200, 0})), true).Pixel(0, 0),
            RGBColor(10, 20, 30));
  TargaHeader a16 = Header(TargaImageType::kTrueColor, 2, 1, 16);
  a16.descriptor |= 1;
  const Picture p16 = CopyToPicture(*Load(Tga(a16, {0x1F, 0x00, 0x1F, 0x80})), true);
  EXPECT_EQ(p16.Pixel(0, 0), 0xFFFFFFu);
  EXPECT_EQ(p16.Pixel(1, 0), RGBColor(0, 0, 255));
  TargaHeader ga = Header(TargaImageType::kGrayscale, 2, 1, 16);
  ga.descriptor |= 8;
  const Picture pga = CopyToPicture(*Load(Tga(ga, {0, 0, 40, 255})), true);
  EXPECT_EQ(pga.Pixel(0, 0), 0xFFFFFFu);
  EXPECT_EQ(pga.Pixel(1, 0), RGBColor(40, 40, 40));

  // Greyscale: 8-bit with a grey palette; with 16 bits the grey byte of grey-alpha pairs.
  auto g = Load(Tga(Header(TargaImageType::kGrayscale, 2, 1, 8), {0, 200}));
  ASSERT_EQ(g->PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(g->PixelColor(1, 0), RGBColor(200, 200, 200));
  auto h = Load(Tga(Header(TargaImageType::kGrayscaleRLE, 3, 1, 16), {0x82, 90, 255}));
  ASSERT_EQ(h->PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(h->PixelColor(2, 0), RGBColor(90, 90, 90));

  // No image data: the bitmap has the size and its fresh content.
  auto none = Load(Tga(Header(TargaImageType::kNoImage, 2, 3, 24), {}));
  EXPECT_EQ(none->Width(), 2);
  EXPECT_EQ(none->PixelColor(1, 2), RGBColor(255, 255, 255));
}

TEST(TargaRead, ColourMaps) {
  // 16-bit map entries: 0x7FFF is grey 248 (no low-bit fill), 0x001F blue 248; the
  // pixels after the map are indices.
  TargaHeader h = Header(TargaImageType::kColorMapped, 2, 1, 8);
  h.color_map_type = 1;
  h.color_map_length = 2;
  h.color_map_entry_bits = 16;
  auto a = Load(Tga(h, {0xFF, 0x7F, 0x1F, 0x00, 0, 1}));
  ASSERT_EQ(a->PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(a->PixelColor(0, 0), RGBColor(248, 248, 248));
  EXPECT_EQ(a->PixelColor(1, 0), RGBColor(0, 0, 248));

  // 15-bit entries take two bytes each, as 16-bit ones do: with eight of them the
  // pixels start 16 bytes after the header, not 15.
  h.color_map_entry_bits = 15;
  h.color_map_length = 8;
  Bytes map15 = {0xFF, 0x7F};
  map15.resize(14, 0);
  map15.insert(map15.end(), {0x1F, 0x00, 0, 7});
  auto a15 = Load(Tga(h, map15));
  EXPECT_EQ(a15->PixelColor(0, 0), RGBColor(248, 248, 248));
  EXPECT_EQ(a15->PixelColor(1, 0), RGBColor(0, 0, 248));
  h.color_map_length = 2;

  // 32-bit entries: blue, green, red, alpha (alpha skipped).
  h.color_map_entry_bits = 32;
  auto b = Load(Tga(h, {1, 2, 3, 4, 5, 6, 7, 8, 1, 0}));
  EXPECT_EQ(b->PixelColor(0, 0), RGBColor(7, 6, 5));
  EXPECT_EQ(b->PixelColor(1, 0), RGBColor(3, 2, 1));

  // The map starts at its first entry index: pixel value 5 is the first stored entry.
  h.color_map_entry_bits = 24;
  h.color_map_first = 5;
  auto c = Load(Tga(h, {10, 20, 30, 40, 50, 60, 5, 6}));
  EXPECT_EQ(c->PixelColor(0, 0), RGBColor(30, 20, 10));
  EXPECT_EQ(c->PixelColor(1, 0), RGBColor(60, 50, 40));

  // Entries of another size are skipped, their bytes too.
  h.color_map_first = 0;
  h.color_map_entry_bits = 8;
  auto d = Load(Tga(h, {99, 98, 0, 1}));
  EXPECT_EQ(d->ScanLine(0)[1], 1);

  // A greyscale file that announces a map: the map is skipped, not read as pixels.
  TargaHeader g = Header(TargaImageType::kGrayscale, 1, 1, 8);
  g.color_map_type = 1;
  g.color_map_length = 2;
  g.color_map_entry_bits = 24;
  auto e = Load(Tga(g, {1, 2, 3, 4, 5, 6, 77}));
  EXPECT_EQ(e->PixelColor(0, 0), RGBColor(77, 77, 77));
}

TEST(TargaRead, RecognitionAndProperties) {
  TargaHeader h = Header(TargaImageType::kTrueColorRLE, 4, 3, 24);
  const Bytes no_entry_size = Tga(h, {0x83, 1, 2, 3, 0x83, 1, 2, 3, 0x83, 1, 2, 3});
  TTargaGraphic g;
  TMemoryStream s1(no_entry_size);
  EXPECT_FALSE(g.RecognizesStream(s1));  // map entry size 0
  EXPECT_EQ(s1.Position(), 0u);
  h.color_map_entry_bits = 24;
  TMemoryStream s2(Tga(h, {0x83, 1, 2, 3}));
  EXPECT_TRUE(g.RecognizesStream(s2));
  EXPECT_EQ(s2.Position(), 0u);
  TMemoryStream just_header(Tga(h, {}));  // nothing after the 18 bytes
  EXPECT_FALSE(g.RecognizesStream(just_header));

  // Loading by extension does not ask RecognizesStream.
  TempDir dir;
  test::WriteFileBytes(dir / "x.icb", no_entry_size);
  Picture p = LoadPictureFile((dir / "x.icb").string());
  EXPECT_EQ(p.Width(), 4);
  EXPECT_EQ(p.Pixel(3, 2), RGBColor(3, 2, 1));

  TMemoryStream s3(no_entry_size);
  ASSERT_TRUE(g.ReadProperties(s3, 0));
  const TImageProperties& props = g.ImageProperties();
  EXPECT_EQ(props.Width, 4u);
  EXPECT_EQ(props.ColorScheme, ColorScheme::schRGB);
  EXPECT_EQ(props.BitsPerPixel, 24);
  EXPECT_EQ(props.Compression, CompressionType::cmpRLE);

  // Progress: preparing, then transfering row by row.
  ProgressLog log;
  TTargaGraphic observed;
  observed.SetObserver(&log);
  TMemoryStream s4(no_entry_size);
  observed.LoadFromStream(s4);
  EXPECT_EQ(log.entries, (std::vector<std::string>{"0:0:Preparing...", "0:0:Transfering...",
                                                   "1:33:Transfering...", "1:66:Transfering...",
                                                   "1:100:Transfering...", "2:100:Transfering..."}));
}

TEST(TargaRead, BadFilesFailCleanly) {
  // An unknown depth: the colour manager's message, an empty bitmap.
  TTargaGraphic g;
  TMemoryStream s(Tga(Header(TargaImageType::kTrueColor, 1, 1, 12), {1, 2}));
  try {
    g.LoadFromStream(s);
    ADD_FAILURE() << "accepted";
  } catch (const EColorConversionError& e) {
    EXPECT_STREQ(e.what(), "Sample count per pixel does not correspond to the given color scheme.");
  }
  EXPECT_TRUE(g.Empty());

  // Uncompressed rows are read in full: short data fails, also before a huge bitmap
  // would be made for it.
  EXPECT_THROW(Load(Tga(Header(TargaImageType::kTrueColor, 2, 2, 24), {1, 2, 3, 4, 5, 6, 7})), EReadError);
  EXPECT_THROW(Load(Tga(Header(TargaImageType::kTrueColor, 30000, 30000, 24), {1, 2, 3})), EReadError);
  EXPECT_THROW(Load(Tga(Header(TargaImageType::kTrueColor, 1, 1, 24), {})), EReadError);
  EXPECT_THROW(Load(Bytes{0, 0, 2}), EReadError);

  // A compressed file that ends early keeps what it decoded.
  auto partial = Load(Tga(Header(TargaImageType::kTrueColorRLE, 2, 2, 24), {0x81, 10, 20, 30}));
  EXPECT_EQ(partial->PixelColor(1, 0), RGBColor(30, 20, 10));
  EXPECT_EQ(partial->PixelColor(0, 1), RGBColor(255, 255, 255));

  // Every truncation and many damaged copies of a real file load or fail with an error.
  const Bytes good = test::ReadFileBytes(test::CorpusDir() / "tga" / "common" / "200x32_p_bl_rle.tga");
  std::mt19937 rng(3);
  for (int trial = 0; trial < 300; ++trial) {
    Bytes bad = good;
    if (trial < 100) {
      bad.resize(std::size_t(rng()) % good.size());
    } else {
      for (int k = 0; k < 4; ++k)
        bad[std::size_t(rng()) % (trial < 200 ? 18 : bad.size())] = std::uint8_t(rng());
    }
    TMemoryStream stream(bad);
    TTargaGraphic target;
    try {
      target.LoadFromStream(stream);
    } catch (const Error&) {
    }
  }
}

TEST(TargaWrite, HeaderMapAndPackets) {
  // The ".tga" writer: 24-bit, run-length coded, rows top first, no map.
  Picture picture = test::PictureFromColors({{0x0000FF, 0x0000FF, 0x0000FF}, {0x010203, 0x040506, 0x070809}});
  TMemoryStream out;
  WriteTga(picture, out);
  const Bytes bytes = out.TakeBytes();
  EXPECT_EQ(bytes, (Bytes{0x00, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x01, 0x18, 0x00,
                          0x00, 0x00, 0x00, 0x03, 0x00, 0x02, 0x00, 0x18, 0x20,  // header
                          0x82, 0x00, 0x00, 0xFF,                                // row 0: run of 3 red
                          0x02, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06,              // row 1: literal of 3
                          0x07, 0x08, 0x09}));
  auto back = Load(bytes);
  EXPECT_EQ(back->PixelColor(2, 1), 0x070809u);

  // Uncompressed: type 2, rows as they are.
  TTargaGraphic g;
  g.AssignPicture(picture);
  TMemoryStream plain;
  EncodeTarga(g, plain, false);
  const Bytes raw = plain.TakeBytes();
  ASSERT_EQ(raw.size(), 18u + 18u);
  EXPECT_EQ(raw[2], 2);
  EXPECT_EQ(raw[18 + 9], 0x01);  // blue of the first pixel of row 1

  // 8 bits a pixel: type 9 with a map of 256 blue-green-red entries (zeros after the
  // palette); loads back to the same colours.
  TTargaGraphic indexed;
  indexed.SetPixelFormat(TPixelFormat::pf8bit);
  indexed.SetPalette({{10, 20, 30, 0}, {40, 50, 60, 0}});
  indexed.SetSize(2, 1);
  indexed.ScanLine(0)[1] = 1;
  TMemoryStream mapped;
  EncodeTarga(indexed, mapped, true);
  const Bytes m = mapped.TakeBytes();
  ASSERT_EQ(m.size(), 18u + 768u + 3u);
  EXPECT_EQ(m[1], 1);
  EXPECT_EQ(m[2], 9);
  EXPECT_EQ(Bytes(m.begin() + 18, m.begin() + 24), (Bytes{30, 20, 10, 60, 50, 40}));
  EXPECT_EQ(m[24], 0);
  auto indexed_back = Load(m);
  EXPECT_EQ(indexed_back->PixelColor(1, 0), RGBColor(40, 50, 60));

  // A 5-6-5 bitmap is written as the 5-5-5 words of the format.
  TTargaGraphic wide;
  wide.SetPixelFormat(TPixelFormat::pf16bit);
  wide.SetSize(1, 1);
  wide.ScanLine(0)[0] = 0x00;
  wide.ScanLine(0)[1] = 0xF8;  // red 31 in 5-6-5
  TMemoryStream w;
  EncodeTarga(wide, w, false);
  EXPECT_EQ(Load(w.TakeBytes())->PixelColor(0, 0), RGBColor(255, 0, 0));

  // An empty bitmap writes nothing.
  TTargaGraphic empty;
  TMemoryStream nothing;
  EncodeTarga(empty, nothing, true);
  EXPECT_EQ(nothing.Size(), 0u);

  // The format cannot hold more than 65535 pixels a side.
  TTargaGraphic huge;
  huge.SetPixelFormat(TPixelFormat::pf8bit);
  huge.SetSize(70000, 1);
  TMemoryStream refused;
  EXPECT_THROW(EncodeTarga(huge, refused, true), Error);
  EXPECT_EQ(refused.Size(), 0u);
}

// Compares our decode of a Targa file with Pillow's. Pillow widens 5-bit colour map
// entries to 255 where this reader multiplies by 8 (so 31 is 248). A file that declares
// alpha (attribute bits) is compared over white; one that declares none is opaque here
// whatever its fourth byte holds, where Pillow takes every 32-bit file's fourth byte
// as alpha, so that byte is left out of the comparison.
void ExpectMatchesPillow(const std::filesystem::path& file) {
  SCOPED_TRACE(file.filename().string());
  const Bytes bytes = test::ReadFileBytes(file);
  ASSERT_GE(bytes.size(), kTargaHeaderSize);
  const bool declares_alpha = (bytes[17] & 0x0F) != 0 && (bytes[16] == 16 || bytes[16] == 32);
  Picture ours = LoadPictureFile(file.string());
  auto theirs = test::PillowDecode(file, /*ignore_alpha=*/!declares_alpha);
  ASSERT_TRUE(theirs);
  const auto d = test::Compare(ours, *theirs);
  EXPECT_TRUE(d.same_size);
  EXPECT_LE(d.max_channel_difference, 1) << d.Describe();
}

TEST(TargaRead, CorpusFilesMatchPillow) {
  QEL_SKIP_WITHOUT("pillow");
  const auto files = test::CorpusFiles({".tga"});
  ASSERT_GE(files.size(), 3u);
  for (const auto& file : files) ExpectMatchesPillow(file);
  for (const auto& entry : std::filesystem::directory_iterator(test::CorpusDir() / "tga" / "common")) {
    if (entry.path().extension() == ".tga") ExpectMatchesPillow(entry.path());
  }
}

TEST(TargaRead, ImageMagickFilesMatchPillow) {
  QEL_SKIP_WITHOUT("convert", "pillow");
  TempDir dir;
  const std::string source = test::ShellQuote((dir / "rose.png").string());
  ASSERT_EQ(test::RunCommand("/usr/bin/convert rose: " + source), 0);
  const std::vector<std::pair<std::string, std::string>> kinds = {{"true", "-type TrueColor"},
                                                                  {"palette", "-type Palette"},
                                                                  {"grey", "-type Grayscale"},
                                                                  {"alpha", "-type TrueColorAlpha"},
                                                                  {"depth5", "-type TrueColor -depth 5"}};
  for (const auto& [name, options] : kinds) {
    for (const std::string compress : {"None", "RLE"}) {
      const auto file = dir / (name + "_" + compress + ".tga");
      ASSERT_EQ(test::RunCommand("/usr/bin/convert " + source + " " + options + " -compress " + compress +
                                 " " + test::ShellQuote(file.string())),
                0);
      ExpectMatchesPillow(file);
    }
  }
}

// ImageMagick's decode of a Targa file turned as its origin says, over white.
std::optional<Picture> MagickOriented(const std::filesystem::path& file) {
  return test::PeerDecode(
      "sh -c '/usr/bin/convert \"$0\" -auto-orient -background white -flatten -depth 8 ppm:\"$1\"'", file);
}

// The pixels of an uncompressed Targa file coded again as one run-length stream over
// all rows, so that packets run on from one row into the next.
Bytes RecodedAcrossRows(const Bytes& raw) {
  TargaHeader h =
      ParseTargaHeader(*reinterpret_cast<const std::array<std::uint8_t, kTargaHeaderSize>*>(raw.data()));
  h.image_type = std::uint8_t(TargaImageType::kTrueColorRLE);
  const Bytes pixels(raw.begin() + std::ptrdiff_t(kTargaHeaderSize + h.id_length), raw.end());
  return Tga(h, Encode(h.pixel_depth, pixels));
}

TEST(TargaRead, OriginsAlphaAndLongPacketsMatchImageMagick) {
  QEL_SKIP_WITHOUT("convert");
  // Files written by ImageMagick with the origin on the right (top and bottom), with a
  // varying alpha channel, and packets that cross rows; all as ImageMagick shows them.
  TempDir dir;
  const std::string d = dir.Path().string() + "/";
  const std::string alpha =
      "-size 60x12 gradient:red-blue \\( -size 12x60 gradient: -rotate 90 \\) -alpha off "
      "-compose copy_opacity -composite";
  const std::pair<const char*, std::string> cases[] = {
      {"top_right.tga", "rose: -orient TopRight -compress RLE"},
      {"top_right_raw.tga", "rose: -orient TopRight -compress None"},
      {"bottom_right.tga", "rose: -orient BottomRight -compress RLE"},
      {"alpha.tga", alpha + " -compress RLE"},
      {"alpha_raw.tga", alpha + " -compress None"},
      {"alpha_right.tga", alpha + " -orient BottomRight -compress None"},
  };
  for (const auto& [name, make] : cases) {
    SCOPED_TRACE(name);
    ASSERT_EQ(test::RunCommand("/usr/bin/convert " + make + " " + d + name), 0) << make;
    const std::vector<std::filesystem::path> files = {dir / name};
    Bytes raw = test::ReadFileBytes(dir / name);
    std::vector<std::filesystem::path> all = files;
    if (raw[2] == std::uint8_t(TargaImageType::kTrueColor)) {
      test::WriteFileBytes(dir / (std::string("long_") + name), RecodedAcrossRows(raw));
      all.push_back(dir / (std::string("long_") + name));
    }
    for (const auto& file : all) {
      const auto theirs = MagickOriented(dir / name);  // the uncoded original's picture
      ASSERT_TRUE(theirs);
      const auto diff = test::Compare(LoadPictureFile(file.string()), *theirs);
      EXPECT_TRUE(diff.same_size && diff.max_channel_difference <= 1)
          << file.filename() << ": " << diff.Describe();
    }
  }
  // Some packet of a recoded file really runs over a row's end.
  const Bytes coded = RecodedAcrossRows(test::ReadFileBytes(dir / "top_right_raw.tga"));
  const std::size_t width = coded[12] | (coded[13] << 8), bpp = coded[16] / 8;
  int crossing = 0;
  for (std::size_t at = kTargaHeaderSize + coded[0], pixel = 0; at < coded.size();) {
    const std::size_t count = (coded[at] & 0x7F) + 1u;
    crossing += pixel % width + count > width;
    at += 1 + ((coded[at] & 0x80) ? bpp : count * bpp);
    pixel += count;
  }
  EXPECT_GT(crossing, 0);
}

TEST(TargaWrite, ConvertedFilesReadBackInPillow) {
  QEL_SKIP_WITHOUT("pillow");
  TempDir dir;
  Picture picture = NewPicture(150, 7, RGBColor(255, 0, 0));
  for (int x = 0; x < 150; x += 3) picture.SetPixel(x, 3, RGBColor(std::uint8_t(x), 7, 200));
  TFileStream out((dir / "out.tga").string(), TFileStream::Mode::kCreate);
  WriteTga(picture, out);
  out.Commit();
  auto theirs = test::PillowDecode(dir / "out.tga");
  ASSERT_TRUE(theirs);
  const auto d = test::Compare(picture, *theirs);
  EXPECT_EQ(d.differing_pixels, 0u) << d.Describe();
}

}  // namespace
}  // namespace qel
