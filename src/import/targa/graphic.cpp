#include "import/targa/graphic.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/codecs/targa_rle.h"
#include "import/framework/coded_size.h"
#include "import/framework/messages.h"

namespace qel {

namespace {

// Colour-map entry sizes and pixel depths the reader knows.
bool IsMapEntrySize(int bits) {
  return bits == 15 || bits == 16 || bits == 24 || bits == 32;
}
bool IsPixelDepth(int bits) {
  return TargaPixelBytes(bits) != 0;
}

constexpr const char* kShortName = "TGA";

// Greyscale images of 16 bits a pixel hold a grey byte followed by an alpha byte.
bool IsGrayAlpha(const TargaHeader& h) {
  return h.IsGrayscale() && h.pixel_depth == 16;
}

// The file declares an alpha channel: attribute bits in the descriptor, for pixels that
// have room for them (the fourth byte of 32 bits, the top bit of 16-bit colours, the
// second byte of 16-bit greys).
bool DeclaresAlpha(const TargaHeader& h) {
  return (h.descriptor & TargaDescriptor::kAlphaBits) != 0 && !h.IsColorMapped() &&
         (h.pixel_depth == 32 || h.pixel_depth == 16);
}

// Reverses the order of the pixels of a row of `width` pixels of `bytes` bytes each.
void MirrorRow(std::uint8_t* row, int width, std::size_t bytes) {
  for (int l = 0, r = width - 1; l < r; ++l, --r) {
    std::swap_ranges(row + std::size_t(l) * bytes, row + std::size_t(l + 1) * bytes,
                     row + std::size_t(r) * bytes);
  }
}

constexpr std::size_t kMaxPaletteEntries = 256;

// A 5-5-5 word (blue in bits 0-4) as a palette entry; each 5-bit value times 8.
PaletteEntry Entry555(std::uint16_t v) {
  return PaletteEntry{std::uint8_t(((v & 0x7C00) >> 10) * 8), std::uint8_t(((v & 0x3E0) >> 5) * 8),
                      std::uint8_t((v & 0x1F) * 8), 0};
}

}  // namespace

const GraphicClass& TTargaGraphic::StaticClass() {
  static const GraphicClass cls("TTargaGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TTargaGraphic>);
  return cls;
}

bool TTargaGraphic::RecognizesStream(TStream& stream) const {
  if (stream.Remaining() <= kTargaHeaderSize) return false;
  std::array<std::uint8_t, kTargaHeaderSize> bytes;
  if (!PeekBytes(stream, bytes)) return false;
  const TargaHeader h = ParseTargaHeader(bytes);
  return h.IsKnownType() && h.color_map_type <= 1 && IsMapEntrySize(h.color_map_entry_bits) &&
         IsPixelDepth(h.pixel_depth);
}

bool TTargaGraphic::ReadProperties(TStream& stream, int image_index) {
  TImportGraphic::ReadProperties(stream, image_index);
  const TargaHeader h = ReadTargaHeader(stream);
  TImageProperties& p = Properties();
  p.Width = h.width;
  p.Height = h.height;
  p.BitsPerSample = 8;
  switch (h.pixel_depth) {
    case 8:
      p.ColorScheme = h.IsGrayscale() ? ColorScheme::schGray : ColorScheme::schIndexed;
      p.SamplesPerPixel = 1;
      break;
    case 15:
    case 16:
      if (IsGrayAlpha(h)) {
        p.ColorScheme = ColorScheme::schGrayAlpha;
        p.SamplesPerPixel = 2;
      } else {
        p.ColorScheme = ColorScheme::schRGB;
        p.BitsPerSample = 5;
        p.SamplesPerPixel = 3;
      }
      break;
    case 24:
      p.ColorScheme = ColorScheme::schRGB;
      p.SamplesPerPixel = 3;
      break;
    case 32:
      p.ColorScheme = ColorScheme::schRGBA;
      p.SamplesPerPixel = 4;
      break;
    default:
      p.ColorScheme = ColorScheme::schUnknown;
      p.SamplesPerPixel = 0;
  }
  p.BitsPerPixel = std::uint8_t(p.SamplesPerPixel * p.BitsPerSample);
  p.Compression = h.IsEncoded() ? CompressionType::cmpRLE : CompressionType::cmpNone;
  return true;
}

void TTargaGraphic::LoadFromStream(TStream& stream) {
  ReleaseHandle();
  base_position_ = stream.Position();
  ReadProperties(stream, 0);
  stream.SetPosition(base_position_);
  StartProgress(msg::kPreparing);

  const TargaHeader header = ReadTargaHeader(stream);
  if (header.width == 0 || header.height == 0) GraphicError(msg::kInvalidImage, {kShortName});
  stream.Skip(header.id_length);

  // The bitmap takes the file's pixels as they are; the colour manager tells which
  // bitmap format holds them. Grey-with-alpha pixels keep their grey byte, unless the
  // file declares its alpha: pixels with alpha are made blue, green, red, alpha.
  const TImageProperties& p = ImageProperties();
  const bool gray_alpha = p.ColorScheme == ColorScheme::schGrayAlpha;
  TColorManager& cm = ColorManager();
  cm.Configure({p.ColorScheme, p.BitsPerSample, p.SamplesPerPixel, 0},
               {gray_alpha ? ColorScheme::schGray : ColorScheme::schBGR, p.BitsPerSample,
                gray_alpha ? 1 : p.SamplesPerPixel, 0});
  const TPixelFormat format = DeclaresAlpha(header) ? TPixelFormat::pf32bit : cm.TargetPixelFormat();
  if (format != TPixelFormat::pf8bit && format != TPixelFormat::pf15bit && format != TPixelFormat::pf24bit &&
      format != TPixelFormat::pf32bit) {
    throw EColorConversionError(msg::kInvalidSampleCount);
  }

  ReadPalette(stream, header);
  SetPixelFormat(format);
  if (header.Type() != TargaImageType::kNoImage && !header.IsEncoded()) {
    // Uncompressed rows are read in full; a file too short for them fails before the
    // bitmap is made.
    const std::uint64_t needed =
        std::uint64_t(header.width) * std::uint64_t(header.BytesPerPixel()) * header.height;
    if (stream.Remaining() < needed) throw EReadError();
  } else {
    // A packet of one count byte and one pixel stands for at most 128 pixels; a file
    // without image data has none to give.
    const std::uint64_t available = header.Type() == TargaImageType::kNoImage ? 0 : stream.Remaining();
    CheckCodedSize("TGA", header.width, header.height, available,
                   128 / (1 + std::uint64_t(header.BytesPerPixel())) + 1);
  }
  SetSize(header.width, header.height);
  ReadRows(stream, header);
  if (DeclaresAlpha(header)) ApplyDeclaredAlpha(*this, AlphaKind::kUnassociated);
}

void TTargaGraphic::ReadPalette(TStream& stream, const TargaHeader& header) {
  if (header.IsGrayscale()) {
    // The map of a greyscale file (if it announces one) describes nothing we draw.
    stream.Skip(header.ColorMapBytes());
    SetPalette(ColorManager().CreateGrayscalePalette(false));
    return;
  }
  if (!header.HasColorMap()) return;

  const std::vector<std::uint8_t> map = stream.ReadBytes(header.ColorMapBytes());
  const std::size_t first = header.color_map_first;
  if (first >= kMaxPaletteEntries) return;
  const std::size_t count = std::min<std::size_t>(header.color_map_length, kMaxPaletteEntries - first);
  Palette entries;
  const std::uint8_t* data = map.data();
  switch (header.color_map_entry_bits) {
    case 24:
      entries = ColorManager().CreateColorPalette(std::span<const std::uint8_t* const>(&data, 1),
                                                  RawPaletteFormat::kInterlaced8Triple, count, true);
      break;
    case 32:
      entries = ColorManager().CreateColorPalette(std::span<const std::uint8_t* const>(&data, 1),
                                                  RawPaletteFormat::kInterlaced8Quad, count, true);
      break;
    case 15:
    case 16:
      for (std::size_t i = 0; i < count; ++i) {
        entries.push_back(Entry555(std::uint16_t(map[2 * i] | (map[2 * i + 1] << 8))));
      }
      break;
    default:
      return;  // entries of other sizes are skipped
  }
  // Pixel values index the whole map; the file stores it from its first entry on.
  Palette palette(first);
  palette.insert(palette.end(), entries.begin(), entries.end());
  SetPalette(std::move(palette));
}

void TTargaGraphic::ReadRows(TStream& stream, const TargaHeader& header) {
  StartProgress(msg::kTransfering);
  const int width = header.width;
  const int height = header.height;
  const std::size_t file_bpp = std::size_t(header.BytesPerPixel());
  const std::size_t row_bytes = std::size_t(width) * file_bpp;
  const bool gray_alpha = IsGrayAlpha(header);
  std::vector<std::uint8_t> row(row_bytes);

  const bool alpha = DeclaresAlpha(header);
  const std::size_t bitmap_bpp = PixelFormatBits(PixelFormat()) / 8;
  // Copies the first `bytes` decoded bytes of a file row into bitmap row y (mirrored
  // when the file stores its columns right to left).
  auto store = [&](int y, std::size_t bytes) {
    std::uint8_t* target = ScanLine(y);
    const std::size_t pixels = bytes / file_bpp;
    if (gray_alpha && alpha) {
      for (std::size_t x = 0; x < pixels; ++x) {
        target[4 * x] = target[4 * x + 1] = target[4 * x + 2] = row[2 * x];
        target[4 * x + 3] = row[2 * x + 1];
      }
    } else if (gray_alpha) {
      for (std::size_t x = 0; x < pixels; ++x) target[x] = row[2 * x];
    } else if (alpha && file_bpp == 2) {
      // 5-5-5 colours with the alpha bit on top.
      for (std::size_t x = 0; x < pixels; ++x) {
        const unsigned v = unsigned(row[2 * x]) | (unsigned(row[2 * x + 1]) << 8);
        target[4 * x] = std::uint8_t((v & 0x1F) * 255 / 31);
        target[4 * x + 1] = std::uint8_t(((v >> 5) & 0x1F) * 255 / 31);
        target[4 * x + 2] = std::uint8_t(((v >> 10) & 0x1F) * 255 / 31);
        target[4 * x + 3] = (v & 0x8000) ? 255 : 0;
      }
    } else {
      std::memcpy(target, row.data(), bytes);
    }
    if (header.descriptor & TargaDescriptor::kRightFirst) MirrorRow(target, width, bitmap_bpp);
  };
  auto bitmap_row = [&](int i) { return header.TopFirst() ? i : height - 1 - i; };

  if (header.Type() == TargaImageType::kNoImage || row_bytes == 0) {
    EndProgress(msg::kTransfering);
    return;
  }
  if (!header.IsEncoded()) {
    for (int i = 0; i < height; ++i) {
      stream.ReadBuffer(row.data(), row_bytes);
      store(bitmap_row(i), row_bytes);
      RowProgress(std::uint32_t(i + 1), std::uint32_t(height), msg::kTransfering);
    }
  } else {
    // The packets form one stream over all rows: a packet may run on into the next row.
    TTargaRLEDecoder decoder(header.pixel_depth);
    decoder.DecodeInit();
    // Room for a whole row of packets and for a packet that runs past the row's end.
    std::vector<std::uint8_t> packed(2 * row_bytes + decoder.MaxPacketSize());
    for (int i = 0; i < height; ++i) {
      const std::uint64_t position = stream.Position();
      const std::size_t got = stream.Read(packed.data(), packed.size());
      const std::uint8_t* source = packed.data();
      std::uint8_t* dest = row.data();
      decoder.Decode(source, dest, got, row_bytes);
      stream.SetPosition(position + std::uint64_t(source - packed.data()));
      store(bitmap_row(i), std::size_t(dest - row.data()));
      RowProgress(std::uint32_t(i + 1), std::uint32_t(height), msg::kTransfering);
    }
  }
  EndProgress(msg::kTransfering);
}

}  // namespace qel
