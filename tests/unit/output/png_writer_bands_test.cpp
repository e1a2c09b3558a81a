// The PNG image data deflated in row bands: one valid zlib stream whatever the bands and
// threads, the pixels exactly the picture's for libpng, zlib and Pillow, and each row
// filtered as libpng filters it.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "imaging/stream.h"
#include "import/codecs/libpng_decode.h"
#include "import/framework/bitmap.h"
#include "output/png_writer.h"
#include "reference/libpng_encoder.h"
#include "unit/output/writer_helpers.h"

namespace qel {
namespace {

std::vector<std::uint8_t> Encode(const Picture& picture, const png::BandOptions& options) {
  TMemoryStream stream;
  png::WritePngInBands(picture, stream, options);
  return stream.TakeBytes();
}

// The joined IDAT data inflated and checked by zlib (Adler-32 included); empty when
// zlib refuses it or finds anything after the end of the stream.
std::vector<std::uint8_t> InflateImageData(const std::vector<std::uint8_t>& file) {
  std::vector<std::uint8_t> deflated;
  for (std::size_t at = 8; at + 12 <= file.size();) {
    const std::size_t length = std::size_t(file[at]) << 24 | std::size_t(file[at + 1]) << 16 |
                               std::size_t(file[at + 2]) << 8 | file[at + 3];
    if (std::string(file.begin() + long(at) + 4, file.begin() + long(at) + 8) == "IDAT")
      deflated.insert(deflated.end(), file.begin() + long(at) + 8, file.begin() + long(at + 8 + length));
    at += 12 + length;
  }
  std::vector<std::uint8_t> out(1 << 16);
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return {};
  z.next_in = deflated.data();
  z.avail_in = uInt(deflated.size());
  int result = Z_OK;
  std::size_t produced = 0;
  while (result == Z_OK) {
    if (produced == out.size()) out.resize(out.size() * 2);
    z.next_out = out.data() + produced;
    z.avail_out = uInt(out.size() - produced);
    result = inflate(&z, Z_NO_FLUSH);
    produced = out.size() - z.avail_out;
  }
  const bool whole = result == Z_STREAM_END && z.avail_in == 0;
  inflateEnd(&z);
  if (!whole) return {};
  out.resize(produced);
  return out;
}

// The filter type of every row of inflated image data of the given width.
std::vector<std::uint8_t> FilterTypes(const std::vector<std::uint8_t>& data, int width) {
  std::vector<std::uint8_t> types;
  const std::size_t line = std::size_t(width) * 3 + 1;
  for (std::size_t at = 0; at < data.size(); at += line) types.push_back(data[at]);
  return types;
}

// Undoes Sub and Up over inflated image data; nullopt for another filter or a wrong size.
std::optional<Picture> Unfilter(const std::vector<std::uint8_t>& data, int width, int height) {
  const std::size_t line = std::size_t(width) * 3;
  if (data.size() != (line + 1) * std::size_t(height)) return std::nullopt;
  Picture picture = NewPicture(width, height, kNoColor);
  std::vector<std::uint8_t> previous(line, 0), row(line);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = data.data() + std::size_t(y) * (line + 1);
    for (std::size_t i = 0; i < line; ++i) {
      if (in[0] == png::kFilterSub) {
        row[i] = std::uint8_t(in[1 + i] + (i >= 3 ? row[i - 3] : 0));
      } else if (in[0] == png::kFilterUp) {
        row[i] = std::uint8_t(in[1 + i] + previous[i]);
      } else {
        return std::nullopt;
      }
    }
    for (int x = 0; x < width; ++x)
      picture.SetPixel(x, y, RGBColor(row[3 * x], row[3 * x + 1], row[3 * x + 2]));
    previous = row;
  }
  return picture;
}

std::optional<Picture> LibpngDecode(const std::vector<std::uint8_t>& file) {
  TMemoryStream stream(file);
  TBitmap bitmap;
  DecodePng(stream, bitmap);
  Picture picture;
  if (!bitmap.TakePicture(picture)) return std::nullopt;
  return picture;
}

// Pictures whose rows make both filters win somewhere, and ties.
Picture Stripes(int width, int height) {
  Picture picture = NewPicture(width, height, kNoColor);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture.SetPixel(x, y, (y / 3) % 2 ? RGBColor(std::uint8_t(x * 7), 40, std::uint8_t(y)) : 0);
  return picture;
}

TEST(WriterPngBands, EveryBandingDecodesToThePicture) {
  std::mt19937 rng(5);
  const std::pair<int, int> sizes[] = {{1, 1}, {1, 97}, {211, 1}, {3, 2}, {64, 64}, {173, 89}, {500, 40}};
  for (const auto& [width, height] : sizes) {
    for (const bool noisy : {true, false}) {
      const Picture picture = noisy ? test::NoisePicture(width, height, rng()) : Stripes(width, height);
      for (const std::size_t band_bytes :
           {std::size_t(1), std::size_t(700), std::size_t(40000), std::size_t(1) << 20}) {
        for (const unsigned threads : {1u, 2u, 5u}) {
          SCOPED_TRACE(testing::Message()
                       << width << " x " << height << (noisy ? " noise" : " stripes") << ", bands of "
                       << band_bytes << " bytes, " << threads << " threads");
          const std::vector<std::uint8_t> file = Encode(picture, {band_bytes, threads});
          const std::vector<std::uint8_t> data = InflateImageData(file);
          const std::optional<Picture> unfiltered = Unfilter(data, width, height);
          ASSERT_TRUE(unfiltered);
          EXPECT_EQ(test::Compare(*unfiltered, picture).differing_pixels, 0u);
          const std::optional<Picture> decoded = LibpngDecode(file);
          ASSERT_TRUE(decoded);
          EXPECT_EQ(test::Compare(*decoded, picture).differing_pixels, 0u);
        }
      }
    }
  }
}

TEST(WriterPngBands, PillowReadsTheBandedFiles) {
  QEL_SKIP_WITHOUT("pillow");
  test::TempDir dir;
  const std::pair<int, int> sizes[] = {{1, 300}, {300, 1}, {257, 190}};
  for (const auto& [width, height] : sizes) {
    const Picture picture = test::NoisePicture(width, height, unsigned(width + height));
    const auto path = dir / "banded.png";
    test::WriteFileBytes(path, Encode(picture, {5000, 3}));
    const std::optional<Picture> decoded = test::PillowDecode(path);
    ASSERT_TRUE(decoded) << width << " x " << height;
    EXPECT_EQ(test::Compare(*decoded, picture).differing_pixels, 0u) << width << " x " << height;
  }
}

TEST(WriterPngBands, RowsAreFilteredAsLibpngFiltersThem) {
  Picture black = NewPicture(40, 6, 0);  // every row a tie
  Picture gradient = NewPicture(90, 30, kNoColor);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 90; ++x) gradient.SetPixel(x, y, RGBColor(std::uint8_t(x), std::uint8_t(3 * y), 200));
  const Picture pictures[] = {
      test::NoisePicture(120, 50, 9), Stripes(77, 41), black, gradient, NewPicture(1, 9, 0xFFFFFF),
      NewPicture(31, 1, 0x808080)};
  for (const Picture& picture : pictures) {
    TMemoryStream reference;
    png::WritePngWithLibpng(picture, reference);
    const std::vector<std::uint8_t> expected =
        FilterTypes(InflateImageData(reference.TakeBytes()), picture.Width());
    ASSERT_EQ(expected.size(), std::size_t(picture.Height()));
    EXPECT_EQ(FilterTypes(InflateImageData(Encode(picture, {1000, 2})), picture.Width()), expected)
        << picture.Width() << " x " << picture.Height();
  }
  // A single pixel: libpng writes it unfiltered; Sub gives the same bytes.
  const std::vector<std::uint8_t> dot = InflateImageData(Encode(NewPicture(1, 1, 0x123456), {}));
  EXPECT_EQ(dot, (std::vector<std::uint8_t>{png::kFilterSub, 0x56, 0x34, 0x12}));
}

TEST(WriterPngBands, AFailingStreamStopsTheWorkers) {
  const Picture picture = test::NoisePicture(300, 200, 4);
  test::FailingStream stream(70000);
  EXPECT_THROW(png::WritePngInBands(picture, stream, {2000, 4}), EWriteError);
}

}  // namespace
}  // namespace qel
