#include "import/pcx/reader.h"

#include <algorithm>
#include <array>
#include <optional>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/codecs/pcx_rle_decoder.h"
#include "import/framework/messages.h"

namespace qel {

namespace {

// Short names of the format in messages: a wrong signature or structure, and an
// unsupported colour layout.
constexpr const char* kSignatureName = "PCX or SCR";
constexpr const char* kFormatName = "PCX";

// The plane and bit combinations the reader turns into a bitmap.
enum class PcxLayout {
  kBilevel,    // 1 plane of 1 bit
  kTwoBit,     // 1 plane of 2 bits, widened to 4-bit indices
  kNibble,     // 1 plane of 4 bits
  kByte,       // 1 plane of 8 bits
  kBitPlanes,  // 2, 3 or 4 planes of 1 bit, shown as 4-bit indices
  kRGB,        // 3 planes of 8 bits
  kRGBA,       // 4 planes of 8 bits; the fourth is not shown
};

std::optional<PcxLayout> LayoutOf(const PcxHeader& h) {
  switch (h.planes * 100 + h.bits_per_pixel) {
    case 101:
      return PcxLayout::kBilevel;
    case 102:
      return PcxLayout::kTwoBit;
    case 104:
      return PcxLayout::kNibble;
    case 108:
      return PcxLayout::kByte;
    case 201:
    case 301:
    case 401:
      return PcxLayout::kBitPlanes;
    case 308:
      return PcxLayout::kRGB;
    case 408:
      return PcxLayout::kRGBA;
    default:
      return std::nullopt;
  }
}

bool IsTrueColor(PcxLayout layout) {
  return layout == PcxLayout::kRGB || layout == PcxLayout::kRGBA;
}

// The 16 colours of the platform's standard palette, in its order.
constexpr std::array<PaletteEntry, 16> kStandardPalette16 = {{
    {0, 0, 0, 0},
    {128, 0, 0, 0},
    {0, 128, 0, 0},
    {128, 128, 0, 0},
    {0, 0, 128, 0},
    {128, 0, 128, 0},
    {0, 128, 128, 0},
    {192, 192, 192, 0},
    {128, 128, 128, 0},
    {255, 0, 0, 0},
    {0, 255, 0, 0},
    {255, 255, 0, 0},
    {0, 0, 255, 0},
    {255, 0, 255, 0},
    {0, 255, 255, 0},
    {255, 255, 255, 0},
}};

PcxHeader ReadHeader(TStream& stream) {
  std::array<std::uint8_t, kPcxHeaderSize> bytes;
  stream.ReadBuffer(bytes.data(), bytes.size());
  return ParsePcxHeader(bytes);
}

// How many bytes the run-length data expands to, counted up to limit; tells a
// truncated file before anything is allocated for it.
std::uint64_t RunLengthOutput(const std::vector<std::uint8_t>& data, std::uint64_t limit) {
  std::uint64_t produced = 0;
  std::size_t i = 0;
  while (produced < limit && i < data.size()) {
    const std::uint8_t c = data[i++];
    if (c < 0xC0) {
      ++produced;
    } else if (i < data.size()) {
      ++i;
      produced += c & 0x3F;
    }
  }
  return std::min(produced, limit);
}

// Two to four 1-bit planes to 4-bit pixels: bit k of a pixel comes from plane k, each
// plane read from its most significant bit; two pixels a byte, the first in the high
// nibble.
void AssembleBitPlanes(const std::uint8_t* row, std::size_t plane_bytes, unsigned planes, std::uint32_t width,
                       std::uint8_t* out) {
  for (std::uint32_t x = 0; x < width; ++x) {
    const std::size_t byte = x >> 3;
    const int shift = 7 - int(x & 7);
    unsigned value = 0;
    for (unsigned plane = 0; plane < planes; ++plane)
      value |= ((row[plane * plane_bytes + byte] >> shift) & 1u) << plane;
    if (x & 1)
      out[x >> 1] = std::uint8_t(out[x >> 1] | value);
    else
      out[x >> 1] = std::uint8_t(value << 4);
  }
}

}  // namespace

const GraphicClass& TPCXGraphic::StaticClass() {
  static const GraphicClass cls("TPCXGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TPCXGraphic>);
  return cls;
}

bool TPCXGraphic::RecognizesStream(TStream& stream) const {
  if (stream.Remaining() < kPcxHeaderSize) return false;
  std::array<std::uint8_t, kPcxHeaderSize> bytes;
  if (!PeekBytes(stream, bytes)) return false;
  const PcxHeader h = ParsePcxHeader(bytes);
  const bool known_version = h.version == 0 || (h.version >= 2 && h.version <= 5);
  return h.HasKnownManufacturer() && known_version && h.encoding <= 1;
}

bool TPCXGraphic::ReadProperties(TStream& stream, int image_index) {
  TImportGraphic::ReadProperties(stream, image_index);
  if (stream.Remaining() < kPcxHeaderSize) return false;
  const PcxHeader h = ReadHeader(stream);
  if (!h.HasKnownManufacturer()) return false;
  TImageProperties& p = Properties();
  p.Width = h.Width();
  p.Height = h.Height();
  p.XResolution = h.h_dpi;
  p.YResolution = h.v_dpi;
  p.BitsPerSample = h.bits_per_pixel;
  p.SamplesPerPixel = h.planes;
  p.BitsPerPixel = std::uint8_t(std::min(h.planes * h.bits_per_pixel, 255));
  p.ColorScheme = h.planes * h.bits_per_pixel > 8 ? ColorScheme::schRGB : ColorScheme::schIndexed;
  p.Compression = h.IsCompressed() ? CompressionType::cmpRLE : CompressionType::cmpNone;
  return true;
}

void TPCXGraphic::LoadFromStream(TStream& stream) {
  ReleaseHandle();
  base_position_ = stream.Position();
  if (!ReadProperties(stream, 0)) GraphicError(msg::kInvalidImage, {kSignatureName});
  stream.SetPosition(base_position_);
  StartProgress(msg::kPreparing);

  const PcxHeader header = ReadHeader(stream);
  if (!header.HasKnownManufacturer()) GraphicError(msg::kInvalidImage, {kSignatureName});
  const std::optional<PcxLayout> layout = LayoutOf(header);
  if (!layout) GraphicError(msg::kInvalidColorFormat, {kFormatName});
  const std::uint32_t width = header.Width();
  const std::uint32_t height = header.Height();
  const std::uint32_t bits = header.bits_per_pixel;
  // Every plane's line must hold the row's pixels.
  if (width == 0 || height == 0 || header.bytes_per_line < (std::uint64_t(width) * bits + 7) / 8)
    GraphicError(msg::kInvalidImage, {kSignatureName});
  CheckPictureSize(width, height);

  const bool true_color = IsTrueColor(*layout);
  TColorManager& cm = ColorManager();
  cm.Configure({true_color ? ColorScheme::schRGB : ColorScheme::schIndexed, int(bits), header.planes, 0},
               {true_color ? ColorScheme::schBGR : ColorScheme::schIndexed, bits == 2 ? 4 : int(bits),
                true_color ? 3 : header.planes, 0});
  const TPixelFormat format =
      *layout == PcxLayout::kBitPlanes ? TPixelFormat::pf4bit : cm.TargetPixelFormat();

  bool trailing_palette = false;
  Palette palette = true_color ? Palette() : ReadPalette(stream, header, format, trailing_palette);
  const std::vector<std::uint8_t> data = ReadPixelData(stream, header, trailing_palette);

  SetPixelFormat(format);
  SetSize(int(width), int(height));
  SetPalette(std::move(palette));

  StartProgress(msg::kTransfering);
  const std::size_t plane_bytes = header.bytes_per_line;
  const std::size_t row_bytes = header.RowBytes();
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* row = data.data() + y * row_bytes;
    std::uint8_t* scanline = ScanLine(int(y));
    if (*layout == PcxLayout::kBitPlanes) {
      AssembleBitPlanes(row, plane_bytes, header.planes, width, scanline);
    } else if (true_color) {
      const std::uint8_t* planes[3] = {row, row + plane_bytes, row + 2 * plane_bytes};
      cm.ConvertRow(std::span<const std::uint8_t* const>(planes, 3), scanline, width);
    } else {
      cm.ConvertRow(row, scanline, width);
    }
    RowProgress(y + 1, height, msg::kTransfering);
  }
  EndProgress(msg::kTransfering);
}

Palette TPCXGraphic::ReadPalette(TStream& stream, const PcxHeader& header, TPixelFormat format,
                                 bool& trailing_palette) {
  TColorManager& cm = ColorManager();
  trailing_palette = false;
  if (format == TPixelFormat::pf1bit) return cm.CreateGrayscalePalette(false);
  if (format == TPixelFormat::pf4bit) {
    // Files of the version without palette information show the standard colours.
    if (header.version == kPcxVersionNoPalette)
      return Palette(kStandardPalette16.begin(), kStandardPalette16.end());
    if (header.IsGrayPalette()) return cm.CreateGrayscalePalette(false);
    const std::uint8_t* triples[1] = {header.palette16.data()};
    return cm.CreateColorPalette(triples, RawPaletteFormat::kInterlaced8Triple, 16, false);
  }
  // 8 bits: the 256 colours that may close the file.
  const std::uint64_t position = stream.Position();
  Palette palette;
  if (stream.Size() >= position + kPcxTrailingPaletteSize) {
    stream.SetPosition(stream.Size() - kPcxTrailingPaletteSize);
    std::array<std::uint8_t, kPcxTrailingPaletteSize> bytes;
    stream.ReadBuffer(bytes.data(), bytes.size());
    if (bytes[0] == kPcxPaletteMarker) {
      trailing_palette = true;
      const std::uint8_t* triples[1] = {bytes.data() + 1};
      palette = cm.CreateColorPalette(triples, RawPaletteFormat::kInterlaced8Triple, 256, false);
    }
  }
  stream.SetPosition(position);
  if (!trailing_palette && header.IsGrayPalette()) palette = cm.CreateGrayscalePalette(false);
  return palette;
}

std::vector<std::uint8_t> TPCXGraphic::ReadPixelData(TStream& stream, const PcxHeader& header,
                                                     bool trailing_palette) {
  const std::uint64_t start = stream.Position();
  const std::uint64_t end = stream.Size() - (trailing_palette ? kPcxTrailingPaletteSize : 0);
  const std::uint64_t available = end > start ? end - start : 0;
  const std::uint64_t unpacked = std::uint64_t(header.Height()) * header.RowBytes();
  if (!header.IsCompressed()) {
    if (available < unpacked) GraphicError(msg::kStreamReadError, {kFormatName});
    return stream.ReadBytes(std::size_t(unpacked));
  }
  const std::vector<std::uint8_t> packed = stream.ReadBytes(std::size_t(available));
  if (RunLengthOutput(packed, unpacked) < unpacked) GraphicError(msg::kStreamReadError, {kFormatName});
  std::vector<std::uint8_t> data(static_cast<std::size_t>(unpacked));
  const std::uint8_t* source = packed.data();
  std::uint8_t* dest = data.data();
  TPCXRLEDecoder decoder;
  decoder.DecodeInit();
  decoder.Decode(source, dest, packed.size(), data.size());
  decoder.DecodeEnd();
  return data;
}

}  // namespace qel
