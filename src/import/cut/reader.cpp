#include "import/cut/reader.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/codecs/cut_rle_decoder.h"
#include "import/cut/palette.h"
#include "import/framework/messages.h"

namespace qel {

namespace {

constexpr const char* kFormatName = "CUT";
constexpr std::size_t kHeaderSize = 6;
// A line is at least its 2-byte length and the closing 0.
constexpr std::uint64_t kMinLineBytes = 3;
// One 2-byte run writes at most 127 pixels.
constexpr std::uint64_t kMaxPixelsPerByte = 64;

// True when the line at data (its length word, then runs) reaches its closing 0 within
// size bytes.
bool LineIsComplete(const std::uint8_t* data, std::size_t size) {
  std::size_t i = 2;
  while (i < size) {
    const std::uint8_t c = data[i++];
    if (c == 0) return true;
    i += (c & 0x80) ? 1 : (c & 0x7F);
  }
  return false;
}

Palette GrayRamp() {
  Palette ramp(256);
  for (int i = 0; i < 256; ++i)
    ramp[std::size_t(i)] = PaletteEntry{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
  return ramp;
}

}  // namespace

const GraphicClass& TCUTGraphic::StaticClass() {
  static const GraphicClass cls("TCUTGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TCUTGraphic>);
  return cls;
}

void TCUTGraphic::LoadFromFile(const std::string& path) {
  palette_file_ = FindCutPaletteFile(path);
  TImportGraphic::LoadFromFile(path);
}

bool TCUTGraphic::ReadProperties(TStream& stream, int image_index) {
  TImportGraphic::ReadProperties(stream, image_index);
  if (stream.Remaining() < kHeaderSize) return false;
  TImageProperties& p = Properties();
  p.Width = stream.ReadU16LE();
  p.Height = stream.ReadU16LE();
  p.ColorScheme = ColorScheme::schIndexed;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 1;
  p.BitsPerPixel = 8;
  p.Compression = CompressionType::cmpRLE;
  return true;
}

void TCUTGraphic::LoadFromStream(TStream& stream) {
  ReleaseHandle();
  base_position_ = stream.Position();
  if (!ReadProperties(stream, 0)) GraphicError(msg::kInvalidImage, {kFormatName});
  stream.SetPosition(base_position_ + kHeaderSize);
  StartProgress(msg::kTransfering);

  const std::uint32_t width = ImageProperties().Width;
  const std::uint32_t height = ImageProperties().Height;
  // Nothing but the size says that a file is one of these: an empty size says it is not.
  if (width == 0 || height == 0) GraphicError(msg::kInvalidImage, {kFormatName});
  CheckPictureSize(width, height);
  const std::vector<std::uint8_t> data = stream.ReadToEnd();
  if (height * kMinLineBytes > data.size() || std::uint64_t(width) * height > kMaxPixelsPerByte * data.size())
    GraphicError(msg::kStreamReadError, {kFormatName});

  SetPixelFormat(TPixelFormat::pf8bit);
  SetSize(int(width), int(height));
  std::optional<Palette> palette;
  if (!palette_file_.empty()) palette = ReadCutPalette(palette_file_);
  SetPalette(palette ? std::move(*palette) : GrayRamp());

  TCUTRLEDecoder decoder;
  decoder.DecodeInit();
  const std::uint8_t* source = data.data();
  const std::uint8_t* const end = data.data() + data.size();
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::size_t left = std::size_t(end - source);
    if (!LineIsComplete(source, left)) GraphicError(msg::kStreamReadError, {kFormatName});
    std::uint8_t* scanline = ScanLine(int(y));
    decoder.Decode(source, scanline, left, width);
    RowProgress(y + 1, height, msg::kTransfering);
  }
  decoder.DecodeEnd();
  EndProgress(msg::kTransfering);
}

}  // namespace qel
