#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "import/jp2/boxes.h"
#include "import/jp2/graphic.h"
#include "output/jp2_writer.h"
#include "output/picture_writers.h"
#include "support/test_support.h"

namespace qel {
namespace {

using test::TempDir;
using Bytes = std::vector<std::uint8_t>;

// Compresses raw samples with opj_compress; format is its -F argument. One resolution
// level, lossless, so that tiny images are accepted and samples come back exactly.
Bytes OpjCompressRaw(const TempDir& dir, const Bytes& raw, const std::string& format,
                     const std::string& out_name) {
  test::WriteFileBytes(dir / "in.raw", raw);
  const std::string out = (dir / out_name).string();
  std::string log;
  const int status =
      test::RunCommand("opj_compress -n 1 -F " + format + " -i " +
                           test::ShellQuote((dir / "in.raw").string()) + " -o " + test::ShellQuote(out),
                       &log);
  EXPECT_EQ(status, 0) << log;
  return test::ReadFileBytes(out);
}

std::unique_ptr<TJpeg2000Bitmap> Decode(const Bytes& bytes) {
  TMemoryStream stream(bytes);
  auto bitmap = std::make_unique<TJpeg2000Bitmap>();
  bitmap->LoadFromStream(stream);
  return bitmap;
}

// The pixel bytes of a bitmap, as blue, green, red (and fourth) in memory order.
std::vector<int> PixelBytes(const TBitmap& b, int x, int y) {
  const int step = PixelFormatBits(b.PixelFormat()) / 8;
  const std::uint8_t* p = b.ScanLine(y) + step * x;
  return std::vector<int>(p, p + step);
}

// The opj_decompress decode of a file, as a picture.
std::optional<Picture> OpjDecode(const std::filesystem::path& file) {
  return test::PeerDecode("sh -c 'opj_decompress -quiet -i \"$0\" -o \"$1\"'", file);
}

TEST(Jpeg2000Rate, FollowsTheByteBudgetFormula) {
  // T = N x 0.16 + 550 + 142 x 2 for quality 90 and three components.
  EXPECT_NEAR(Jpeg2000Rate(90, 100 * 100 * 3, 3), 30000.0 / 5634.0, 1e-5);
  EXPECT_NEAR(Jpeg2000Rate(90, 100 * 100 * 3, 3), 5.325, 1e-3);
  EXPECT_NEAR(Jpeg2000Rate(90, 640 * 480 * 3, 3), 6.2148, 1e-4);
  // A fourth component adds 142 bytes of budget; quality 100 allows more bytes than 90.
  EXPECT_LT(Jpeg2000Rate(90, 40000, 4), Jpeg2000Rate(90, 40000, 3));
  EXPECT_LT(Jpeg2000Rate(100, 30000, 3), Jpeg2000Rate(90, 30000, 3));
}

TEST(Jpeg2000Read, RecognisesFilesByContentAndRefusesOthers) {
  QEL_SKIP_WITHOUT("opj_compress");
  TempDir dir;
  const Bytes codestream = OpjCompressRaw(dir, {10, 20, 30}, "1,1,3,8,u", "c.j2k");
  ASSERT_FALSE(codestream.empty());

  // Too short, or neither signature: the stream stays where it was, the bitmap too.
  for (const Bytes& bad :
       {Bytes{0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50, 0x20}, Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0},
        Bytes{0xFF, 0x4F, 0xFF, 0x52, 0, 0, 0, 0}}) {
    TMemoryStream stream(bad);
    stream.SetPosition(1);
    TJpeg2000Bitmap bitmap;
    try {
      bitmap.LoadFromStream(stream);
      ADD_FAILURE() << "accepted";
    } catch (const EJpeg2000Error& e) {
      EXPECT_STREQ(e.what(), "Unknown JPEG 2000 file type");
    }
    EXPECT_EQ(stream.Position(), 1u);
  }

