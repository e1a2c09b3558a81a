#include "import/png/reader.h"

#include <algorithm>
#include <cstring>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/framework/coded_size.h"
#include "import/framework/messages.h"
#include "import/png/chunks.h"
#include "import/png/filters.h"
#include "import/png/inflate.h"
#include "import/png/interlace.h"

namespace qel {

namespace {

constexpr const char* kShortName = "PNG";
// gAMA holds the gamma times 100000.
constexpr float kGammaScale = 100000.0f;
constexpr float kDisplayGamma = 2.2f;
constexpr TColor kWhite = 0xFFFFFF;

[[noreturn]] void Fail(const char* pattern) {
  throw EInvalidGraphic(FormatMessage(pattern, {kShortName}));
}

std::uint32_t BigEndian16(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 8) | p[1];
}
std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (BigEndian16(p) << 16) | BigEndian16(p + 2);
}

// A 16-bit sample narrowed the way the colour manager does it.
std::uint32_t Narrow16(std::uint32_t v) {
  return v * 255 / 65535;
}

bool IsGrayType(std::uint8_t color_type) {
  return color_type == PngColorType::kGray || color_type == PngColorType::kGrayAlpha;
}
bool IsRGBType(std::uint8_t color_type) {
  return color_type == PngColorType::kRGB || color_type == PngColorType::kRGBA;
}

// The palette entry nearest to a colour (squared distance over the three channels).
std::uint32_t NearestEntry(const Palette& palette, TColor color) {
  std::uint32_t best = 0;
  int best_distance = 1 << 30;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const int dr = int(palette[i].red) - RedOf(color);
    const int dg = int(palette[i].green) - GreenOf(color);
    const int db = int(palette[i].blue) - BlueOf(color);
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {
      best_distance = distance;
      best = std::uint32_t(i);
    }
  }
  return best;
}

// Fills every row of the bitmap with one palette index (formats up to 8 bits) or one
// colour (24 and 32 bits; the fourth byte opaque).
void FillBitmap(TBitmap& bitmap, std::uint32_t index, TColor color) {
  std::vector<std::uint8_t> row(bitmap.RowSize());
  switch (PixelFormatBits(bitmap.PixelFormat())) {
    case 1:
      std::fill(row.begin(), row.end(), (index & 1) ? 0xFF : 0x00);
      break;
    case 4:
      std::fill(row.begin(), row.end(), std::uint8_t((index & 0x0F) * 0x11));
      break;
    case 8:
      std::fill(row.begin(), row.end(), std::uint8_t(index));
      break;
    case 24:
    case 32: {
      const std::size_t step = bitmap.PixelFormat() == TPixelFormat::pf32bit ? 4 : 3;
      for (std::size_t x = 0; x + step <= row.size(); x += step) {
        row[x] = BlueOf(color);
        row[x + 1] = GreenOf(color);
        row[x + 2] = RedOf(color);
        if (step == 4) row[x + 3] = 0xFF;
      }
      break;
    }
    default:
      return;
  }
  for (int y = 0; y < bitmap.Height(); ++y) std::memcpy(bitmap.ScanLine(y), row.data(), row.size());
}

}  // namespace

