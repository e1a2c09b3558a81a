// The TIFF JPEG decoder: libtiff's JPEG strips against libtiff's own decode, the header
// checks with their messages, short strips and broken data.
#include <gtest/gtest.h>

#include <string>

#include "imaging/errors.h"
#include "import/codecs/tiff_jpeg_decoder.h"
#include "import/framework/image_properties.h"
#include "support/test_support.h"
#include "unit/import/codecs/tiff_strips.h"

namespace qel {
namespace {

TImageProperties PropertiesOf(const test::TiffStrips& t) {
  TImageProperties p;
  p.Width = t.width;
  p.Height = t.height;
  p.BitsPerSample = static_cast<std::uint8_t>(t.bits_per_sample);
  p.SamplesPerPixel = static_cast<std::uint8_t>(t.samples_per_pixel);
  p.BitsPerPixel = static_cast<std::uint8_t>(t.bits_per_sample * t.samples_per_pixel);
  p.ColorScheme = t.photometric == 6   ? ColorScheme::schYCbCr
                  : t.photometric == 2 ? ColorScheme::schRGB
                                       : ColorScheme::schGray;
  p.Compression = CompressionType::cmpJPEG;
  p.PlanarConfig = t.planar_config;
  p.RowsPerStrip = {t.rows_per_strip};
  p.YCbCrSubSampling = {2, 2};
  if (t.subsampling.size() == 2)
    p.YCbCrSubSampling = {static_cast<std::uint8_t>(t.subsampling[0]),
                          static_cast<std::uint8_t>(t.subsampling[1])};
  p.JPEGTables = t.jpeg_tables;
  p.StripCount = static_cast<std::uint32_t>(t.strips.size());
  p.BytesPerLine = static_cast<std::uint32_t>(t.BytesPerRow());
  return p;
}

struct JpegFixture {
  test::TiffStrips packed, plain;
};

std::optional<JpegFixture> MakeJpegStrips(const test::TempDir& dir, const std::string& options,
                                          const char* input) {
  if (!test::Tiffcp(options, test::CorpusDir() / input, dir / "jpeg.tif")) return std::nullopt;
  if (!test::Tiffcp("-c none", dir / "jpeg.tif", dir / "plain.tif")) return std::nullopt;
  auto packed = test::ReadTiffStrips(dir / "jpeg.tif");
  auto plain = test::ReadTiffStrips(dir / "plain.tif");
  if (!packed || !plain || packed->compression != 7) return std::nullopt;
  return JpegFixture{*packed, *plain};
}

// Decodes strip i of the image into a buffer of the strip's size.
std::vector<std::uint8_t> DecodeStrip(TTIFFJPEGDecoder& d, TImageProperties& p, const test::TiffStrips& t,
                                      std::size_t i, std::size_t packed_size) {
  p.CurrentStrip = static_cast<std::uint32_t>(i);
  p.CurrentRow = static_cast<std::uint32_t>(i * t.rows_per_strip);
  std::vector<std::uint8_t> out(t.RowsInStrip(i) * t.BytesPerRow(), 0x80);
  const std::uint8_t* source = t.strips[i].data();
  std::uint8_t* dest = out.data();
  d.Decode(source, dest, packed_size, out.size());
  return out;
}

// YCbCr with 2 x 2 subsampling and its tables in JPEGTables, RGB, and gray: every strip
// decodes to libtiff's own decode of it (colour comes out blue, green, red).
TEST(CodecsJPEG, AgreesWithLibtiff) {
  QEL_SKIP_WITHOUT("tiffcp");
  test::TempDir dir;
  const std::pair<const char*, const char*> cases[] = {
      {"-c jpeg -r 16", "hopper.tif"}, {"-c jpeg:r -r 24", "hopper.tif"}, {"-c jpeg -r 40", "8bit.s.tif"}};
  for (const auto& [options, input] : cases) {
    const auto f = MakeJpegStrips(dir, options, input);
    ASSERT_TRUE(f) << options << " " << input;
    TImageProperties p = PropertiesOf(f->packed);
    std::vector<std::string> warnings;
    TTIFFJPEGDecoder d(p, [&](std::string_view w) { warnings.emplace_back(w); });
    d.DecodeInit();
    for (std::size_t i = 0; i < f->packed.strips.size(); ++i) {
      auto out = DecodeStrip(d, p, f->packed, i, f->packed.strips[i].size());
      if (p.SamplesPerPixel == 3)
        for (std::size_t k = 0; k + 2 < out.size(); k += 3) std::swap(out[k], out[k + 2]);
      ASSERT_EQ(out, f->plain.strips[i]) << options << " " << input << " strip " << i;
    }
    d.DecodeEnd();
    EXPECT_TRUE(warnings.empty()) << warnings.front();
  }
}

void ExpectMessage(TTIFFJPEGDecoder& d, TImageProperties& p, const test::TiffStrips& t, std::size_t unpacked,
                   const char* message) {
  std::vector<std::uint8_t> out(unpacked);
  const std::uint8_t* source = t.strips[0].data();
  std::uint8_t* dest = out.data();
  p.CurrentStrip = 0;
  p.CurrentRow = 0;
  try {
    d.Decode(source, dest, t.strips[0].size(), out.size());
    ADD_FAILURE() << "no exception, expected " << message;
  } catch (const EGraphicCompression& e) {
    EXPECT_STREQ(e.what(), message);
  }
}

TEST(CodecsJPEG, HeaderChecksRaiseTheirMessages) {
  QEL_SKIP_WITHOUT("tiffcp");
  test::TempDir dir;
  const auto f = MakeJpegStrips(dir, "-c jpeg -r 16", "hopper.tif");
  ASSERT_TRUE(f);
  const test::TiffStrips& t = f->packed;
  const std::size_t strip = t.RowsInStrip(0) * t.BytesPerRow();

  TImageProperties p = PropertiesOf(t);
  TTIFFJPEGDecoder d(p);
  d.DecodeInit();
  p.Width += 1;
  ExpectMessage(d, p, t, strip, "Improper JPEG strip/tile size.");
  p = PropertiesOf(t);
  p.RowsPerStrip = {t.rows_per_strip + 1};
  ExpectMessage(d, p, t, strip, "Improper JPEG strip/tile size.");
  p = PropertiesOf(t);
  p.SamplesPerPixel = 4;
  ExpectMessage(d, p, t, strip, "Improper JPEG component count.");
  p = PropertiesOf(t);
  p.BitsPerSample = 12;
  ExpectMessage(d, p, t, strip, "Improper JPEG data precision.");
  p = PropertiesOf(t);
  p.YCbCrSubSampling = {1, 1};
  // The subsampling is taken when the decoder is set up.
  TTIFFJPEGDecoder unsampled(p);
  ExpectMessage(unsampled, p, t, strip, "Improper JPEG sampling factors.");
  p = PropertiesOf(t);
  ExpectMessage(d, p, t, strip - 1, "Fractional JPEG scanline unsupported.");
  // After all that the decoder still decodes.
  EXPECT_EQ(DecodeStrip(d, p, t, 0, t.strips[0].size()).size(), strip);
}

TEST(CodecsJPEG, TablesMustBeTablesOnly) {
  QEL_SKIP_WITHOUT("tiffcp");
  test::TempDir dir;
  const auto f = MakeJpegStrips(dir, "-c jpeg -r 16", "hopper.tif");
  ASSERT_TRUE(f);
  ASSERT_FALSE(f->packed.jpeg_tables.empty());
  for (int variant = 0; variant < 3; ++variant) {
    TImageProperties p = PropertiesOf(f->packed);
    if (variant == 0) p.JPEGTables = f->packed.strips[0];  // a whole image
    if (variant == 1) p.JPEGTables = {0x12, 0x34, 0x56};   // no JPEG data at all
    if (variant == 2) p.JPEGTables.resize(p.JPEGTables.size() / 2);
    TTIFFJPEGDecoder d(p);
    if (variant == 2) {
      // Cut tables end in an artificial end-of-image: still tables only.
      EXPECT_NO_THROW(d.DecodeInit());
      continue;
    }
    try {
      d.DecodeInit();
      ADD_FAILURE() << "variant " << variant << " accepted";
    } catch (const EGraphicCompression& e) {
      EXPECT_STREQ(e.what(), "Bogus JPEG tables field.");
    }
  }
}

// A strip cut in half: a warning, then the rows that are there; the rest is filled by
// the library, and nothing is raised.
TEST(CodecsJPEG, ShortStripsWarnAndDecodeWhatIsThere) {
  QEL_SKIP_WITHOUT("tiffcp");
  test::TempDir dir;
  const auto f = MakeJpegStrips(dir, "-c jpeg -r 64", "hopper.tif");
  ASSERT_TRUE(f);
  TImageProperties p = PropertiesOf(f->packed);
  std::vector<std::string> warnings;
  TTIFFJPEGDecoder d(p, [&](std::string_view w) { warnings.emplace_back(w); });
  auto out = DecodeStrip(d, p, f->packed, 0, f->packed.strips[0].size() / 2);
  ASSERT_FALSE(warnings.empty());
  EXPECT_NE(std::find(warnings.begin(), warnings.end(), "JPEG decompression error. Unexpected end of input."),
            warnings.end());
  // The first rows are complete.
  const std::size_t head = f->packed.BytesPerRow() * 8;
  for (std::size_t k = 0; k + 2 < head; k += 3) std::swap(out[k], out[k + 2]);
  for (std::size_t k = 0; k < head; ++k) ASSERT_EQ(out[k], f->plain.strips[0][k]) << "byte " << k;
}

TEST(CodecsJPEG, BrokenDataRaisesInsteadOfEnding) {
  QEL_SKIP_WITHOUT("tiffcp");
  test::TempDir dir;
  const auto f = MakeJpegStrips(dir, "-c jpeg -r 16", "hopper.tif");
  ASSERT_TRUE(f);
  TImageProperties p = PropertiesOf(f->packed);
  TTIFFJPEGDecoder d(p);
  std::vector<std::uint8_t> garbage(200, 0x5A), out(f->packed.RowsInStrip(0) * f->packed.BytesPerRow());
  const std::uint8_t* source = garbage.data();
  std::uint8_t* dest = out.data();
  EXPECT_THROW(d.Decode(source, dest, garbage.size(), out.size()), EGraphicCompression);
  // A warning handler that raises: its exception comes out once the library is done.
  TTIFFJPEGDecoder strict(p, [](std::string_view w) { throw EInvalidGraphic(std::string(w)); });
  EXPECT_THROW(DecodeStrip(strict, p, f->packed, 0, 100), EInvalidGraphic);
  // And a good strip still decodes afterwards.
  EXPECT_EQ(DecodeStrip(d, p, f->packed, 1, f->packed.strips[1].size()).size(), out.size());
}

}  // namespace
}  // namespace qel