  // A signature followed by garbage reaches the codec, which gives no image.
  Bytes garbage = {0xFF, 0x4F, 0xFF, 0x51, 0x00, 0x02, 0x00, 0x00, 0x12, 0x34};
  TMemoryStream stream(garbage);
  TJpeg2000Bitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::pf24bit);
  bitmap.SetSize(2, 2);
  EXPECT_THROW(
      {
        try {
          bitmap.LoadFromStream(stream);
        } catch (const EJpeg2000Error& e) {
          EXPECT_STREQ(e.what(), "JPEG 2000 image decoding failed");
          throw;
        }
      },
      EJpeg2000Error);
  EXPECT_EQ(bitmap.Width(), 2);  // unchanged

  // Every truncation of a valid codestream fails cleanly or decodes what is there.
  for (std::size_t n = 8; n < codestream.size(); n += 7) {
    Bytes cut(codestream.begin(), codestream.begin() + std::ptrdiff_t(n));
    TMemoryStream s(cut);
    TJpeg2000Bitmap b;
    try {
      b.LoadFromStream(s);
    } catch (const EJpeg2000Error&) {
    }
  }

  // Damaged copies of a subsampled file load or fail with an error, never worse.
  Bytes samples(16 * 16 + 2 * 8 * 8);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = std::uint8_t(i * 37);
  const Bytes subsampled = OpjCompressRaw(dir, samples, "16,16,3,8,u@1x1:2x2:2x2", "sub.jp2");
  std::mt19937 rng(5);
  for (int trial = 0; trial < 300; ++trial) {
    Bytes bad = subsampled;
    const std::size_t span = trial < 200 ? std::min<std::size_t>(bad.size(), 160) : bad.size();
    for (int k = 0; k < 3; ++k) bad[std::size_t(rng()) % span] = std::uint8_t(rng());
    TMemoryStream s(bad);
    TJpeg2000Bitmap b;
    try {
      b.LoadFromStream(s);
    } catch (const Error&) {
    }
  }

  // A codestream named .jp2 loads: the content decides.
  test::WriteFileBytes(dir / "really_a_codestream.jp2", codestream);
  Picture p = LoadPictureFile((dir / "really_a_codestream.jp2").string());
  EXPECT_EQ(p.Pixel(0, 0), RGBColor(10, 20, 30));
}

// A codestream whose size marker claims a picture (and a single tile) of w x h.
Bytes WithClaimedSize(Bytes codestream, std::uint32_t w, std::uint32_t h) {
  auto put = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) codestream[at + std::size_t(i)] = std::uint8_t(v >> (24 - 8 * i));
  };
  put(8, w);   // Xsiz
  put(12, h);  // Ysiz
  put(24, w);  // XTsiz
  put(28, h);  // YTsiz
  return codestream;
}

TEST(Jpeg2000Read, HugeHeadersAreRefusedBeforeDecoding) {
  QEL_SKIP_WITHOUT("opj_compress");
  TempDir dir;
  const Bytes grey = OpjCompressRaw(dir, {1}, "1,1,1,8,u", "g.j2k");
  const Bytes rgb = OpjCompressRaw(dir, {1, 2, 3}, "1,1,3,8,u", "c.j2k");
  // Beyond the picture limit, and within it but with three full components of samples.
  for (const Bytes& bytes : {WithClaimedSize(grey, 40000, 40000), WithClaimedSize(rgb, 20000, 20000)}) {
    TMemoryStream stream(bytes);
    TJpeg2000Bitmap bitmap;
    EXPECT_THROW(bitmap.LoadFromStream(stream), EOutOfResources);
    EXPECT_TRUE(bitmap.Empty());
  }
}

