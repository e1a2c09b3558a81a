#include "import/ppm/reader.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/framework/messages.h"
#include "import/ppm/byte_reader.h"

namespace qel {

namespace {

constexpr const char* kFormatName = "PBM, PGM or PPM";
constexpr std::uint64_t kRecognitionBytes = 10;

// The six kinds of portable map, by the digit after the "P".
enum MapType {
  kPlainBitmap = 1,
  kPlainGray = 2,
  kPlainPixel = 3,
  kRawBitmap = 4,
  kRawGray = 5,
  kRawPixel = 6
};

// The largest maximum value: above 255 a raw sample takes two bytes, big-endian.
constexpr std::uint32_t kLargestMaxValue = 65535;
constexpr std::uint32_t kLargestByteMaxValue = 255;

struct MapHeader {
  int type = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t max_value = 1;  // bitmaps have none; their samples are 0 and 1 anyway

  std::size_t SampleBytes() const { return max_value > kLargestByteMaxValue ? 2 : 1; }
};

bool IsBitmap(int type) {
  return type == kPlainBitmap || type == kRawBitmap;
}
bool IsPixelMap(int type) {
  return type == kPlainPixel || type == kRawPixel;
}

// "P", the type digit and the header numbers. nullopt when the bytes are no portable
// map of a known type, a size does not fit or the maximum value is not 1 to 65535.
std::optional<MapHeader> ReadMapHeader(PPMByteReader& reader) {
  if (reader.Available() < 2 || reader.Next() != 'P') return std::nullopt;
  const std::uint8_t digit = reader.Next();
  if (digit < '1' || digit > '6') return std::nullopt;
  MapHeader header;
  header.type = digit - '0';
  const PPMByteReader::Number width = reader.ReadNumber();
  const PPMByteReader::Number height = reader.ReadNumber();
  if (width.overflow || height.overflow) return std::nullopt;
  if (!IsBitmap(header.type)) {
    const PPMByteReader::Number max_value = reader.ReadNumber();
    if (max_value.overflow || max_value.value == 0 || max_value.value > kLargestMaxValue) return std::nullopt;
    header.max_value = max_value.value;
  }
  header.width = width.value;
  header.height = height.value;
  return header;
}

// The fewest bytes that can hold the pixels: one character a bit of a plain bitmap,
// digits with one separator between them in the other plain maps, and the exact size
// of the raw maps.
std::uint64_t MinimumDataBytes(const MapHeader& h) {
  const std::uint64_t pixels = std::uint64_t(h.width) * h.height;
  if (pixels == 0) return 0;
  switch (h.type) {
    case kPlainBitmap:
      return pixels;
    case kPlainGray:
      return 2 * pixels - 1;
    case kPlainPixel:
      return 6 * pixels - 1;
    case kRawBitmap:
      return (std::uint64_t(h.width) + 7) / 8 * h.height;
    case kRawGray:
      return pixels * h.SampleBytes();
    default:
      return 3 * pixels * h.SampleBytes();
  }
}

// Stretches samples of 0..max_value to 0..255, rounding to the nearest level; a sample
// above the maximum counts as the maximum.
class SampleScale {
 public:
  explicit SampleScale(std::uint32_t max_value) : max_value_(max_value) {}
  std::uint8_t operator()(std::uint32_t v) const {
    v = std::min(v, max_value_);
    return std::uint8_t((v * 255 + max_value_ / 2) / max_value_);
  }

