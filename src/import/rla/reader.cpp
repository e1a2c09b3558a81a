#include "import/rla/reader.h"

#include <algorithm>
#include <array>
#include <vector>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/codecs/rla_decoder.h"
#include "import/framework/messages.h"
#include "import/rla/header.h"

namespace qel {

namespace {

constexpr const char* kShortName = "RLA";
constexpr int kColorChannels = 3;

bool HasKnownKind(const RlaHeader& h) {
  const std::string kind = h.Kind();
  return kind == "rgb" || kind == "xyz";
}

// Reads the header from the stream's position; false when the stream is too short.
bool ReadHeader(TStream& stream, RlaHeader& header) {
  std::array<std::uint8_t, kRlaHeaderSize> bytes;
  if (stream.Read(bytes.data(), bytes.size()) != bytes.size()) return false;
  header = ParseRlaHeader(bytes);
  return true;
}

// The fewest bytes a row can take: a length word per channel and, as one run makes
// at most 128 bytes out of two, two bytes for every 128 pixels of each channel.
std::uint64_t ShortestRow(std::uint32_t width, int channels) {
  return std::uint64_t(channels) * (2 + (std::uint64_t(width) + 127) / 128 * 2);
}

}  // namespace

const GraphicClass& TRLAGraphic::StaticClass() {
  static const GraphicClass cls("TRLAGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TRLAGraphic>);
  return cls;
}

bool TRLAGraphic::RecognizesStream(TStream& stream) const {
  const std::uint64_t start = stream.Position();
  if (stream.Remaining() <= kRlaHeaderSize) return false;
  RlaHeader h;
  const bool read = ReadHeader(stream, h);
  stream.SetPosition(start);
  return read && h.revision == kRlaRevision && HasKnownKind(h);
}

bool TRLAGraphic::ReadProperties(TStream& stream, int image_index) {
  TImportGraphic::ReadProperties(stream, image_index);
  RlaHeader h;
  if (!ReadHeader(stream, h) || !HasKnownKind(h)) return false;
  if (h.active_window.right < h.active_window.left) return false;
  TImageProperties& p = Properties();
  p.Width = h.Width();
  p.Height = h.Height();
  p.BottomUp = h.BottomUp();
  p.SamplesPerPixel = std::uint8_t(h.channel_count + (h.matte_count >= 1 ? 1 : 0));
  p.ColorScheme = h.Kind() == "xyz"    ? ColorScheme::schUnknown
                  : h.matte_count >= 1 ? ColorScheme::schRGBA
                                       : ColorScheme::schRGB;
  p.BitsPerSample = std::uint8_t(h.channel_bits);
  p.BitsPerPixel = std::uint8_t(p.BitsPerSample * p.SamplesPerPixel);
  p.Compression = CompressionType::cmpRLE;
  p.Flags = ImageFlags::kSwapped;
  p.FileGamma = h.Gamma();
  return true;
}

void TRLAGraphic::LoadFromStream(TStream& stream) {
  ReleaseHandle();
  base_position_ = stream.Position();
  if (!ReadProperties(stream, 0)) GraphicError(msg::kInvalidImage, {kShortName});
  stream.SetPosition(base_position_);
  StartProgress(msg::kTransfering);

  RlaHeader h;
  if (!ReadHeader(stream, h)) throw EReadError();
  TImageProperties& p = Properties();
  if (p.ColorScheme == ColorScheme::schUnknown) throw EColorConversionError(msg::kConversionImpossible);
  // Three colour channels of bytes; deeper channels are not read.
  if (h.channel_count != kColorChannels || h.channel_bits != 8)
    GraphicError(msg::kInvalidColorFormat, {kShortName});
  const bool matte = p.ColorScheme == ColorScheme::schRGBA;
  const int channels = matte ? kColorChannels + 1 : kColorChannels;
  CheckPictureSize(p.Width, p.Height);

  TColorManager& cm = ColorManager();
  cm.Configure({p.ColorScheme, 8, channels, 0},
               {matte ? ColorScheme::schBGRA : ColorScheme::schBGR, 8, channels, 0});
  // The gamma text names the gamma the pixels were corrected for, so that they show
  // as stored on a display of that gamma; they are taken as they are (FileGamma keeps
  // the text's value).

  // The row table, and enough bytes after it for every row, before the bitmap is made.
  const std::uint64_t table_size = std::uint64_t(p.Height) * 4;
  if (table_size + ShortestRow(p.Width, channels) * p.Height > stream.Remaining()) throw EReadError();
  const std::vector<std::uint8_t> table = stream.ReadBytes(std::size_t(table_size));

  SetPixelFormat(cm.TargetPixelFormat());
  SetSize(int(p.Width), int(p.Height));

  std::vector<std::vector<std::uint8_t>> rows(std::size_t(channels), std::vector<std::uint8_t>(p.Width));
  std::vector<const std::uint8_t*> pointers;
  for (const auto& row : rows) pointers.push_back(row.data());
  TRLADecoder decoder;
  for (std::uint32_t i = 0; i < p.Height; ++i) {
    const std::uint8_t* entry = &table[std::size_t(i) * 4];
    const std::uint32_t offset = std::uint32_t(entry[0]) << 24 | std::uint32_t(entry[1]) << 16 |
                                 std::uint32_t(entry[2]) << 8 | entry[3];
    stream.SetPosition(base_position_ + offset);
    for (auto& row : rows) {
      const std::vector<std::uint8_t> packed = stream.ReadBytes(stream.ReadU16BE());
      std::fill(row.begin(), row.end(), std::uint8_t(0));
      const std::uint8_t* source = packed.data();
      std::uint8_t* dest = row.data();
      decoder.Decode(source, dest, packed.size(), row.size());
    }
    const std::uint32_t y = p.BottomUp ? p.Height - 1 - i : i;
    cm.ConvertRow(pointers, ScanLine(int(y)), p.Width);
    RowProgress(i + 1, p.Height, msg::kTransfering);
  }
  // Renderers store their colours multiplied by the matte.
  if (matte) ApplyDeclaredAlpha(*this, AlphaKind::kAssociated);
  EndProgress(msg::kTransfering);
}

}  // namespace qel