TEST(Jpeg2000Read, ComponentOrderAndGreyFiles) {
  QEL_SKIP_WITHOUT("opj_compress");
  TempDir dir;
  // Raw codestream, 2 x 1, planar samples: component 0 is 10, 40, component 1 is 20, 50,
  // component 2 is 30, 60. Component 0 is red.
  auto rgb = Decode(OpjCompressRaw(dir, {10, 40, 20, 50, 30, 60}, "2,1,3,8,u", "rgb.j2k"));
  ASSERT_EQ(rgb->PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(PixelBytes(*rgb, 0, 0), (std::vector<int>{30, 20, 10}));
  EXPECT_EQ(PixelBytes(*rgb, 1, 0), (std::vector<int>{60, 50, 40}));

  // Four components without channel definitions: colour in order, the fourth kept
  // in the fourth byte and not drawn.
  auto rgba = Decode(OpjCompressRaw(dir, {200, 0, 0, 7}, "1,1,4,8,u", "rgba.j2k"));
  ASSERT_EQ(rgba->PixelFormat(), TPixelFormat::pf32bit);
  EXPECT_EQ(PixelBytes(*rgba, 0, 0), (std::vector<int>{0, 0, 200, 7}));
  EXPECT_EQ(CopyToPicture(*rgba, true).Pixel(0, 0), RGBColor(200, 0, 0));

  // One component in a JP2: 8-bit grey with the grey palette.
  auto grey = Decode(OpjCompressRaw(dir, {0, 77, 255}, "3,1,1,8,u", "grey.jp2"));
  ASSERT_EQ(grey->PixelFormat(), TPixelFormat::pf8bit);
  ASSERT_EQ(grey->PaletteRef().size(), 256u);
  EXPECT_EQ(grey->PaletteRef()[77], (PaletteEntry{77, 77, 77, 0}));
  EXPECT_EQ(grey->ScanLine(0)[1], 77);
  EXPECT_EQ(CopyToPicture(*grey, true).Pixel(2, 0), RGBColor(255, 255, 255));

  // Two components: grey from the first, the second ignored.
  auto two = Decode(OpjCompressRaw(dir, {90, 91, 1, 2}, "2,1,2,8,u", "two.jp2"));  // planar
  ASSERT_EQ(two->PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(two->ScanLine(0)[0], 90);
  EXPECT_EQ(two->ScanLine(0)[1], 91);
}

TEST(Jpeg2000Read, PrecisionAndSignAreScaledToBytes) {
  QEL_SKIP_WITHOUT("opj_compress");
  TempDir dir;
  // 12 bits, big-endian words: 4095 -> 255, 2048 -> 127 ((v x 255) div 4095), 0 -> 0.
  auto twelve = Decode(OpjCompressRaw(dir, {0x0F, 0xFF, 0x08, 0x00, 0x00, 0x00}, "3,1,1,12,u", "g12.j2k"));
  EXPECT_EQ(twelve->ScanLine(0)[0], 255);
  EXPECT_EQ(twelve->ScanLine(0)[1], 127);
  EXPECT_EQ(twelve->ScanLine(0)[2], 0);
  // Signed 8 bits: -128 -> 0, 127 -> 255, 0 -> 128.
  auto sign = Decode(OpjCompressRaw(dir, {0x80, 0x7F, 0x00}, "3,1,1,8,s", "s8.j2k"));
  EXPECT_EQ(sign->ScanLine(0)[0], 0);
  EXPECT_EQ(sign->ScanLine(0)[1], 255);
  EXPECT_EQ(sign->ScanLine(0)[2], 128);
  // 1 bit: 0 and 1 become black and white.
  auto bilevel = Decode(OpjCompressRaw(dir, {0, 1}, "2,1,1,1,u", "b1.j2k"));
  EXPECT_EQ(bilevel->ScanLine(0)[0], 0);
  EXPECT_EQ(bilevel->ScanLine(0)[1], 255);
}

// A JP2 file around a codestream, with the given channel definitions and colour space.
Bytes WrapCodestream(const Bytes& codestream, std::uint32_t w, std::uint32_t h, std::uint16_t n,
                     std::vector<Jp2ChannelDefinition> channels, std::uint32_t enumerated_space) {
  Jp2FileDescription d{w, h, n, std::move(channels)};
  Bytes file = BuildJp2File(d, codestream);
  const std::uint8_t colr[] = {'c', 'o', 'l', 'r'};
  auto at = std::search(file.begin(), file.end(), std::begin(colr), std::end(colr));
  EXPECT_NE(at, file.end());
  const std::size_t space =
      std::size_t(at - file.begin()) + 7;  // after type, method, precedence, approximation
  for (int i = 0; i < 4; ++i) file[space + std::size_t(i)] = std::uint8_t(enumerated_space >> (24 - 8 * i));
  return file;
}

TEST(Jpeg2000Read, ChannelDefinitionsDecideTheBytes) {
  QEL_SKIP_WITHOUT("opj_compress", "opj_decompress");
  TempDir dir;
  // Channels stored blue, green, red; the box says so.
  const Bytes codestream = OpjCompressRaw(dir, {10, 20, 30}, "1,1,3,8,u", "bgr.j2k");
  const Bytes file = WrapCodestream(codestream, 1, 1, 3, {{0, 0, 3}, {1, 0, 2}, {2, 0, 1}}, 16);
  auto bitmap = Decode(file);
  EXPECT_EQ(PixelBytes(*bitmap, 0, 0), (std::vector<int>{10, 20, 30}));  // red 30, blue 10
  // opj_decompress agrees. (Pillow decodes through the codec's tile interface, which
  // leaves channel definitions unapplied, so it shows red 10 and blue 30.)
  test::WriteFileBytes(dir / "bgr.jp2", file);
  auto peer = OpjDecode(dir / "bgr.jp2");
  ASSERT_TRUE(peer);
  EXPECT_EQ(peer->Pixel(0, 0), RGBColor(30, 20, 10));

  // An opacity channel first, then red, green, blue.
  const Bytes argb = OpjCompressRaw(dir, {9, 100, 150, 200}, "1,1,4,8,u", "argb.j2k");
  auto with_alpha = Decode(WrapCodestream(argb, 1, 1, 4, {{0, 1, 0}, {1, 0, 1}, {2, 0, 2}, {3, 0, 3}}, 16));
  EXPECT_EQ(CopyToPicture(*with_alpha, true).Pixel(0, 0), RGBColor(100, 150, 200));
}

TEST(Jpeg2000Read, SyccIsConvertedToRgb) {
  QEL_SKIP_WITHOUT("opj_compress");
  TempDir dir;
  // Y 128, Cb 128, Cr 128 is grey 128; Y 255, Cr 255 clamps red at 255.
  const Bytes cs = OpjCompressRaw(dir, {128, 255, 128, 128, 128, 255}, "2,1,3,8,u", "ycc.j2k");
  for (bool with_box : {false, true}) {
    std::vector<Jp2ChannelDefinition> cdef;
    if (with_box) cdef = {{0, 0, 1}, {1, 0, 2}, {2, 0, 3}};
    auto b = Decode(WrapCodestream(cs, 2, 1, 3, cdef, 18));
    EXPECT_EQ(PixelBytes(*b, 0, 0), (std::vector<int>{128, 128, 128}));
    EXPECT_EQ(PixelBytes(*b, 1, 0), (std::vector<int>{255, 164, 255}));  // green 255 - 0.71414 x 127
  }

  // 4:2:0 chroma: each chroma sample covers its 2 x 2 block. Y is 128 everywhere, Cb
  // 128, Cr 128 on the left block and 255 on the right one.
  const Bytes raw = {128, 128, 128, 128, 128, 128, 128, 128,  // Y, 4 x 2
                     128, 128,                                // Cb, 2 x 1
                     128, 255};                               // Cr, 2 x 1
  const Bytes sub = OpjCompressRaw(dir, raw, "4,2,3,8,u@1x1:2x2:2x2", "sub.j2k");
  auto b = Decode(WrapCodestream(sub, 4, 2, 3, {}, 18));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x)
      EXPECT_EQ(PixelBytes(*b, x, y), (std::vector<int>{128, 128, 128})) << x << "," << y;
    for (int x = 2; x < 4; ++x)
      EXPECT_EQ(PixelBytes(*b, x, y), (std::vector<int>{128, 37, 255})) << x << "," << y;
  }
}