 private:
  std::uint32_t max_value_;
};

// Raw samples of one or two bytes (big-endian), count of them, scaled to bytes.
void ReadRawSamples(PPMByteReader& reader, std::uint8_t* out, std::size_t count, const MapHeader& h,
                    std::vector<std::uint8_t>& wide) {
  const SampleScale scale(h.max_value);
  if (h.SampleBytes() == 1) {
    reader.ReadRaw(out, count);
    if (h.max_value != kLargestByteMaxValue)
      for (std::size_t i = 0; i < count; ++i) out[i] = scale(out[i]);
    return;
  }
  wide.resize(2 * count);
  reader.ReadRaw(wide.data(), wide.size());
  for (std::size_t i = 0; i < count; ++i) out[i] = scale(std::uint32_t(wide[2 * i]) << 8 | wide[2 * i + 1]);
}

void ReadPlainBitmapRow(PPMByteReader& reader, std::uint8_t* row, std::uint32_t width) {
  std::uint8_t byte = 0;
  for (std::uint32_t x = 0; x < width; ++x) {
    byte = std::uint8_t(byte | (reader.ReadBitDigit() << (7 - (x & 7))));
    if ((x & 7) == 7 || x + 1 == width) {
      row[x >> 3] = byte;
      byte = 0;
    }
  }
}

// A plain sample: numbers too large for 32 bits count as the maximum too.
std::uint8_t ReadPlainSample(PPMByteReader& reader, const SampleScale& scale) {
  const PPMByteReader::Number n = reader.ReadNumber();
  return scale(n.overflow ? kLargestMaxValue : n.value);
}

void ReadPlainGrayRow(PPMByteReader& reader, std::uint8_t* row, std::uint32_t width, const MapHeader& h) {
  const SampleScale scale(h.max_value);
  for (std::uint32_t x = 0; x < width; ++x) row[x] = ReadPlainSample(reader, scale);
}

void ReadPlainPixelRow(PPMByteReader& reader, std::uint8_t* row, std::uint32_t width, const MapHeader& h) {
  const SampleScale scale(h.max_value);
  for (std::uint32_t x = 0; x < width; ++x) {
    const std::uint8_t red = ReadPlainSample(reader, scale);
    const std::uint8_t green = ReadPlainSample(reader, scale);
    const std::uint8_t blue = ReadPlainSample(reader, scale);
    row[3 * x] = blue;
    row[3 * x + 1] = green;
    row[3 * x + 2] = red;
  }
}

void ReadRawPixelRow(PPMByteReader& reader, std::uint8_t* row, std::uint32_t width, const MapHeader& h,
                     std::vector<std::uint8_t>& wide) {
  ReadRawSamples(reader, row, std::size_t(width) * 3, h, wide);
  for (std::uint32_t x = 0; x < width; ++x) std::swap(row[3 * x], row[3 * x + 2]);
}

}  // namespace

const GraphicClass& TPPMGraphic::StaticClass() {
  static const GraphicClass cls("TPPMGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TPPMGraphic>);
  return cls;
}

bool TPPMGraphic::RecognizesStream(TStream& stream) const {
  if (stream.Remaining() <= kRecognitionBytes) return false;
  std::uint8_t magic[2] = {0, 0};
  return PeekBytes(stream, magic) && magic[0] == 'P' && magic[1] >= '1' && magic[1] <= '6';
}

bool TPPMGraphic::ReadProperties(TStream& stream, int image_index) {
  TImportGraphic::ReadProperties(stream, image_index);
  PPMByteReader reader(stream);
  const std::optional<MapHeader> header = ReadMapHeader(reader);
  if (!header) return false;
  TImageProperties& p = Properties();
  p.Compression = CompressionType::cmpNone;
  p.Width = header->width;
  p.Height = header->height;
  if (IsBitmap(header->type)) {
    p.SamplesPerPixel = 1;
    p.BitsPerSample = 1;
    p.ColorScheme = ColorScheme::schIndexed;
  } else if (IsPixelMap(header->type)) {
    p.SamplesPerPixel = 3;
    p.BitsPerSample = 8;
    p.ColorScheme = ColorScheme::schRGB;
  } else {
    p.SamplesPerPixel = 1;
    p.BitsPerSample = 8;
    p.ColorScheme = ColorScheme::schIndexed;
  }
  p.BitsPerPixel = std::uint8_t(p.SamplesPerPixel * p.BitsPerSample);
  return true;
}

void TPPMGraphic::LoadFromStream(TStream& stream) {
  ReleaseHandle();
  base_position_ = stream.Position();
  if (!ReadProperties(stream, 0)) GraphicError(msg::kInvalidImage, {kFormatName});
  stream.SetPosition(base_position_);
  StartProgress(msg::kTransfering);

  PPMByteReader reader(stream);
  const std::optional<MapHeader> parsed = ReadMapHeader(reader);
  if (!parsed) GraphicError(msg::kInvalidImage, {kFormatName});
  const MapHeader header = *parsed;
  if (header.width == 0 || header.height == 0) GraphicError(msg::kInvalidImage, {kFormatName});
  CheckPictureSize(header.width, header.height);
  // A header that promises more pixels than the file can hold fails before the
  // bitmap is made.
  if (MinimumDataBytes(header) > reader.Available()) GraphicError(msg::kStreamReadError, {"PPM"});

  TColorManager& cm = ColorManager();
  if (IsBitmap(header.type)) {
    SetPixelFormat(TPixelFormat::pf1bit);
    cm.Configure(cm.Source(), {ColorScheme::schGray, 1, 1, 0});
    SetPalette(cm.CreateGrayscalePalette(true));
  } else if (IsPixelMap(header.type)) {
    SetPixelFormat(TPixelFormat::pf24bit);
  } else {
    SetPixelFormat(TPixelFormat::pf8bit);
    cm.Configure(cm.Source(), {ColorScheme::schGray, 8, 1, 0});
    SetPalette(cm.CreateGrayscalePalette(false));
  }
  SetSize(int(header.width), int(header.height));

  const std::uint32_t width = header.width;
  std::vector<std::uint8_t> wide;  // a row of two-byte raw samples
  for (std::uint32_t y = 0; y < header.height; ++y) {
    std::uint8_t* row = ScanLine(int(y));
    switch (header.type) {
      case kPlainBitmap:
        ReadPlainBitmapRow(reader, row, width);
        break;
      case kPlainGray:
        ReadPlainGrayRow(reader, row, width, header);
        break;
      case kPlainPixel:
        ReadPlainPixelRow(reader, row, width, header);
        break;
      case kRawBitmap:
        reader.ReadRaw(row, (std::size_t(width) + 7) / 8);
        break;
      case kRawGray:
        ReadRawSamples(reader, row, width, header, wide);
        break;
      default:
        ReadRawPixelRow(reader, row, width, header, wide);
        break;
    }
    RowProgress(y + 1, header.height, msg::kTransfering);
  }
  EndProgress(msg::kTransfering);
}

}  // namespace qel
