#include "import/sgi/reader.h"

#include <algorithm>
#include <array>
#include <span>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/codecs/sgi_rle_decoder.h"
#include "import/framework/coded_size.h"
#include "import/framework/messages.h"

namespace qel {

namespace {

constexpr const char* kFormatName = "sgi, bw or rgb(a)";
// A blank picture whose rows all use the same bytes costs little more than its row
// table, eight bytes a row: 30000 pixels wide, that is some 4000 pixels a byte.
constexpr std::uint64_t kSharedRowsPixelsPerByte = 4096;
constexpr std::size_t kHeaderSize = 512;
constexpr std::uint16_t kMagic = 474;
constexpr std::uint8_t kStorageRLE = 1;
constexpr unsigned kMaxChannels = 4;

// The start of the header, fields in file order (big-endian); the rest (name, colour
// map kind, padding) is not used.
struct SgiHeader {
  std::uint16_t magic = 0;
  std::uint8_t storage = 0;
  std::uint8_t bytes_per_channel = 0;
  std::uint16_t dimension = 0;
  std::uint16_t x_size = 0;
  std::uint16_t y_size = 0;
  std::uint16_t z_size = 0;

  bool IsCompressed() const { return storage == kStorageRLE; }
  // The channel count is the low byte of the z size.
  unsigned Channels() const { return z_size & 0xFFu; }
};

SgiHeader ParseHeader(std::span<const std::uint8_t, kHeaderSize> b) {
  const auto u16 = [&](std::size_t at) { return std::uint16_t((b[at] << 8) | b[at + 1]); };
  SgiHeader h;
  h.magic = u16(0);
  h.storage = b[2];
  h.bytes_per_channel = b[3];
  h.dimension = u16(4);
  h.x_size = u16(6);
  h.y_size = u16(8);
  h.z_size = u16(10);
  return h;
}

SgiHeader ReadHeader(TStream& stream) {
  std::array<std::uint8_t, kHeaderSize> bytes;
  stream.ReadBuffer(bytes.data(), bytes.size());
  return ParseHeader(bytes);
}

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// Where the compressed row of each channel lies: entry row + channel x height.
struct RowTable {
  std::vector<std::uint32_t> start;   // from the start of the image
  std::vector<std::uint32_t> length;  // in bytes
};

}  // namespace

const GraphicClass& TSGIGraphic::StaticClass() {
  static const GraphicClass cls("TSGIGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TSGIGraphic>);
  return cls;
}

bool TSGIGraphic::RecognizesStream(TStream& stream) const {
  if (stream.Remaining() <= kHeaderSize) return false;
  std::array<std::uint8_t, kHeaderSize> bytes;
  if (!PeekBytes(stream, bytes)) return false;
  const SgiHeader h = ParseHeader(bytes);
  return h.magic == kMagic && (h.bytes_per_channel == 1 || h.bytes_per_channel == 2) && h.dimension >= 1 &&
         h.dimension <= 3;
}

bool TSGIGraphic::ReadProperties(TStream& stream, int image_index) {
  TImportGraphic::ReadProperties(stream, image_index);
  if (stream.Remaining() < kHeaderSize) return false;
  const SgiHeader h = ReadHeader(stream);
  if (h.magic != kMagic) return false;
  TImageProperties& p = Properties();
  p.Flags |= ImageFlags::kSwapped;
  p.Width = h.x_size;
  p.Height = h.y_size;
  p.SamplesPerPixel = std::uint8_t(h.Channels());
  p.BitsPerSample = std::uint8_t(std::min(8 * h.bytes_per_channel, 255));
  p.BitsPerPixel = std::uint8_t(std::min(unsigned(p.BitsPerSample) * p.SamplesPerPixel, 255u));
  p.ColorScheme = h.Channels() == 3   ? ColorScheme::schRGB
                  : h.Channels() == 4 ? ColorScheme::schRGBA
                                      : ColorScheme::schIndexed;
  p.Compression = h.IsCompressed() ? CompressionType::cmpRLE : CompressionType::cmpNone;
  return true;
}

void TSGIGraphic::LoadFromStream(TStream& stream) {
  ReleaseHandle();
  base_position_ = stream.Position();
  if (!ReadProperties(stream, 0)) GraphicError(msg::kInvalidImage, {kFormatName});
  stream.SetPosition(base_position_);
  StartProgress(msg::kPreparing);

  const SgiHeader header = ReadHeader(stream);
  const unsigned channels = header.Channels();
  const unsigned sample_bytes = header.bytes_per_channel;
  if (sample_bytes != 1 && sample_bytes != 2) GraphicError(msg::kInvalidImage, {kFormatName});
  if (channels == 0 || channels > kMaxChannels) GraphicError(msg::kInvalidColorFormat, {kFormatName});
  const std::uint32_t width = header.x_size;
  const std::uint32_t height = header.y_size;
  if (width == 0 || height == 0) GraphicError(msg::kInvalidImage, {kFormatName});
  CheckPictureSize(width, height);

  // Gray images show their first channel (a second one, alpha, is not drawn).
  const bool gray = channels < 3;
  const unsigned used_channels = gray ? 1 : channels;
  TColorManager& cm = ColorManager();
  const ColorScheme target = gray            ? ColorScheme::schIndexed
                             : channels == 3 ? ColorScheme::schBGR
                                             : ColorScheme::schBGRA;
  cm.Configure({gray ? ColorScheme::schGray : ImageProperties().ColorScheme, int(8 * sample_bytes),
                int(used_channels), ColorOptions::kByteSwap},
               {target, 8, int(used_channels), 0});

  const std::size_t row_bytes = std::size_t(width) * sample_bytes;
  const std::uint64_t image_bytes = stream.Size() > base_position_ ? stream.Size() - base_position_ : 0;
  const std::uint64_t rows = std::uint64_t(height) * channels;

  // Compressed files are held whole (their rows may lie anywhere, even share bytes);
  // every table entry is checked against the file's size before any row is read.
  std::vector<std::uint8_t> image;
  RowTable table;
  if (header.IsCompressed()) {
    if (kHeaderSize + 8 * rows > image_bytes) GraphicError(msg::kStreamReadError, {kFormatName});
    const std::vector<std::uint8_t> raw = stream.ReadBytes(std::size_t(8 * rows));
    table.start.resize(std::size_t(rows));
    table.length.resize(std::size_t(rows));
    for (std::size_t i = 0; i < rows; ++i) {
      table.start[i] = BigEndian32(&raw[4 * i]);
      table.length[i] = BigEndian32(&raw[4 * (rows + i)]);
      if (std::uint64_t(table.start[i]) + table.length[i] > image_bytes)
        GraphicError(msg::kInvalidImage, {kFormatName});
    }
    // Rows may share their data, so a few bytes could stand for any number of rows;
    // but a row is no wider than its longest data makes it (a packet of two bytes
    // per sample width makes at most 127 samples).
    if (rows > 0) {
      const std::uint32_t longest = *std::max_element(table.length.begin(), table.length.end());
      CheckCodedBytes(kFormatName, width, height, row_bytes, longest, 64);
    }
    CheckCodedSize(kFormatName, width, height, image_bytes, kSharedRowsPixelsPerByte);
    stream.SetPosition(base_position_);
    image = stream.ReadBytes(std::size_t(image_bytes));
  } else if (kHeaderSize + rows * row_bytes > image_bytes) {
    GraphicError(msg::kStreamReadError, {kFormatName});
  }

  SetPixelFormat(cm.TargetPixelFormat());
  SetSize(int(width), int(height));
  if (gray) SetPalette(cm.CreateGrayscalePalette(false));

  StartProgress(msg::kTransfering);
  TSGIRLEDecoder decoder(8 * sample_bytes);
  decoder.DecodeInit();
  std::array<std::vector<std::uint8_t>, kMaxChannels> buffers;
  std::array<const std::uint8_t*, kMaxChannels> planes{};
  for (unsigned c = 0; c < used_channels; ++c) {
    buffers[c].resize(row_bytes);
    planes[c] = buffers[c].data();
  }
  for (std::uint32_t r = 0; r < height; ++r) {
    for (unsigned c = 0; c < used_channels; ++c) {
      std::uint8_t* dest = buffers[c].data();
      const std::size_t entry = r + std::size_t(c) * height;
      if (header.IsCompressed()) {
        // A row that ends early leaves black behind it.
        std::fill(buffers[c].begin(), buffers[c].end(), 0);
        const std::uint8_t* source = image.data() + table.start[entry];
        decoder.Decode(source, dest, table.length[entry], row_bytes);
      } else {
        stream.SetPosition(base_position_ + kHeaderSize + entry * row_bytes);
        stream.ReadBuffer(dest, row_bytes);
      }
    }
    std::uint8_t* scanline = ScanLine(int(height - 1 - r));
    cm.ConvertRow(std::span<const std::uint8_t* const>(planes.data(), used_channels), scanline, width);
    RowProgress(r + 1, height, msg::kTransfering);
  }
  decoder.DecodeEnd();
  // A fourth channel is alpha, not multiplied into the colours.
  if (channels == 4) ApplyDeclaredAlpha(*this, AlphaKind::kUnassociated);
  EndProgress(msg::kTransfering);
}

}  // namespace qel