TEST(Jpeg2000Read, CorpusFilesMatchPeers) {
  QEL_SKIP_WITHOUT("opj_decompress", "pillow");
  const auto files = test::CorpusFiles({".jp2", ".j2k", ".jpc"});
  ASSERT_GE(files.size(), 5u);
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    Picture ours = LoadPictureFile(file.string());
    if (file.filename() == "00r1_graya_la.jp2") {
      // Grey plus opacity whose grey component has a horizontal separation of 129, so it
      // is one sample wide. Pillow refuses such a file; opj_decompress gives the grey
      // component as a one-sample column, which this graphic repeats along each row.
      EXPECT_FALSE(test::PillowDecode(file));
      TempDir dir;
      ASSERT_EQ(test::RunCommand("opj_decompress -quiet -i " + test::ShellQuote(file.string()) + " -o " +
                                 test::ShellQuote((dir / "c.pgx").string()) + " >/dev/null 2>&1"),
                0);
      const Bytes pgx = test::ReadFileBytes(dir / "c_0.pgx");
      const auto body = std::find(pgx.begin(), pgx.end(), '\n') + 1;
      ASSERT_EQ(pgx.end() - body, ours.Height());
      for (int y = 0; y < ours.Height(); ++y) {
        const std::uint8_t v = body[y];
        for (int x = 0; x < ours.Width(); ++x)
          ASSERT_EQ(ours.Pixel(x, y), RGBColor(v, v, v)) << x << "," << y;
      }
      continue;
    }
    auto theirs = test::PillowDecode(file);
    ASSERT_TRUE(theirs);
    ASSERT_EQ(ours.Width(), theirs->Width());
    ASSERT_EQ(ours.Height(), theirs->Height());
    // Pillow narrows samples of more than 8 bits by adding half a step and shifting,
    // this graphic by scaling ((v x 255) div max): they differ by at most 1, except that
    // Pillow's rounding overflows the largest sample to 0 where this graphic gives 255.
    for (int y = 0; y < ours.Height(); ++y) {
      for (int x = 0; x < ours.Width(); ++x) {
        const TColor a = ours.Pixel(x, y), b = theirs->Pixel(x, y);
        for (int shift : {0, 8, 16}) {
          const int va = int(a >> shift) & 0xFF, vb = int(b >> shift) & 0xFF;
          if (std::abs(va - vb) > 1 && !(va == 255 && vb == 0)) {
            ADD_FAILURE() << "at " << x << "," << y << ": " << va << " vs " << vb;
            return;
          }
        }
      }
    }
  }
}

