// The TIFF reader on files built byte by byte: the properties it reads, the edge cases
// of its layouts (16-bit samples, colour maps, min-is-white, subsampled YCbCr, the
// predictor on 16-bit samples, ThunderScan and fax strips), its refusals with their
// messages, and damaged files that must end in a clean error.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "import/tiff/reader.h"
#include "support/test_support.h"
#include "unit/import/tiff/test_builder.h"

namespace qel::test {
namespace {

namespace fs = std::filesystem;
using B = TiffBuilder;

std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data) {
  uLongf size = compressBound(uLong(data.size()));
  std::vector<std::uint8_t> out(size);
  EXPECT_EQ(compress(out.data(), &size, data.data(), uLong(data.size())), Z_OK);
  out.resize(size);
  return out;
}

// The message of the error a load ends with; empty when it loads.
std::string LoadError(const std::vector<std::uint8_t>& bytes) {
  try {
    LoadTiffBytes(bytes);
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

std::string Unsupported(const std::string& what) {
  return "Cannot load image. " + what + " not supported for TIF/TIFF files.";
}
const std::string kInvalidImage = "Cannot load image. Invalid or unexpected TIF/TIFF image format.";
const std::string kInvalidColor = "Invalid color format in TIF/TIFF file.";
const std::string kReadError = "Stream read error in TIF/TIFF file.";

TColor Gray(int v) {
  return RGBColor(std::uint8_t(v), std::uint8_t(v), std::uint8_t(v));
}

TEST(TiffReader, PropertiesComeFromTheChosenDirectoryOfABigEndianChain) {
  B b(/*big_endian=*/true);
  b.Image(5, 3, {8, 8, 8}, 5, 2, {std::vector<std::uint8_t>(45, 0)}, 0);
  b.Short(317, 2);
  b.Short(284, 2);
  b.Short(266, 2);
  b.Rational(282, 300, 1);
  b.Rational(283, 150, 1);
  b.Short(296, 3);
  b.NextDirectory();
  b.Image(7, 2, {1}, 32773, 0, {{0}}, 4);
  b.Short(322, 16);
  b.Short(323, 16);
  b.ShortArray(338, {3});
  const std::vector<std::uint8_t> bytes = b.Build();
  TMemoryStream stream{std::span(bytes)};
  TTIFFGraphic graphic;

  ASSERT_TRUE(graphic.ReadProperties(stream, 0));
  TImageProperties p = graphic.ImageProperties();
  EXPECT_EQ(p.FormatVersion, 42u);
  EXPECT_EQ(p.Flags, ImageFlags::kSwapped | ImageFlags::kReversedBits);
  EXPECT_EQ(p.Width, 5u);
  EXPECT_EQ(p.Height, 3u);
  EXPECT_EQ(p.ColorScheme, ColorScheme::schRGB);
  EXPECT_EQ(p.BitsPerPixel, 24);
  EXPECT_EQ(p.Compression, CompressionType::cmpLZW);
  EXPECT_EQ(p.RowsPerStrip, std::vector<std::uint32_t>{3}) << "no tag 278: one strip of Height rows";
  EXPECT_EQ(p.Predictor, 2u);
  EXPECT_EQ(p.PlanarConfig, 2u);
  EXPECT_FLOAT_EQ(p.XResolution, 762.0f) << "centimetres become inches";
  EXPECT_FLOAT_EQ(p.YResolution, 381.0f);
  EXPECT_FALSE(p.HasAlpha);

  stream.SetPosition(0);
  ASSERT_TRUE(graphic.ReadProperties(stream, 1))
      << "the next-directory link is read in the file's byte order";
  p = graphic.ImageProperties();
  EXPECT_EQ(p.Width, 7u);
  EXPECT_EQ(p.Compression, CompressionType::cmpPackBits);
  EXPECT_EQ(p.Flags, ImageFlags::kSwapped | ImageFlags::kMinIsWhite | ImageFlags::kTiled);
  EXPECT_EQ(p.ColorScheme, ColorScheme::schGray);
  EXPECT_FALSE(p.HasAlpha) << "extra sample 3 is no alpha";

  stream.SetPosition(0);
  EXPECT_FALSE(graphic.ReadProperties(stream, 2));
  p = graphic.ImageProperties();
  EXPECT_EQ(p.FileGamma, 1.0f);
  EXPECT_EQ(p.Width, 0u);
  EXPECT_TRUE(p.RowsPerStrip.empty());
}

TEST(TiffReader, RecognizesOnlyClassicHeadersWithADirectoryInside) {
  const auto recognizes = [](std::vector<std::uint8_t> bytes, std::uint64_t start = 0) {
    TMemoryStream stream{std::span(bytes)};
    stream.SetPosition(start);
    const bool answer = TTIFFGraphic().RecognizesStream(stream);
    EXPECT_EQ(stream.Position(), start);
    return answer;
  };
  B le, be(true);
  le.Short(256, 1);
  be.Short(256, 1);
  std::vector<std::uint8_t> good = le.Build();
  EXPECT_TRUE(recognizes(good));
  EXPECT_TRUE(recognizes(be.Build()));
  std::vector<std::uint8_t> padded(3, 0);
  padded.insert(padded.end(), good.begin(), good.end());
  EXPECT_TRUE(recognizes(padded, 3)) << "the header counts from the stream's position";
  std::vector<std::uint8_t> big_tiff = good;
  big_tiff[2] = 43;
  EXPECT_FALSE(recognizes(big_tiff));
  std::vector<std::uint8_t> far = good;
  far[4] = 0xFF;
  far[7] = 0x7F;
  EXPECT_FALSE(recognizes(far)) << "first directory outside the stream";
  EXPECT_FALSE(recognizes({'I', 'I', 42, 0, 8, 0, 0, 0})) << "nothing after the header";
  EXPECT_FALSE(recognizes({'I', 'M', 42, 0, 8, 0, 0, 0, 0}));
}

TEST(TiffReader, SixteenBitSamplesAreCutToEightBitsInTheirByteOrder) {
  // 2 x 1 RGB, big-endian: 65535, 65280, 257 | 256, 0, 32768.
  B b(true);
  b.Image(2, 1, {16, 16, 16}, 1, 2, {b.Shorts({65535, 65280, 257, 256, 0, 32768})}, 1);
  const Picture picture = LoadTiffBytes(b.Build());
  EXPECT_EQ(picture.Pixel(0, 0), RGBColor(255, 254, 1));
  EXPECT_EQ(picture.Pixel(1, 0), RGBColor(0, 0, 127));
}

TEST(TiffReader, ColourMapsAndGrayRampsFollowTheFile) {
  {  // A 16-bit colour map is scaled to 8 bits.
    B b;
    std::vector<std::uint32_t> map(3 * 256, 0);
    map[1] = 0xFFFF;        // red of index 1
    map[256 + 1] = 0x8000;  // green of index 1
    map[512 + 2] = 0x0101;  // blue of index 2
    b.Image(3, 1, {8}, 1, 3, {{1, 2, 0}}, 1);
    b.ShortArray(320, map);
    const Picture picture = LoadTiffBytes(b.Build());
    EXPECT_EQ(picture.Pixel(0, 0), RGBColor(255, 127, 0));
    EXPECT_EQ(picture.Pixel(1, 0), RGBColor(0, 0, 1));
    EXPECT_EQ(picture.Pixel(2, 0), RGBColor(0, 0, 0));
  }
  {  // 2-bit indices (bitmap of 4 bits): every index keeps its own colour.
    B b;
    b.Image(4, 1, {2}, 1, 3, {{0b00011011}}, 1);
    b.ShortArray(320, {0x1111, 0x2222, 0x3333, 0x4444, 0, 0, 0, 0, 0, 0, 0, 0});
    const Picture picture = LoadTiffBytes(b.Build());
    for (int x = 0; x < 4; ++x) EXPECT_EQ(picture.Pixel(x, 0), RGBColor(std::uint8_t(17 * (x + 1)), 0, 0));
  }
  {  // WhiteIsZero bilevel: bit 0 is white.
    B b;
    b.Image(9, 1, {1}, 1, 0, {{0b10100000, 0b10000000}}, 1);
    const Picture picture = LoadTiffBytes(b.Build());
    EXPECT_EQ(picture.Pixel(0, 0), Gray(0));
    EXPECT_EQ(picture.Pixel(1, 0), Gray(255));
    EXPECT_EQ(picture.Pixel(2, 0), Gray(0));
    EXPECT_EQ(picture.Pixel(8, 0), Gray(0));
    EXPECT_EQ(picture.Pixel(7, 0), Gray(255));
  }
  {  // Without tag 278 the image is one strip; without tag 262 one sample is gray.
    B b;
    b.Long(256, 2);
    b.Long(257, 3);
    b.Short(258, 8);
    b.Long(273, b.AddData({10, 20, 30, 40, 50, 60}));
    const Picture picture = LoadTiffBytes(b.Build());
    EXPECT_EQ(picture.Pixel(1, 2), Gray(60));
    EXPECT_EQ(picture.Pixel(0, 1), Gray(30));
  }
}

TEST(TiffReader, HorizontalDifferencingWorksOnWholeSamples) {
  // 16-bit gray, values 0x00FF, 0x0100, 0xFFFF, 0x0001: each difference carries into the
  // high byte, which byte-wise undoing would lose.
  const std::vector<std::uint32_t> values = {0x00FF, 0x0100, 0xFFFF, 0x0001};
  for (const bool big : {false, true}) {
    SCOPED_TRACE(big ? "big-endian" : "little-endian");
    B b(big);
    std::vector<std::uint32_t> diffs = {values[0]};
    for (std::size_t i = 1; i < values.size(); ++i) diffs.push_back((values[i] - values[i - 1]) & 0xFFFF);
    b.Image(4, 1, {16}, 8, 1, {Deflate(b.Shorts(diffs))}, 1);
    b.Short(317, 2);
    const Picture picture = LoadTiffBytes(b.Build());
    EXPECT_EQ(picture.Pixel(0, 0), Gray(0));    // 255 * 255 / 65535
    EXPECT_EQ(picture.Pixel(1, 0), Gray(0));    // 256 * 255 / 65535
    EXPECT_EQ(picture.Pixel(2, 0), Gray(255));  // 65535
    EXPECT_EQ(picture.Pixel(3, 0), Gray(0));
  }
  {  // Gray with alpha: the difference is taken one pixel (two samples) back.
    B b;
    b.Image(3, 1, {8, 8}, 8, 1, {Deflate({10, 255, 5, 0, 7, 0})}, 1);
    b.ShortArray(338, {2});
    b.Short(317, 2);
    const Picture picture = LoadTiffBytes(b.Build());
    EXPECT_EQ(picture.Pixel(0, 0), Gray(10));
    EXPECT_EQ(picture.Pixel(1, 0), Gray(15));
    EXPECT_EQ(picture.Pixel(2, 0), Gray(22));
  }
}

TEST(TiffReader, SubsampledYCbCrUnitsAreSpreadOverTheirPixels) {
  // 3 x 3 pixels in 2 x 2 units: the right and bottom units are partly outside. Each
  // unit holds four luma samples, then Cb and Cr; neutral chroma (128) leaves gray.
  const std::vector<std::uint8_t> units = {
      10,  20,  30,  40,  128, 128,  // unit (0, 0)
      50,  60,  70,  80,  128, 255,  // unit (1, 0): strong red
      90,  100, 110, 120, 128, 128,  // unit (0, 1)
      130, 140, 150, 160, 128, 128,
  };
  B b;
  b.Image(3, 3, {8, 8, 8}, 1, 6, {units}, 4);
  const Picture picture = LoadTiffBytes(b.Build());
  EXPECT_EQ(picture.Pixel(0, 0), Gray(10));
  EXPECT_EQ(picture.Pixel(1, 0), Gray(20));
  EXPECT_EQ(picture.Pixel(0, 1), Gray(30));
  EXPECT_EQ(picture.Pixel(1, 1), Gray(40));
  EXPECT_EQ(picture.Pixel(0, 2), Gray(90));
  EXPECT_EQ(picture.Pixel(1, 2), Gray(100));
  EXPECT_EQ(picture.Pixel(2, 2), Gray(130));
  // Cr 255 adds round(1.402 * 127) = 178 to red and takes 91 from green.
  EXPECT_EQ(picture.Pixel(2, 0), RGBColor(228, 0, 50));
  EXPECT_EQ(picture.Pixel(2, 1), RGBColor(248, 0, 70));
}

TEST(TiffReader, ThunderScanAndModifiedHuffmanStripsDecode) {
  {  // ThunderScan, 5 pixels of 4 bits per row (compression 32809).
    const std::vector<std::uint8_t> codes = {
        0xC5,  // raw 5
        0x42,  // 2-bit deltas 0, 0, skip: 5, 5
        0x9C,  // 3-bit deltas +3, skip: 8
        0x01,  // run of 1: 8
        0xCF,  // second row: raw 15
        0x7F,  // 2-bit deltas -1, -1, -1: 14, 13, 12
        0xA8,  // 3-bit deltas -3, 0: 9, 9 (the second is cut at the end of the row)
    };
    B b;
    b.Image(5, 2, {4}, 32809, 1, {codes}, 2);
    const Picture picture = LoadTiffBytes(b.Build());
    const int expected[2][5] = {{5, 5, 5, 8, 8}, {15, 14, 13, 12, 9}};
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(picture.Pixel(x, y), Gray(expected[y][x] * 17)) << x << "," << y;
  }
  // Modified Huffman, 10 pixels a row: an all-white row (white 10 = 00111, one byte), a row
  // of white 3, black 4, white 3 (1000 011 1000, two bytes) and another white row. With
  // word alignment (32771) the one-byte first row is followed by a filler byte.
  const std::vector<std::uint8_t> row1 = {0b10000111, 0b00000000};
  const std::vector<std::uint8_t> row2 = {0b00111000};
  for (const bool word_aligned : {false, true}) {
    SCOPED_TRACE(word_aligned ? "32771" : "2");
    std::vector<std::uint8_t> data = row2;
    if (word_aligned) data.push_back(0xFF);
    data.insert(data.end(), row1.begin(), row1.end());
    data.insert(data.end(), row2.begin(), row2.end());
    B b;
    b.Image(10, 3, {1}, word_aligned ? 32771 : 2, 0, {data}, 3);
    const Picture picture = LoadTiffBytes(b.Build());
    for (int x = 0; x < 10; ++x) {
      EXPECT_EQ(picture.Pixel(x, 0), Gray(255));
      EXPECT_EQ(picture.Pixel(x, 1), Gray(x >= 3 && x < 7 ? 0 : 255)) << x;
      EXPECT_EQ(picture.Pixel(x, 2), Gray(255));
    }
  }
}

TEST(TiffReader, CIELabIsConvertedToSrgb) {
  // L = 128 / 2.55, a = -100, b = 0 under the D50 white: the green that colour
  // management makes of it in sRGB.
  const Picture picture = LoadPictureFile((CorpusDir() / "lab-green.tif").string());
  ASSERT_EQ(picture.Width(), 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(picture.Pixel(x, y), RGBColor(0, 152, 117));
}

TEST(TiffReader, LayoutsItCannotShowAreRefusedWithTheirMessage) {
  const auto image = [](std::uint32_t compression, std::uint32_t photometric, std::vector<std::uint32_t> bits,
                        auto&& extra) {
    B b;
    b.Image(4, 2, bits, compression, photometric, {std::vector<std::uint8_t>(64, 0)}, 2);
    extra(b);
    return LoadError(b.Build());
  };
  const auto nothing = [](B&) {};
  EXPECT_EQ(image(32766, 1, {8}, nothing), Unsupported("The compression scheme is"));
  EXPECT_EQ(image(6, 6, {8, 8, 8}, nothing), Unsupported("The compression scheme is"));
  EXPECT_EQ(image(5, 1, {4}, [](B& b) { b.Short(317, 2); }),
            Unsupported("Horizontal differencing of 4-bit samples is"));
  EXPECT_EQ(image(1, 1, {8}, [](B& b) { b.Short(339, 3); }), Unsupported("Floating-point samples are"));
  EXPECT_EQ(image(1, 4, {1}, nothing), kInvalidColor) << "transparency mask";
  EXPECT_EQ(image(1, 2, {8, 8}, nothing), kInvalidColor) << "RGB of two samples";
  EXPECT_EQ(image(1, 3, {8}, nothing), kInvalidColor) << "palette without a colour map";
  EXPECT_EQ(image(3, 0, {8}, nothing), kInvalidColor) << "fax data of 8 bits";
  EXPECT_EQ(image(1, 2, {4, 4, 4}, nothing), kInvalidColor);
  EXPECT_EQ(image(1, 1, {12}, nothing), "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.");
  EXPECT_EQ(image(1, 6, {8, 8, 8},
                  [](B& b) {
                    b.ShortArray(530, {3, 1});
                  }),
            "Subsampling value is invalid. Allowed are 1, 2 and 4.");
  EXPECT_EQ(image(1, 6, {8, 8, 8},
                  [](B& b) {
                    b.ShortArray(530, {1, 2});
                  }),
            "Vertical subsampling value must be <= horizontal subsampling value.");
  EXPECT_EQ(image(1, 6, {8, 8, 8}, [](B& b) { b.Short(284, 2); }),
            Unsupported("Subsampled YCbCr in separate planes is"));
}

TEST(TiffReader, BrokenStructureAndMissingDataEndInCleanErrors) {
  const std::vector<std::uint8_t> strip(8, 7);
  {  // No width, a zero height, no strip offsets, a wrong version.
    B b;
    b.Long(257, 2);
    EXPECT_EQ(LoadError(b.Build()), kInvalidImage);
    B z;
    z.Image(4, 0, {8}, 1, 1, {strip}, 2);
    EXPECT_EQ(LoadError(z.Build()), kInvalidImage);
    B n;
    n.Long(256, 4);
    n.Long(257, 2);
    EXPECT_EQ(LoadError(n.Build()), kInvalidImage);
    B few;
    few.Image(4, 5, {8}, 1, 1, {strip, strip}, 2);
    EXPECT_EQ(LoadError(few.Build()), kInvalidImage) << "two strips of two rows for five rows";
    std::vector<std::uint8_t> v41 = z.Build();
    v41[2] = 41;
    EXPECT_EQ(LoadError(v41), kInvalidImage);
    v41[2] = 43;
    EXPECT_EQ(LoadError(v41), Unsupported("The BigTIFF layout is"));
  }
  {  // Strips past the end of the file: the offset itself, or the last bytes of the rows.
    const auto with_offset = [](std::uint32_t offset) {
      B b;
      b.Long(256, 4);
      b.Long(257, 2);
      b.Short(258, 8);
      b.RawField(273, B::kLong, 1, offset);
      return b.Build();
    };
    EXPECT_EQ(LoadError(with_offset(0x10000)), kReadError);
    const std::uint32_t size = std::uint32_t(with_offset(0).size());
    EXPECT_EQ(LoadError(with_offset(size - 7)), kReadError) << "8 bytes wanted, 7 there";
    EXPECT_EQ(LoadError(with_offset(size - 8)), "");
  }
  {  // A compressed strip whose byte count runs past the end of the file.
    B b;
    b.Long(256, 4);
    b.Long(257, 2);
    b.Short(258, 8);
    b.Short(259, 5);
    b.Long(273, b.AddData(strip));
    b.Long(279, 0x00FFFFFF);
    EXPECT_EQ(LoadError(b.Build()), kReadError);
  }
  {  // A size no picture may have is refused before anything is allocated.
    B b;
    b.Image(1u << 20, 1u << 20, {8}, 1, 1, {strip}, 1);
    try {
      LoadTiffBytes(b.Build());
      ADD_FAILURE() << "loaded";
    } catch (const EOutOfResources&) {
    }
  }
}

// The rows of a picture of row_bytes bytes a row cut into tiles of tile_width x
// tile_length pixels of pixel_bits bits: tiles row by row, each line padded to whole
// bytes; what lies beyond the picture is filled with 0xA5, which must not show.
std::vector<std::vector<std::uint8_t>> CutTiles(const std::vector<std::uint8_t>& picture, std::uint32_t width,
                                                std::uint32_t height, std::uint32_t pixel_bits,
                                                std::uint32_t tile_width, std::uint32_t tile_length) {
  const std::size_t row_bytes = (std::size_t(width) * pixel_bits + 7) / 8;
  const std::size_t line_bytes = (std::size_t(tile_width) * pixel_bits + 7) / 8;
  std::vector<std::vector<std::uint8_t>> tiles;
  for (std::uint32_t ty = 0; ty < height; ty += tile_length) {
    for (std::uint32_t tx = 0; tx < width; tx += tile_width) {
      std::vector<std::uint8_t> tile(line_bytes * tile_length, 0xA5);
      for (std::uint32_t y = 0; y < tile_length && ty + y < height; ++y) {
        std::uint8_t* line = tile.data() + y * line_bytes;
        std::fill(line, line + line_bytes, 0);
        for (std::size_t bit = 0; bit < std::size_t(tile_width) * pixel_bits; ++bit) {
          const std::size_t from = std::size_t(tx) * pixel_bits + bit;
          const bool inside = from < std::size_t(width) * pixel_bits;
          const bool set =
              inside ? (picture[(ty + y) * row_bytes + from / 8] >> (7 - from % 8)) & 1 : bit % 3 == 0;
          if (set) line[bit / 8] |= std::uint8_t(0x80 >> (bit % 8));
        }
      }
      tiles.push_back(std::move(tile));
    }
  }
  return tiles;
}

// Tiles of any size, also ones that split bytes or are larger than the picture, give
// the picture that one strip of the same samples gives.
TEST(TiffReader, TilesOfAnyShapeGiveThePictureAStripGives) {
  struct Case {
    std::vector<std::uint32_t> bits;
    std::uint32_t photometric, tile_width, tile_length;
    bool planar;
  };
  const Case cases[] = {
      {{1}, 1, 3, 2, false},      {{1}, 0, 16, 16, false},      {{4}, 1, 5, 3, false},
      {{8}, 1, 16, 4, false},     {{8, 8, 8}, 2, 5, 5, false},  {{16, 16, 16}, 2, 4, 3, false},
      {{8, 8, 8}, 2, 3, 3, true}, {{8, 8, 8}, 2, 32, 32, true}, {{2}, 1, 7, 1, false},
  };
  const std::uint32_t width = 13, height = 7;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bits.size()) + " x " + std::to_string(c.bits[0]) + " bits, tiles " +
                 std::to_string(c.tile_width) + " x " + std::to_string(c.tile_length));
    const std::uint32_t planes = c.planar ? std::uint32_t(c.bits.size()) : 1;
    const std::uint32_t pixel_bits = c.bits[0] * std::uint32_t(c.bits.size()) / planes;
    std::vector<std::vector<std::uint8_t>> planes_data, tiles;
    for (std::uint32_t plane = 0; plane < planes; ++plane) {
      std::vector<std::uint8_t> data(((width * pixel_bits + 7) / 8) * height);
      for (std::size_t i = 0; i < data.size(); ++i) data[i] = std::uint8_t(i * 37 + plane * 101 + 11);
      for (auto& tile : CutTiles(data, width, height, pixel_bits, c.tile_width, c.tile_length))
        tiles.push_back(std::move(tile));
      planes_data.push_back(std::move(data));
    }
    B strips;
    strips.Image(width, height, c.bits, 1, c.photometric, planes_data, height);
    B tiled;
    tiled.Long(256, width);
    tiled.Long(257, height);
    tiled.ShortArray(258, c.bits);
    tiled.Short(262, c.photometric);
    tiled.Short(277, std::uint32_t(c.bits.size()));
    tiled.Long(322, c.tile_width);
    tiled.Long(323, c.tile_length);
    std::vector<std::uint32_t> offsets, counts;
    for (const auto& tile : tiles) {
      offsets.push_back(tiled.AddData(tile));
      counts.push_back(std::uint32_t(tile.size()));
    }
    tiled.LongArray(324, offsets);
    tiled.LongArray(325, counts);
    if (c.planar) {
      strips.Short(284, 2);
      tiled.Short(284, 2);
    }
    const PictureDifference diff = Compare(LoadTiffBytes(tiled.Build()), LoadTiffBytes(strips.Build()));
    EXPECT_TRUE(diff.same_size && diff.differing_pixels == 0) << diff.Describe();
  }
}

TEST(TiffReader, DamagedTileLayoutsEndInCleanErrors) {
  // The tags extra adds come first and win over the defaults that follow.
  const auto tiled = [](std::uint32_t width, std::uint32_t tile, std::size_t tiles, auto&& extra) {
    B b;
    extra(b);
    b.Long(256, width);
    b.Long(257, 16);
    b.Short(258, 8);
    b.Short(262, 1);
    b.Long(322, tile);
    b.Long(323, 16);
    std::vector<std::uint32_t> offsets(tiles, b.AddData(std::vector<std::uint8_t>(256, 9)));
    b.LongArray(324, offsets);
    b.LongArray(325, std::vector<std::uint32_t>(tiles, 256));
    return LoadError(b.Build());
  };
  const auto nothing = [](B&) {};
  EXPECT_EQ(tiled(32, 16, 2, nothing), "");
  EXPECT_EQ(tiled(33, 16, 2, nothing), kInvalidImage) << "three tiles across, two offsets";
  EXPECT_EQ(tiled(32, 16, 2, [](B& b) { b.Short(259, 5), b.LongArray(325, {256, 0x10000}); }), kReadError);
  EXPECT_EQ(tiled(32, 16, 2, [](B& b) { b.Long(323, 64); }), kReadError)
      << "stored tiles of 64 rows hold more than the file";
  EXPECT_EQ(
      tiled(32, 1u << 15, 1, [](B& b) { b.Short(259, 5), b.Long(323, 1u << 15); }),
      "Cannot load image. The TIF/TIFF file holds too little data for a picture of 32768 x 32768 pixels.")
      << "one tile far larger than the picture";
  EXPECT_EQ(tiled(32, 1u << 30, 1, nothing).substr(0, 33), "Cannot load image. A picture of 1");
  // Subsampled YCbCr units must not straddle tiles.
  EXPECT_EQ(tiled(32, 15, 3,
                  [](B& b) {
                    b.ShortArray(258, {8, 8, 8}), b.Short(262, 6), b.Short(277, 3), b.ShortArray(530, {2, 2});
                  }),
            kInvalidImage);
}

// The fourth sample is drawn over white only when ExtraSamples calls it alpha; an alpha
// of 0 everywhere counts as none; associated alpha is divided out of the colours first.
TEST(TiffReader, OnlyDeclaredAlphaIsDrawnOverWhite) {
  const std::vector<std::uint8_t> rgba = {200, 100, 50, 0, 10, 20, 30, 128, 90, 60, 30, 255};
  const std::vector<std::uint8_t> unused = {200, 100, 50, 0, 10, 20, 30, 0, 90, 60, 30, 0};
  const TColor opaque[] = {RGBColor(200, 100, 50), RGBColor(10, 20, 30), RGBColor(90, 60, 30)};
  struct Case {
    const char* what;
    std::vector<std::uint8_t> pixels;
    int extra;  // -1: no ExtraSamples tag
    std::vector<TColor> expected;
  };
  const std::vector<Case> cases = {
      {"no tag", rgba, -1, {opaque[0], opaque[1], opaque[2]}},
      {"unspecified", rgba, 0, {opaque[0], opaque[1], opaque[2]}},
      {"unassociated", rgba, 2, {RGBColor(255, 255, 255), RGBColor(132, 137, 142), opaque[2]}},
      {"associated", rgba, 1, {RGBColor(255, 255, 255), RGBColor(137, 147, 157), opaque[2]}},
      {"empty alpha", unused, 2, {opaque[0], opaque[1], opaque[2]}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    B b;
    b.Image(3, 1, {8, 8, 8, 8}, 1, 2, {c.pixels}, 1);
    if (c.extra >= 0) b.Short(338, std::uint32_t(c.extra));
    const Picture picture = LoadTiffBytes(b.Build());
    for (int x = 0; x < 3; ++x) EXPECT_EQ(picture.Pixel(x, 0), c.expected[std::size_t(x)]) << x;
  }
  // Gray and alpha, minimum black or white, interleaved or in planes.
  for (const std::uint32_t photometric : {0u, 1u}) {
    const std::uint8_t gray = photometric == 0 ? 245 : 10;
    B chunky, planar;
    chunky.Image(1, 1, {8, 8}, 1, photometric, {{gray, 128}}, 1);
    chunky.Short(338, 2);
    planar.Image(1, 1, {8, 8}, 1, photometric, {{gray}, {128}}, 1);
    planar.Short(338, 2);
    planar.Short(284, 2);
    EXPECT_EQ(LoadTiffBytes(chunky.Build()).Pixel(0, 0), Gray(132)) << photometric;
    EXPECT_EQ(LoadTiffBytes(planar.Build()).Pixel(0, 0), Gray(132)) << photometric;
  }
}

// Cut and damaged copies of real files either load or fail with the library's errors.
TEST(TiffReader, TruncatedAndDamagedCorpusFilesFailCleanly) {
  const char* files[] = {"hopper.tif",
                         "hopper_lzw.tif",
                         "pil168.tif",
                         "16bit.MM.deflate.tif",
                         "rdf.tif",
                         "multipage.tiff",
                         "tiff_strip_planar_16bit_RGBa.tiff",
                         "child_ifd.tiff"};
  for (const char* name : files) {
    SCOPED_TRACE(name);
    const std::vector<std::uint8_t> original = ReadFileBytes(CorpusDir() / name);
    const std::size_t n = original.size();
    for (const std::size_t cut : {std::size_t(4), std::size_t(9), n / 7, n / 3, n / 2, n - n / 5, n - 3}) {
      SCOPED_TRACE("cut at " + std::to_string(cut));
      std::vector<std::uint8_t> bytes(original.begin(), original.begin() + std::ptrdiff_t(cut));
      EXPECT_NO_THROW(LoadError(bytes));
    }
    // Damage: runs of bytes overwritten throughout the file.
    for (std::size_t start = 8; start < n; start += n / 11 + 1) {
      std::vector<std::uint8_t> bytes = original;
      for (std::size_t i = start; i < std::min(n, start + 24); ++i)
        bytes[i] = std::uint8_t(bytes[i] * 31 + 7);
      EXPECT_NO_THROW(LoadError(bytes));
    }
  }
}

class Recorder : public ProgressObserver {
 public:
  void OnProgress(ProgressStage stage, int percent, const TRect&, std::string_view message) override {
    if (stage != ProgressStage::kRunning)
      events.push_back(std::string(stage == ProgressStage::kStarting ? "start " : "end ") +
                       std::string(message));
    else
      last_percent = percent, ++rows;
  }
  void OnWarning(std::string_view text) override { warnings.emplace_back(text); }
  std::vector<std::string> events, warnings;
  int rows = 0;
  int last_percent = -1;
};

TEST(TiffReader, ProgressStagesAndJpegWarningsReachTheObserver) {
  QEL_SKIP_WITHOUT("convert", "tiffcp");
  {
    B b;
    b.Image(2, 3, {8}, 1, 1, {std::vector<std::uint8_t>(4, 1), std::vector<std::uint8_t>(2, 1)}, 2);
    Recorder recorder;
    LoadTiffBytes(b.Build(), &recorder);
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"start Preparing...", "end Preparing...",
                                                         "start Transfering...", "end Transfering..."}));
    EXPECT_EQ(recorder.rows, 3);
    EXPECT_EQ(recorder.last_percent, 100);
  }
  {  // A JPEG strip cut short: the rows it holds load, and the decoder warns.
    TempDir dir;
    ASSERT_EQ(RunCommand("/usr/bin/convert " + ShellQuote((CorpusDir() / "hopper.png").string()) +
                         " -resize 32x32! -depth 8 -compress None " + ShellQuote((dir / "in.tif").string()) +
                         " && tiffcp -c jpeg -r 32 " + ShellQuote((dir / "in.tif").string()) + " " +
                         ShellQuote((dir / "jpeg.tif").string())),
              0);
    std::vector<std::uint8_t> bytes = ReadFileBytes(dir / "jpeg.tif");
    TMemoryStream stream{std::span(bytes)};
    TTIFFGraphic probe;
    ASSERT_TRUE(probe.ReadProperties(stream, 0));
    // Halve the strip's byte count in its directory entry (tiffcp writes the entries
    // sorted and little-endian here).
    const auto& entries = probe.Directory().Entries();
    const auto it = std::find_if(entries.begin(), entries.end(), [](const auto& e) { return e.tag == 279; });
    ASSERT_NE(it, entries.end());
    const std::size_t at = probe.ImageProperties().FirstIFD + 2 + 12 * std::size_t(it - entries.begin()) + 8;
    const std::uint32_t count = std::uint32_t(bytes[at] | (bytes[at + 1] << 8)) / 2;
    bytes[at] = std::uint8_t(count);
    bytes[at + 1] = std::uint8_t(count >> 8);
    Recorder recorder;
    const Picture picture = LoadTiffBytes(bytes, &recorder);
    EXPECT_EQ(picture.Width(), 32);
    EXPECT_FALSE(recorder.warnings.empty());
    EXPECT_EQ(recorder.warnings.front(), "JPEG decompression error. Unexpected end of input.");
  }
}

}  // namespace
}  // namespace qel::test