const GraphicClass& TPNGGraphic::StaticClass() {
  static const GraphicClass cls("TPNGGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TPNGGraphic>);
  return cls;
}

bool TPNGGraphic::RecognizesStream(TStream& stream) const {
  try {
    if (stream.Remaining() <= kPngSignature.size()) return false;
    std::array<std::uint8_t, kPngSignature.size()> signature{};
    return PeekBytes(stream, signature) && signature == kPngSignature;
  } catch (const Error&) {
    return false;
  }
}

bool TPNGGraphic::ReadProperties(TStream& stream, int image_index) {
  TImportGraphic::ReadProperties(stream, image_index);
  std::array<std::uint8_t, kPngSignature.size()> signature{};
  if (stream.Read(signature.data(), signature.size()) != signature.size() || signature != kPngSignature) {
    return false;
  }
  PngChunkReader chunks(stream);
  if (!chunks.TryReadHeader() || !chunks.Type().Is("IHDR") || chunks.Length() != kPngHeaderLength)
    return false;
  const std::vector<std::uint8_t> data = chunks.ReadData();
  const PngHeader h =
      ParsePngHeader(std::span<const std::uint8_t, kPngHeaderLength>(data.data(), kPngHeaderLength));
  if (h.width == 0 || h.height == 0) return false;

  TImageProperties& p = Properties();
  p.Flags = ImageFlags::kSwapped;
  p.Width = h.width;
  p.Height = h.height;
  p.Compression = h.compression_method == 0 ? CompressionType::cmpLZ77 : CompressionType::cmpUnknown;
  p.BitsPerSample = h.bit_depth;
  p.SamplesPerPixel = std::uint8_t(PngSamplesPerPixel(h.color_type));
  p.ColorScheme = PngColorScheme(h.color_type);
  p.BitsPerPixel = std::uint8_t(p.BitsPerSample * p.SamplesPerPixel);
  p.PngFilterMethod = h.filter_method;
  p.Interlaced = h.Interlaced();
  p.HasAlpha = p.ColorScheme == ColorScheme::schGrayAlpha || p.ColorScheme == ColorScheme::schRGBA;

  // The file's gamma, when a gAMA chunk comes before the end. A damaged chunk on the
  // way leaves it at 1.0; loading reports the damage.
  try {
    while (chunks.TryReadHeader()) {
      if (chunks.Type().Is("gAMA")) {
        const std::vector<std::uint8_t> gamma = chunks.ReadData();
        if (gamma.size() == 4) p.FileGamma = float(BigEndian32(gamma.data())) / kGammaScale;
        break;
      }
      if (chunks.Type().Is("IEND")) break;
      chunks.Skip();
    }
  } catch (const Error&) {
  }
  return true;
}

void TPNGGraphic::LoadFromStream(TStream& stream) {
  ReleaseHandle();
  base_position_ = stream.Position();
  try {
    LoadChunks(stream);
  } catch (const EReadError&) {
    Fail(msg::kStreamReadError);
  }
}

void TPNGGraphic::LoadChunks(TStream& stream) {
  if (!ReadProperties(stream, 0)) Fail(msg::kInvalidImage);
  stream.SetPosition(base_position_ + kPngSignature.size());
  StartProgress(msg::kPreparing);
  ResetImageState();

  PngChunkReader chunks(stream);
  chunks.ReadHeader();
  const std::vector<std::uint8_t> ihdr = chunks.ReadData();
  if (!chunks.Type().Is("IHDR") || ihdr.size() != kPngHeaderLength) Fail(msg::kInvalidImage);
  header_ = ParsePngHeader(std::span<const std::uint8_t, kPngHeaderLength>(ihdr.data(), kPngHeaderLength));
  if (header_.compression_method != 0) {
    GraphicError(msg::kUnsupportedFeature, {msg::kCompressionScheme, kShortName});
  }
  // Only filter method 0 (the five row filters) and interlace methods 0 and 1 exist.
  if (header_.filter_method != 0 || header_.interlace_method > 1) Fail(msg::kInvalidImage);
  SetUpColorManager();

  chunks.ReadHeader();
  for (;;) {
    const PngChunkType type = chunks.Type();
    if (type.Is("IDAT")) {
      if (!image_decoded_) {
        // Takes every consecutive IDAT chunk and leaves the header of the next chunk read.
        DecodeImage(chunks);
        if (data_cut_) break;  // the file ended inside the image data
        continue;
      }
      chunks.SkipChecked();
    } else if (type.Is("IEND")) {
      chunks.Skip();
      break;
    } else if (type.Is("PLTE")) {
      ReadPalette(chunks);
    } else if (type.Is("gAMA")) {
      ReadGamma(chunks);
    } else if (type.Is("bKGD")) {
      background_samples_ = ReadSamples(chunks);
    } else if (type.Is("tRNS")) {
      ReadTransparency(chunks);
    } else if (type.IsCritical()) {
      throw EInvalidGraphic(msg::kUnknownCriticalChunk);
    } else {
      chunks.Skip();
    }
    chunks.ReadHeader();
  }
  // A file that ends without image data has nothing to show.
  if (!image_decoded_) Fail(msg::kInvalidImage);
  EndProgress(msg::kTransfering);
}

void TPNGGraphic::ResetImageState() {
  raw_palette_.clear();
  transparency_.fill(255);
  background_samples_.reset();
  transparent_samples_.reset();
  background_ = kWhite;
  image_decoded_ = false;
  data_cut_ = false;
}

void TPNGGraphic::SetUpColorManager() {
  const std::optional<PngPixelLayout> layout = PngLayoutFor(header_.color_type, header_.bit_depth);
  if (!layout) Fail(msg::kInvalidColorFormat);
  layout_ = *layout;
  ColorManager().Configure(
      {layout_.source_scheme, header_.bit_depth, layout_.source_samples, ColorOptions::kByteSwap},
      {layout_.target_scheme, layout_.target_bits, layout_.target_samples, 0});
}

void TPNGGraphic::ReadPalette(PngChunkReader& chunks) {
  // One to 256 red, green, blue triples.
  const std::uint32_t length = chunks.Length();
  if (length % 3 != 0 || length == 0 || length > 256 * 3) Fail(msg::kInvalidPalette);
  std::vector<std::uint8_t> data = chunks.ReadData();
  if (header_.color_type == PngColorType::kPalette) raw_palette_ = std::move(data);
}

void TPNGGraphic::ReadGamma(PngChunkReader& chunks) {
  const std::vector<std::uint8_t> data = chunks.ReadData();
  if (data.size() != 4) return;
  const float gamma = float(BigEndian32(data.data())) / kGammaScale;
  Properties().FileGamma = gamma;
  Properties().Flags |= ImageFlags::kUseGamma;
  TColorManager& cm = ColorManager();
  cm.SetGamma(gamma, kDisplayGamma);
  ColorLayout target = cm.Target();
  target.options |= ColorOptions::kApplyGamma;
  cm.Configure(cm.Source(), target);
}

std::optional<TPNGGraphic::Samples> TPNGGraphic::ReadSamples(PngChunkReader& chunks) const {
  const std::vector<std::uint8_t> data = chunks.ReadData();
  if (header_.color_type == PngColorType::kPalette && data.size() >= 1) return Samples{data[0], 0, 0};
  if (IsGrayType(header_.color_type) && data.size() >= 2) return Samples{BigEndian16(data.data()), 0, 0};
  if (IsRGBType(header_.color_type) && data.size() >= 6) {
    return Samples{BigEndian16(data.data()), BigEndian16(data.data() + 2), BigEndian16(data.data() + 4)};
  }
  return std::nullopt;  // a chunk too short for the colour type is ignored
}

void TPNGGraphic::ReadTransparency(PngChunkReader& chunks) {
  switch (header_.color_type) {
    case PngColorType::kPalette: {
      const std::vector<std::uint8_t> data = chunks.ReadData();
      std::copy_n(data.begin(), std::min(data.size(), transparency_.size()), transparency_.begin());
      break;
    }
    case PngColorType::kGray:
    case PngColorType::kRGB:
      transparent_samples_ = ReadSamples(chunks);
      break;
    default:
      chunks.SkipChecked();  // images with an alpha channel have no use for it
  }
}

std::uint32_t TPNGGraphic::TargetIndex(std::uint32_t sample) const {
  if (header_.bit_depth == 16) return Narrow16(sample);
  const std::uint32_t source_top = (1u << header_.bit_depth) - 1;
  const std::uint32_t target_top = (1u << layout_.target_bits) - 1;
  return sample * target_top / source_top;
}

TColor TPNGGraphic::DrawnColor(const Samples& samples) {
  const std::uint32_t top = header_.bit_depth == 16 ? 0xFFFF : (1u << header_.bit_depth) - 1;
  const int channels = IsRGBType(header_.color_type) ? 3 : 1;
  for (int c = 0; c < channels; ++c) {
    if (samples[std::size_t(c)] > top) return kNoColor;
  }
  if (IsRGBType(header_.color_type)) {
    TColorManager& cm = ColorManager();
    const bool gamma = (cm.TargetOptions() & ColorOptions::kApplyGamma) != 0;
    std::uint8_t rgb[3];
    for (std::size_t c = 0; c < 3; ++c) {
      const std::uint32_t v = header_.bit_depth == 16 ? Narrow16(samples[c]) : samples[c];
      rgb[c] = gamma ? cm.GammaTable()[v] : std::uint8_t(v);
    }
    return RGBColor(rgb[0], rgb[1], rgb[2]);
  }
  const std::uint32_t index = TargetIndex(samples[0]);
  if (index >= PaletteRef().size()) return kNoColor;
  const PaletteEntry& entry = PaletteRef()[index];
  return RGBColor(entry.red, entry.green, entry.blue);
}

void TPNGGraphic::MakeBitmap() {
  CheckPictureSize(header_.width, header_.height);
  TColorManager& cm = ColorManager();
  Palette palette;
  if (layout_.gray_palette) {
    palette = cm.CreateGrayscalePalette(false);
  } else if (header_.color_type == PngColorType::kPalette) {
    // A palette image cannot be shown without its palette.
    if (raw_palette_.empty()) Fail(msg::kInvalidPalette);
    const std::uint8_t* data[1] = {raw_palette_.data()};
    palette =
        cm.CreateColorPalette(data, RawPaletteFormat::kInterlaced8Triple, raw_palette_.size() / 3, false);
  }
  SetPixelFormat(cm.TargetPixelFormat());
  SetSize(int(header_.width), int(header_.height));
  SetPalette(std::move(palette));
  FillBackground();
  if (transparent_samples_) {
    const TColor color = DrawnColor(*transparent_samples_);
    if (color != kNoColor) {
      SetTransparentColor(color);
      SetTransparent(true);
    }
  }
}

void TPNGGraphic::FillBackground() {
  // Only rows that are never decoded would show it.
  std::uint32_t index = 0;
  if (background_samples_) {
    if (header_.color_type == PngColorType::kPalette) {
      index = TargetIndex((*background_samples_)[0]);
      if (index < PaletteRef().size()) {
        const PaletteEntry& entry = PaletteRef()[index];
        background_ = RGBColor(entry.red, entry.green, entry.blue);
      }
    } else {
      const TColor color = DrawnColor(*background_samples_);
      if (color != kNoColor) background_ = color;
      if (IsGrayType(header_.color_type)) index = TargetIndex((*background_samples_)[0]);
    }
  }
  if (!background_samples_ || (IsGrayType(header_.color_type) && index >= PaletteRef().size())) {
    index = NearestEntry(PaletteRef(), background_);
  }
  FillBitmap(*this, index, background_);
}

void TPNGGraphic::DecodeImage(PngChunkReader& chunks) {
  // The rows as stored (a filter byte each) must come out of what is left of the file;
  // a header the data cannot fill is refused before the bitmap is allocated.
  const std::uint64_t stored_row = 1 + layout_.RowBytes(header_.width, header_.bit_depth);
  CheckCodedBytes(kShortName, header_.width, header_.height, stored_row * header_.height,
                  chunks.StreamRemaining(), kDeflateBytesPerByte);
  MakeBitmap();
  StartProgress(msg::kTransfering);
  TColorManager& cm = ColorManager();
  const std::uint32_t width = header_.width;
  const std::uint32_t height = header_.height;
  const int depth = header_.bit_depth;
  const std::size_t bytes_per_pixel = PngPixelLayout::FilterBytesPerPixel(depth, layout_.source_samples);
  const std::size_t full_row = layout_.RowBytes(width, depth);
  // Each buffer holds the filter-type byte and one row of the file.
  std::vector<std::uint8_t> current(full_row + 1), previous(full_row + 1);

  PngDataInflater inflater(chunks);
  std::uint64_t rows_done = 0;
  // False when the image data ends before the row is there.
  const auto decode_row = [&](std::size_t row_bytes, std::uint32_t y, std::uint8_t mask) {
    const std::span<std::uint8_t> row(current.data(), row_bytes + 1);
    if (!inflater.Inflate(row)) return false;
    const std::span<const std::uint8_t> above(previous.data() + 1, row_bytes);
    if (!UnfilterPngRow(row[0], row.subspan(1), above, bytes_per_pixel)) Fail(msg::kImageCompression);
    cm.ConvertRow(row.data() + 1, ScanLine(int(y)), width, mask);
    std::swap(current, previous);
    ++rows_done;
    return true;
  };

  bool complete = true;
  if (!header_.Interlaced()) {
    for (std::uint32_t y = 0; y < height && complete; ++y) {
      complete = decode_row(full_row, y, 0xFF);
      RowProgress(y + 1, height, msg::kTransfering);
    }
  } else {
    for (std::size_t pass = 0; pass < kAdam7Passes.size() && complete; ++pass) {
      const Adam7Pass& p = kAdam7Passes[pass];
      const std::uint32_t columns = p.ColumnsIn(width);
      if (columns == 0) continue;
      const std::size_t row_bytes = layout_.RowBytes(columns, depth);
      std::fill_n(previous.begin(), row_bytes + 1, 0);  // the first row of a pass has nothing above
      const bool last_pass = pass + 1 == kAdam7Passes.size();
      for (std::uint32_t y = p.start_row; y < height && complete; y += p.row_step) {
        complete = decode_row(row_bytes, y, p.mask);
        if (last_pass) RowProgress(y + 1, height, msg::kTransfering);
      }
    }
  }
  image_decoded_ = true;
  if (complete) {
    inflater.Finish();
    return;
  }
  // The image data ends early: the rows decoded so far are the picture, the rest shows
  // the background, if there is a row at all.
  if (rows_done == 0) Fail(inflater.DataCut() ? msg::kStreamReadError : msg::kImageCompression);
  data_cut_ = inflater.DataCut();
  Warning(FormatMessage(msg::kImageCutShort, {kShortName}));
}

}  // namespace qel