TEST(Jpeg2000Write, ConvertedFileDecodesInPeersWithTheRightBoxes) {
  QEL_SKIP_WITHOUT("opj_compress", "opj_decompress", "pillow");
  TempDir dir;
  // A picture with red, green, blue and white quarters and a ramp, 64 x 40.
  Picture picture = NewPicture(64, 40, 0xFFFFFF);
  FillRect(picture, TRect{0, 0, 32, 20}, RGBColor(255, 0, 0));
  FillRect(picture, TRect{32, 0, 64, 20}, RGBColor(0, 255, 0));
  FillRect(picture, TRect{0, 20, 32, 40}, RGBColor(0, 0, 255));
  for (int x = 0; x < 64; ++x) picture.SetPixel(x, 39, RGBColor(std::uint8_t(4 * x), 128, 0));
  test::WritePPMFile(dir / "in.ppm", picture);
  ASSERT_EQ(test::RunCommand("opj_compress -quiet -i " + test::ShellQuote((dir / "in.ppm").string()) +
                             " -o " + test::ShellQuote((dir / "in.jp2").string()) + " >/dev/null 2>&1"),
            0);
  std::string log;
  ASSERT_EQ(test::RunCommand(test::ShellQuote(test::ConvertTool().string()) + " " +
                                 test::ShellQuote((dir / "in.jp2").string()) + " " +
                                 test::ShellQuote((dir / "out.jp2").string()),
                             &log),
            0)
      << log;

  for (auto decoded : {OpjDecode(dir / "out.jp2"), test::PillowDecode(dir / "out.jp2")}) {
    ASSERT_TRUE(decoded);
    const auto d = test::Compare(*decoded, picture);
    ASSERT_TRUE(d.same_size);
    EXPECT_LE(d.max_channel_difference, 48) << d.Describe();  // lossy at quality 90
    const TColor red = decoded->Pixel(10, 10);
    EXPECT_GE(RedOf(red), 230);
    EXPECT_LE(GreenOf(red), 25);
    EXPECT_LE(BlueOf(red), 25);
  }

  // Boxes in order, the header's boxes in order, and channel definitions for all three.
  const Bytes file = test::ReadFileBytes(dir / "out.jp2");
  std::vector<std::uint32_t> top, inner;
  for (const Jp2Box& box : ParseJp2Boxes(file)) {
    top.push_back(box.type);
    if (box.type == jp2box::kHeader)
      for (const Jp2Box& b : ParseJp2Boxes(box.content)) inner.push_back(b.type);
    if (box.type == jp2box::kFileType) {
      EXPECT_EQ(box.content.size(), 12u);
    }
    if (box.type == jp2box::kColour) ADD_FAILURE() << "colour box outside the header";
  }
  EXPECT_EQ(top, (std::vector<std::uint32_t>{jp2box::kSignature, jp2box::kFileType, jp2box::kHeader,
                                             jp2box::kCodestream}));
  EXPECT_EQ(inner,
            (std::vector<std::uint32_t>{jp2box::kImageHeader, jp2box::kColour, jp2box::kChannelDefinition}));
  EXPECT_EQ(ReadJp2ChannelDefinitions(file),
            (std::vector<Jp2ChannelDefinition>{{0, 0, 1}, {1, 0, 2}, {2, 0, 3}}));
  const Bytes start(file.begin(), file.begin() + 32);
  EXPECT_EQ(start,
            (Bytes{0,   0,   0,   0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A, 0,   0,   0,   20,
                   'f', 't', 'y', 'p',  'j', 'p', '2', ' ', 0,    0,    0,    0,    'j', 'p', '2', ' '}));
}

