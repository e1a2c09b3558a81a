#include "import/psd/reader.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/framework/messages.h"
#include "import/psd/channels.h"
#include "import/psd/header.h"

namespace qel {

namespace {

constexpr const char* kShortName = "PSD or PDD";

// How the channels of a colour mode become bitmap pixels.
struct PsdPlan {
  ColorScheme source = ColorScheme::schUnknown;
  ColorScheme target = ColorScheme::schUnknown;
  std::uint32_t planes = 0;  // channels read, from the first
  int target_samples = 0;
  bool invert = false;  // CMYK: the file stores 0 for full ink
};

bool IsWideDepth(int depth) {
  return depth == 8 || depth == 16;
}

// The plan for a colour mode, channel count and depth; nullopt when the combination
// has no meaning (bitmap mode of 8 bits, indexed 16-bit data, 32-bit samples, ...).
std::optional<PsdPlan> PlanFor(PsdColorMode mode, int channels, int depth) {
  using enum ColorScheme;
  const auto colour = [&](ColorScheme source, std::uint32_t planes, ColorScheme target,
                          int target_samples) -> std::optional<PsdPlan> {
    if (!IsWideDepth(depth) || channels < int(planes)) return std::nullopt;
    return PsdPlan{source, target, planes, target_samples, false};
  };
  switch (mode) {
    case PsdColorMode::kBitmap:
      if (depth != 1) return std::nullopt;
      return PsdPlan{schGray, schGray, 1, 1, false};
    case PsdColorMode::kGrayscale:
    case PsdColorMode::kDuotone:
      return colour(schGray, 1, schGray, 1);
    case PsdColorMode::kIndexed:
      if (depth != 8) return std::nullopt;
      return PsdPlan{schIndexed, schIndexed, 1, 1, false};
    case PsdColorMode::kMultichannel:
      // One or two spot channels have no colours to map: the first is shown as gray.
      if (channels < 3) return colour(schGray, 1, schGray, 1);
      [[fallthrough]];
    case PsdColorMode::kRGB:
      if (channels == 3) return colour(schRGB, 3, schBGR, 3);
      return colour(schRGBA, 4, schBGRA, 4);
    case PsdColorMode::kCMYK: {
      auto plan = colour(schCMYK, 4, schBGR, 3);
      if (plan) plan->invert = true;
      return plan;
    }
    case PsdColorMode::kLab:
      return colour(schCIELab, 3, schBGR, 3);
  }
  return std::nullopt;
}

ColorScheme SchemeFor(PsdColorMode mode, int channels) {
  switch (mode) {
    case PsdColorMode::kBitmap:
    case PsdColorMode::kGrayscale:
    case PsdColorMode::kDuotone:
      return ColorScheme::schGray;
    case PsdColorMode::kIndexed:
      return ColorScheme::schIndexed;
    case PsdColorMode::kRGB:
    case PsdColorMode::kMultichannel:
      return channels == 3 ? ColorScheme::schRGB : ColorScheme::schRGBA;
    case PsdColorMode::kCMYK:
      return ColorScheme::schCMYK;
    case PsdColorMode::kLab:
      return ColorScheme::schCIELab;
  }
  return ColorScheme::schUnknown;
}

// The merged image of a file with transparency holds its colours drawn over white.
// Takes the white out again (colours as they are under the alpha, as the usual readers
// take them), clamping where a writer stored colours darker than that allows.
void RemoveWhiteMatte(TBitmap& bitmap) {
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::uint8_t* p = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x, p += 4) {
      const int a = p[3];
      if (a == 0 || a == 255) continue;
      for (int c = 0; c < 3; ++c) {
        const int straight = ((int(p[c]) - (255 - a)) * 255 + a / 2) / a;
        p[c] = std::uint8_t(std::clamp(straight, 0, 255));
      }
    }
  }
}

std::size_t RowBytes(std::uint32_t width, int depth) {
  return depth == 1 ? (std::size_t(width) + 7) / 8 : std::size_t(width) * std::size_t(depth / 8);
}

}  // namespace

