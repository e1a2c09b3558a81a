// JPEG strips of TIFF files. Input: u16 width, u16 height and u16 rows per strip (each
// at least 1; width x height at most 2^20), samples per pixel, bits per sample, a
// scheme byte (0 gray, 1 RGB, 2 YCbCr, 3 CMYK), the subsampling (two nibbles), the
// planar configuration, the current strip, a u16 length of JPEGTables, the tables, and
// then the strip. Only EGraphicCompression may come out of the decoder.
#include <algorithm>
#include <vector>

#include "fuzz_input.h"
#include "imaging/errors.h"
#include "import/codecs/tiff_jpeg_decoder.h"
#include "import/framework/image_properties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using qel::ColorScheme;
  qel::fuzz::FuzzInput in(data, size);
  qel::TImageProperties p;
  p.Width = std::max<std::uint32_t>(in.U16(), 1);
  p.Height = std::max<std::uint32_t>(in.U16(), 1);
  if (std::uint64_t{p.Width} * p.Height > (1u << 20)) return 0;
  p.RowsPerStrip = {std::max<std::uint32_t>(in.U16(), 1)};
  p.SamplesPerPixel = static_cast<std::uint8_t>(in.Byte() % 5 + 1);
  p.BitsPerSample = in.Byte();
  const ColorScheme schemes[] = {ColorScheme::schGray, ColorScheme::schRGB, ColorScheme::schYCbCr,
                                 ColorScheme::schCMYK};
  p.ColorScheme = schemes[in.Byte() % 4];
  const std::uint8_t sampling = in.Byte();
  p.YCbCrSubSampling = {static_cast<std::uint8_t>(sampling >> 4), static_cast<std::uint8_t>(sampling & 15)};
  p.PlanarConfig = in.Byte() % 3;
  const std::uint32_t strips_per_plane = (p.Height + p.RowsPerStrip[0] - 1) / p.RowsPerStrip[0];
  p.StripCount = strips_per_plane * (p.PlanarConfig == 2 ? p.SamplesPerPixel : 1);
  p.CurrentStrip = in.Byte() % p.StripCount;
  p.CurrentRow = p.CurrentStrip % strips_per_plane * p.RowsPerStrip[0];
  p.JPEGTables = in.Take(in.U16());
  p.BitsPerPixel = static_cast<std::uint8_t>(p.BitsPerSample * p.SamplesPerPixel);
  const std::size_t components = p.PlanarConfig == 2 ? 1 : p.SamplesPerPixel;
  p.BytesPerLine = static_cast<std::uint32_t>(p.Width * components);
  const std::size_t rows = std::min(p.RowsPerStrip[0], p.Height - p.CurrentRow);
  std::vector<std::uint8_t> out(rows * p.BytesPerLine);
  const std::vector<std::uint8_t> strip = in.Take(in.RestSize());

  qel::TTIFFJPEGDecoder decoder(p, [](std::string_view) {});
  try {
    decoder.DecodeInit();
    const std::uint8_t* source = strip.data();
    std::uint8_t* dest = out.data();
    decoder.Decode(source, dest, strip.size(), out.size());
    decoder.DecodeEnd();
  } catch (const qel::EGraphicCompression&) {
  }
  return 0;
}