TEST(Jpeg2000Write, BitmapFormatsLosslessModeAndSmallPictures) {
  // A 32-bit bitmap writes four components, the fourth as opacity.
  TJpeg2000Bitmap rgba;
  rgba.SetPixelFormat(TPixelFormat::pf32bit);
  rgba.SetSize(40, 33);
  for (int y = 0; y < 33; ++y)
    for (int x = 0; x < 40; ++x) {
      std::uint8_t* p = rgba.ScanLine(y) + 4 * x;
      p[0] = std::uint8_t(x), p[1] = std::uint8_t(y), p[2] = std::uint8_t(x + y), p[3] = 200;
    }
  TMemoryStream out;
  EncodeJp2(rgba, out, Jp2EncodeOptions{true});
  const Bytes file = out.TakeBytes();
  EXPECT_EQ(ReadJp2ChannelDefinitions(file),
            (std::vector<Jp2ChannelDefinition>{{0, 0, 1}, {1, 0, 2}, {2, 0, 3}, {3, 1, 0}}));
  auto back = Decode(file);
  ASSERT_EQ(back->PixelFormat(), TPixelFormat::pf32bit);
  for (int y = 0; y < 33; ++y) EXPECT_EQ(std::memcmp(back->ScanLine(y), rgba.ScanLine(y), 40 * 4), 0) << y;

  // An 8-bit bitmap writes three components from its colours.
  TJpeg2000Bitmap indexed;
  indexed.SetPixelFormat(TPixelFormat::pf8bit);
  indexed.SetPalette({{0, 0, 0, 0}, {255, 128, 0, 0}});
  indexed.SetSize(3, 2);
  indexed.ScanLine(1)[2] = 1;
  TMemoryStream out8;
  EncodeJp2(indexed, out8, Jp2EncodeOptions{true});
  auto back8 = Decode(out8.TakeBytes());
  ASSERT_EQ(back8->PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(back8->PixelColor(2, 1), RGBColor(255, 128, 0));
  EXPECT_EQ(back8->PixelColor(0, 0), RGBColor(0, 0, 0));

  // Pictures smaller than the six resolution levels allow still save.
  for (auto [w, h] : {std::pair{1, 1}, std::pair{5, 300}, std::pair{31, 31}}) {
    Picture p = NewPicture(w, h, RGBColor(250, 10, 10));
    TMemoryStream s;
    WriteJp2(p, s);
    auto b = Decode(s.TakeBytes());
    ASSERT_EQ(b->Width(), w);
    EXPECT_GE(RedOf(b->PixelColor(0, h - 1)), 230) << w << "x" << h;
  }

  // Nothing to encode: a clear error, nothing written.
  TJpeg2000Bitmap empty;
  TMemoryStream none;
  EXPECT_THROW(EncodeJp2(empty, none, {}), EJpeg2000Error);
  EXPECT_EQ(none.Size(), 0u);
}

}  // namespace
}  // namespace qel