const GraphicClass& TPSDGraphic::StaticClass() {
  static const GraphicClass cls("TPSDGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TPSDGraphic>);
  return cls;
}

bool TPSDGraphic::RecognizesStream(TStream& stream) const {
  if (stream.Remaining() <= kPsdHeaderSize) return false;
  std::array<std::uint8_t, kPsdHeaderSize> bytes;
  if (!PeekBytes(stream, bytes)) return false;
  PsdHeader h = ParsePsdHeader(bytes);
  for (auto& c : h.signature) c = std::uint8_t(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return h.HasSignature() && h.version == 1;
}

bool TPSDGraphic::ReadProperties(TStream& stream, int image_index) {
  TImportGraphic::ReadProperties(stream, image_index);
  const std::optional<PsdLayout> layout = ReadPsdLayout(stream);
  if (!layout) return false;
  const PsdHeader& h = layout->header;
  TImageProperties& p = Properties();
  p.Width = h.columns;
  p.Height = h.rows;
  p.ChannelCount = std::uint8_t(h.channels);
  p.SamplesPerPixel = std::uint8_t(std::min<int>(h.channels, 4));
  p.BitsPerSample = std::uint8_t(h.depth);
  p.BitsPerPixel = std::uint8_t(p.BitsPerSample * p.SamplesPerPixel);
  p.ColorScheme = SchemeFor(h.Mode(), h.channels);
  p.Flags = ImageFlags::kSwapped;
  if (h.Mode() == PsdColorMode::kBitmap) p.Flags |= ImageFlags::kMinIsWhite;
  p.Compression = layout->compression == std::uint16_t(PsdCompression::kPackBits)
                      ? CompressionType::cmpPackBits
                  : layout->compression == std::uint16_t(PsdCompression::kRaw) ? CompressionType::cmpNone
                                                                               : CompressionType::cmpLZ77;
  return true;
}

void TPSDGraphic::LoadFromStream(TStream& stream) {
  ReleaseHandle();
  base_position_ = stream.Position();
  if (!ReadProperties(stream, 0)) GraphicError(msg::kInvalidImage, {kShortName});
  stream.SetPosition(base_position_);
  StartProgress(msg::kPreparing);

  const std::optional<PsdLayout> layout = ReadPsdLayout(stream);
  if (!layout) GraphicError(msg::kInvalidImage, {kShortName});
  const PsdHeader& h = layout->header;
  const TImageProperties& p = ImageProperties();
  const std::optional<PsdPlan> plan = PlanFor(h.Mode(), h.channels, h.depth);
  if (!plan) GraphicError(msg::kInvalidColorFormat, {kShortName});
  if (layout->compression > std::uint16_t(PsdCompression::kPackBits))
    GraphicError(msg::kUnsupportedFeature, {"The compression scheme is ZIP", kShortName});
  if (p.Width == 0 || p.Height == 0) GraphicError(msg::kInvalidImage, {kShortName});
  CheckPictureSize(p.Width, p.Height);

  TColorManager& cm = ColorManager();
  std::uint8_t source_options = ColorOptions::kByteSwap;
  if (plan->source == ColorScheme::schCIELab)
    source_options |= ColorOptions::kLabByteRange | ColorOptions::kLabChromaOffset;
  cm.Configure({plan->source, h.depth, int(plan->planes), source_options},
               {plan->target, h.depth == 16 ? 8 : h.depth, plan->target_samples, 0});

  // The palette, from the colour-mode data of indexed images.
  Palette palette;
  if (plan->source == ColorScheme::schIndexed) {
    stream.SetPosition(layout->color_data_start);
    const std::vector<std::uint8_t> table = stream.ReadBytes(layout->color_data_length);
    const std::size_t count = std::min<std::size_t>(table.size() / 3, 256);
    if (count > 0) {
      const std::uint8_t* planes[3] = {table.data(), table.data() + table.size() / 3,
                                       table.data() + 2 * (table.size() / 3)};
      palette = cm.CreateColorPalette(planes, RawPaletteFormat::kPlane8Triple, count, false);
    }
  }
  if (palette.empty() && (plan->target == ColorScheme::schGray || plan->target == ColorScheme::schIndexed))
    palette = cm.CreateGrayscalePalette((p.Flags & ImageFlags::kMinIsWhite) != 0);

  // The channel data is read whole before the bitmap is made, so that a file too
  // short for its header fails before the bitmap's memory is taken.
  stream.SetPosition(layout->image_data_start);
  Progress(ProgressStage::kRunning, 0, progress_rect_, msg::kLoadingData);
  const std::size_t row_bytes = RowBytes(p.Width, h.depth);
  const PsdChannelData data =
      p.Compression == CompressionType::cmpPackBits
          ? PsdChannelData::ReadPackBits(stream, h.channels, plan->planes, p.Height, row_bytes, kShortName)
          : PsdChannelData::ReadStored(stream, plan->planes, p.Height, row_bytes);

  SetPixelFormat(cm.TargetPixelFormat());
  SetSize(int(p.Width), int(p.Height));
  SetPalette(std::move(palette));

  std::vector<std::vector<std::uint8_t>> rows(plan->planes, std::vector<std::uint8_t>(row_bytes));
  std::vector<const std::uint8_t*> pointers;
  for (const auto& row : rows) pointers.push_back(row.data());
  for (std::uint32_t y = 0; y < p.Height; ++y) {
    for (std::uint32_t plane = 0; plane < plan->planes; ++plane) {
      data.Row(plane, y, rows[plane].data());
      if (plan->invert)
        for (auto& v : rows[plane]) v = std::uint8_t(~v);
    }
    cm.ConvertRow(pointers, ScanLine(int(y)), p.Width);
    RowProgress(y + 1, p.Height, msg::kTransfering);
  }
  // The first channel after the colours of an RGB file is its transparency (the extra
  // channels of a multichannel file are inks, kept but not drawn).
  if (plan->target == ColorScheme::schBGRA && h.Mode() == PsdColorMode::kRGB) {
    RemoveWhiteMatte(*this);
    ApplyDeclaredAlpha(*this, AlphaKind::kUnassociated);
  }
  EndProgress(msg::kTransfering);
}

}  // namespace qel
