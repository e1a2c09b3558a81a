#include "import/autodesk/reader.h"

#include <algorithm>
#include <array>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/framework/messages.h"

namespace qel {

namespace {

constexpr const char* kFormatName = "Autodesk";
constexpr std::uint16_t kMagic = 0x9119;
constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kPaletteEntries = 256;
constexpr std::size_t kPaletteSize = kPaletteEntries * 3;

// The header, fields in file order (little-endian).
struct AutodeskHeader {
  std::uint16_t magic = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint16_t x_offset = 0;
  std::uint16_t y_offset = 0;
  std::uint8_t bits_per_pixel = 0;
  std::uint8_t compression = 0;
};

AutodeskHeader ParseHeader(const std::array<std::uint8_t, kHeaderSize>& b) {
  const auto u16 = [&](std::size_t at) { return std::uint16_t(b[at] | (b[at + 1] << 8)); };
  AutodeskHeader h;
  h.magic = u16(0);
  h.width = u16(2);
  h.height = u16(4);
  h.x_offset = u16(6);
  h.y_offset = u16(8);
  h.bits_per_pixel = b[10];
  h.compression = b[11];
  return h;
}

AutodeskHeader ReadHeader(TStream& stream) {
  std::array<std::uint8_t, kHeaderSize> bytes;
  stream.ReadBuffer(bytes.data(), bytes.size());
  return ParseHeader(bytes);
}

// Palette components run from 0 to 63; four times that spans the byte range.
std::uint8_t WidenComponent(std::uint8_t v) {
  return std::uint8_t(std::min(v * 4, 255));
}

}  // namespace

const GraphicClass& TAutodeskGraphic::StaticClass() {
  static const GraphicClass cls("TAutodeskGraphic", &TImportGraphic::StaticClass(),
                                &MakeGraphic<TAutodeskGraphic>);
  return cls;
}

bool TAutodeskGraphic::RecognizesStream(TStream& stream) const {
  if (stream.Remaining() <= kHeaderSize) return false;
  std::array<std::uint8_t, kHeaderSize> bytes;
  if (!PeekBytes(stream, bytes)) return false;
  const AutodeskHeader h = ParseHeader(bytes);
  return h.magic == kMagic && h.bits_per_pixel == 8 && h.compression == 0;
}

bool TAutodeskGraphic::ReadProperties(TStream& stream, int image_index) {
  TImportGraphic::ReadProperties(stream, image_index);
  if (stream.Remaining() < kHeaderSize) return false;
  const AutodeskHeader h = ReadHeader(stream);
  if (h.magic != kMagic) return false;
  TImageProperties& p = Properties();
  p.Width = h.width;
  p.Height = h.height;
  p.ColorScheme = ColorScheme::schIndexed;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 1;
  p.BitsPerPixel = 8;
  p.Compression = CompressionType::cmpNone;
  return true;
}

void TAutodeskGraphic::LoadFromStream(TStream& stream) {
  ReleaseHandle();
  base_position_ = stream.Position();
  if (!ReadProperties(stream, 0)) GraphicError(msg::kInvalidImage, {kFormatName});
  stream.SetPosition(base_position_);
  StartProgress(msg::kTransfering);

  const AutodeskHeader header = ReadHeader(stream);
  if (header.width == 0 || header.height == 0) GraphicError(msg::kInvalidImage, {kFormatName});
  // Other depths and packed pixels exist only in name; reading them as bytes would
  // show noise.
  if (header.bits_per_pixel != 8) GraphicError(msg::kInvalidColorFormat, {kFormatName});
  if (header.compression != 0) GraphicError(msg::kUnsupportedFeature, {msg::kCompressionScheme, kFormatName});
  const std::uint64_t pixel_bytes = std::uint64_t(header.width) * header.height;
  if (stream.Remaining() < kPaletteSize + pixel_bytes) GraphicError(msg::kStreamReadError, {kFormatName});

  std::array<std::uint8_t, kPaletteSize> raw;
  stream.ReadBuffer(raw.data(), raw.size());
  Palette palette(kPaletteEntries);
  for (std::size_t i = 0; i < kPaletteEntries; ++i) {
    palette[i] = PaletteEntry{WidenComponent(raw[3 * i]), WidenComponent(raw[3 * i + 1]),
                              WidenComponent(raw[3 * i + 2]), 0};
  }

  SetPixelFormat(TPixelFormat::pf8bit);
  SetSize(header.width, header.height);
  SetPalette(std::move(palette));
  for (int y = 0; y < header.height; ++y) {
    stream.ReadBuffer(ScanLine(y), header.width);
    RowProgress(std::uint32_t(y + 1), header.height, msg::kTransfering);
  }
  EndProgress(msg::kTransfering);
}

}  // namespace qel
