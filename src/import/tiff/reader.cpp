#include "import/tiff/reader.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <span>
#include <string>

#include "imaging/errors.h"
#include "imaging/picture.h"
#include "imaging/stream.h"
#include "import/color/manager.h"
#include "import/framework/coded_size.h"
#include "import/framework/messages.h"
#include "import/tiff/rows.h"
#include "import/tiff/strips.h"

namespace qel {

namespace {

constexpr std::uint32_t kSeparatePlanes = 2;
constexpr std::uint32_t kHorizontalDifferencing = 2;
constexpr std::uint32_t kResolutionCentimetre = 3;
constexpr std::uint32_t kFillOrderReversed = 2;

// ExtraSamples values that declare alpha.
constexpr std::uint32_t kAssociatedAlpha = 1;
constexpr std::uint32_t kUnassociatedAlpha = 2;

// SampleFormat values.
constexpr std::uint32_t kSampleUnsigned = 1;
constexpr std::uint32_t kSampleSigned = 2;
constexpr std::uint32_t kSampleFloat = 3;
constexpr std::uint32_t kSampleVoid = 4;

ColorScheme SchemeFromPhotometric(std::uint32_t photometric, std::uint32_t samples) {
  switch (photometric) {
    case 0:
    case 1:
      return ColorScheme::schGray;
    case 2:
      return samples < 4 ? ColorScheme::schRGB : ColorScheme::schRGBA;
    case 3:
      return ColorScheme::schIndexed;
    case 5:
      return ColorScheme::schCMYK;
    case 6:
      return ColorScheme::schYCbCr;
    case 8:
      return ColorScheme::schCIELab;
    default:
      return ColorScheme::schUnknown;  // 4 (transparency mask), 7 and above 8
  }
}

bool IsOneSampleScheme(ColorScheme scheme) {
  return scheme == ColorScheme::schIndexed || scheme == ColorScheme::schGray;
}

// The bitmap depth for indices and gray levels of a file depth: the bitmap formats are
// 1, 4 and 8 bits, and 16-bit samples are cut to 8.
int OneSampleTargetBits(int bits) {
  if (bits == 1 || bits == 4 || bits == 8) return bits;
  if (bits == 2) return 4;
  return 8;
}

[[noreturn]] void Unsupported(const std::string& feature) {
  throw EInvalidGraphic(FormatMessage(msg::kUnsupportedFeature, {feature, TTIFFGraphic::kFormatName}));
}
[[noreturn]] void InvalidImage() {
  throw EInvalidGraphic(FormatMessage(msg::kInvalidImage, {TTIFFGraphic::kFormatName}));
}
[[noreturn]] void InvalidColorFormat() {
  throw EInvalidGraphic(FormatMessage(msg::kInvalidColorFormat, {TTIFFGraphic::kFormatName}));
}

// Ends the running progress stage on every way out of a load.
class ProgressEnd {
 public:
  explicit ProgressEnd(std::function<void()> end) : end_(std::move(end)) {}
  ~ProgressEnd() {
    try {
      end_();
    } catch (...) {  // an observer's failure must not replace the load's own outcome
    }
  }
  ProgressEnd(const ProgressEnd&) = delete;
  ProgressEnd& operator=(const ProgressEnd&) = delete;

 private:
  std::function<void()> end_;
};

}  // namespace

const GraphicClass& TTIFFGraphic::StaticClass() {
  static const GraphicClass cls("TTIFFGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TTIFFGraphic>);
  return cls;
}

bool TTIFFGraphic::RecognizesStream(TStream& stream) const {
  const std::uint64_t start = stream.Position();
  bool ok = false;
  try {
    if (stream.Remaining() > tiff::kHeaderSize) {
      tiff::TIFFHeader header;
      ok = tiff::ReadTIFFHeader(stream, header) && header.version == tiff::kClassicVersion &&
           header.first_ifd >= tiff::kHeaderSize && start + header.first_ifd < stream.Size();
    }
  } catch (const Error&) {
    ok = false;
  }
  stream.SetPosition(start);
  return ok;
}

bool TTIFFGraphic::ReadProperties(TStream& stream, int image_index) {
  TImportGraphic::ReadProperties(stream, image_index);
  bool ok = false;
  try {
    ok = ReadTIFFProperties(stream, image_index);
  } catch (const Error&) {
    ok = false;
  }
  if (!ok) {
    // Nothing of a header that failed half way stays behind.
    TImportGraphic::ReadProperties(stream, image_index);
    directory_ = tiff::TTIFFDirectory{};
    ycbcr_coefficients_ = {0.299f, 0.587f, 0.114f};
    ycbcr_positioning_ = 1;
  }
  return ok;
}

bool TTIFFGraphic::ReadTIFFProperties(TStream& stream, int image_index) {
  TImageProperties& p = Properties();
  const std::uint64_t base = stream.Position();
  tiff::TIFFHeader header;
  if (image_index < 0 || !tiff::ReadTIFFHeader(stream, header) || header.version != tiff::kClassicVersion)
    return false;
  p.FormatVersion = header.version;
  p.FirstIFD = header.first_ifd;
  if (header.big_endian) p.Flags |= ImageFlags::kSwapped;

  std::uint32_t offset = header.first_ifd;
  for (int i = 0; i < image_index; ++i) {
    if (!directory_.Read(stream, base, offset, header.big_endian)) return false;
    offset = directory_.NextOffset();
  }
  if (!directory_.Read(stream, base, offset, header.big_endian)) return false;
  const tiff::TTIFFDirectory& dir = directory_;

  p.Width = dir.TagValue(tiff::Tag::kImageWidth, 0);
  p.Height = dir.TagValue(tiff::Tag::kImageLength, 0);
  if (p.Width == 0 || p.Height == 0) return false;

  const std::vector<std::uint32_t> rows_per_strip = dir.TagArray(stream, tiff::Tag::kRowsPerStrip);
  if (rows_per_strip.empty() || rows_per_strip[0] == 0xFFFFFFFFu || rows_per_strip[0] == 0)
    p.RowsPerStrip = {p.Height};
  else
    p.RowsPerStrip = rows_per_strip;

  const std::uint32_t samples = dir.TagValue(tiff::Tag::kSamplesPerPixel, 1);
  const std::vector<std::uint32_t> bits = dir.TagArray(stream, tiff::Tag::kBitsPerSample);
  const std::uint32_t bits_per_sample = bits.empty() ? 1 : bits[0];
  if (samples == 0 || samples > 255 || bits_per_sample == 0 || bits_per_sample > 255) return false;
  p.SamplesPerPixel = std::uint8_t(samples);
  p.BitsPerSample = std::uint8_t(bits_per_sample);
  p.BitsPerPixel = std::uint8_t(std::min<std::uint32_t>(samples * bits_per_sample, 255));

  p.TileWidth = dir.TagValue(tiff::Tag::kTileWidth, 0);
  p.TileLength = dir.TagValue(tiff::Tag::kTileLength, 0);
  if (p.TileWidth != 0 && p.TileLength != 0) p.Flags |= ImageFlags::kTiled;

  if (dir.Has(tiff::Tag::kExtraSamples)) {
    const std::vector<std::uint32_t> extra = dir.TagArray(stream, tiff::Tag::kExtraSamples);
    p.HasAlpha = std::none_of(extra.begin(), extra.end(), [](std::uint32_t v) { return v > 2; });
  }

  p.Compression = tiff::CompressionFromTag(dir.TagValue(tiff::Tag::kCompression, 1));
  // Without the tag, one sample is gray and three or more are RGB.
  const std::uint32_t photometric = dir.TagValue(tiff::Tag::kPhotometric, samples >= 3 ? 2 : 1);
  p.ColorScheme = SchemeFromPhotometric(photometric, samples);
  if (photometric == 0) p.Flags |= ImageFlags::kMinIsWhite;

  if (p.ColorScheme == ColorScheme::schYCbCr) {
    const std::vector<std::uint32_t> sub = dir.TagArray(stream, tiff::Tag::kYCbCrSubSampling);
    p.YCbCrSubSampling = sub.size() >= 2
                             ? std::vector<std::uint8_t>{std::uint8_t(std::min<std::uint32_t>(sub[0], 255)),
                                                         std::uint8_t(std::min<std::uint32_t>(sub[1], 255))}
                             : std::vector<std::uint8_t>{2, 2};
    ycbcr_positioning_ = dir.TagValue(tiff::Tag::kYCbCrPositioning, 1);
    const std::vector<float> coefficients = dir.TagFloats(stream, tiff::Tag::kYCbCrCoefficients);
    const bool usable =
        coefficients.size() >= 3 && std::all_of(coefficients.begin(), coefficients.begin() + 3,
                                                [](float c) { return std::isfinite(c) && c > 0; });
    ycbcr_coefficients_ = usable ? std::array<float, 3>{coefficients[0], coefficients[1], coefficients[2]}
                                 : std::array<float, 3>{0.299f, 0.587f, 0.114f};
  }

  p.JPEGColorMode = 0;
  p.JPEGTablesMode = 3;
  p.PlanarConfig = dir.TagValue(tiff::Tag::kPlanarConfig, 0);
  const float scale = dir.TagValue(tiff::Tag::kResolutionUnit, 2) == kResolutionCentimetre ? 2.54f : 1.0f;
  p.XResolution = dir.TagFloat(stream, tiff::Tag::kXResolution, 0) * scale;
  p.YResolution = dir.TagFloat(stream, tiff::Tag::kYResolution, 0) * scale;
  p.Predictor = dir.TagValue(tiff::Tag::kPredictor, 0);
  if (dir.TagValue(tiff::Tag::kFillOrder, 1) == kFillOrderReversed) p.Flags |= ImageFlags::kReversedBits;
  return true;
}

TTIFFGraphic::RowPlan TTIFFGraphic::PlanRows(TStream& stream) {
  const TImageProperties& p = Properties();
  RowPlan plan;
  plan.bits = p.BitsPerSample;
  plan.samples = p.SamplesPerPixel;
  plan.planar = p.PlanarConfig == kSeparatePlanes && plan.samples > 1;

  const std::vector<std::uint32_t> formats = directory_.TagArray(stream, tiff::Tag::kSampleFormat);
  const std::uint32_t format = formats.empty() ? kSampleUnsigned : formats[0];
  if (format == kSampleSigned) Unsupported("Signed integer samples are");
  if (format == kSampleFloat) Unsupported("Floating-point samples are");
  if (format != kSampleUnsigned && format != kSampleVoid) Unsupported("This sample format is");

  const ColorScheme scheme = p.ColorScheme;
  plan.channels = SchemeChannels(scheme);
  if (plan.channels == 0 || plan.samples < plan.channels || plan.samples > tiff::kMaxSamplesPerPixel)
    InvalidColorFormat();
  if (plan.bits > 16) throw EColorConversionError(msg::kInvalidColorDepth);
  const bool one_sample = IsOneSampleScheme(scheme);
  if (one_sample ? (plan.bits > 8 && plan.bits != 16) : (plan.bits != 8 && plan.bits != 16)) {
    if (one_sample) throw EColorConversionError(msg::kInvalidColorDepth);
    InvalidColorFormat();
  }

  const CompressionType compression = p.Compression;
  switch (compression) {
    case CompressionType::cmpCCITTHuffman:
    case CompressionType::cmpCCITTHuffmanW:
    case CompressionType::cmpCCITTFax3:
    case CompressionType::cmpCCITTFax4:
      if (plan.bits != 1 || plan.samples != 1) InvalidColorFormat();
      break;
    case CompressionType::cmpThunderscan:
      if (plan.bits != 4 || plan.samples != 1) InvalidColorFormat();
      break;
    default:
      break;
  }

  // Three-component JPEG data comes out of the decoder as blue, green, red.
  const bool jpeg_bgr = compression == CompressionType::cmpJPEG && !plan.planar && plan.samples == 3 &&
                        (scheme == ColorScheme::schRGB || scheme == ColorScheme::schYCbCr);
  plan.source_scheme = jpeg_bgr ? ColorScheme::schBGR : scheme;
  plan.cm_channels = plan.channels;
  PlanAlpha(stream, plan);
  plan.keep_leading = !plan.planar && plan.samples > plan.channels;
  if (plan.keep_leading && plan.bits < 8) InvalidColorFormat();

  if (scheme == ColorScheme::schYCbCr && p.YCbCrSubSampling.size() >= 2) {
    const int h = p.YCbCrSubSampling[0];
    const int v = p.YCbCrSubSampling[1];
    // Validates the subsampling with the colour manager's own rules (1, 2 or 4; v <= h).
    ColorManager().SetYCbCrParameters(ycbcr_coefficients_, h, v);
    if (h * v > 1) {
      if (plan.planar) Unsupported("Subsampled YCbCr in separate planes is");
      if (!jpeg_bgr) {
        if (plan.bits != 8 || plan.samples != 3) InvalidColorFormat();
        plan.ycbcr_h = h;
        plan.ycbcr_v = v;
      }
    }
  }

  const bool predicting = compression == CompressionType::cmpLZW || compression == CompressionType::cmpLZ77;
  if (predicting && p.Predictor == kHorizontalDifferencing) {
    if (plan.bits != 8 && plan.bits != 16)
      Unsupported("Horizontal differencing of " + std::to_string(plan.bits) + "-bit samples is");
    plan.differencing = plan.ycbcr_h * plan.ycbcr_v == 1;
  } else if (predicting && p.Predictor > kHorizontalDifferencing) {
    Unsupported("Predictor " + std::to_string(p.Predictor) + " is");
  }

  if (one_sample && !plan.gray_alpha) {
    plan.target_scheme = scheme;
    plan.target_bits = OneSampleTargetBits(plan.bits);
  } else {
    plan.target_scheme =
        plan.source_scheme == ColorScheme::schRGBA ? ColorScheme::schBGRA : ColorScheme::schBGR;
    plan.target_bits = 8;
  }

  const std::uint64_t samples_in_line = plan.planar ? 1 : std::uint64_t(plan.samples);
  plan.line_bytes = (samples_in_line * std::uint64_t(plan.bits) * p.Width + 7) / 8;
  return plan;
}

void TTIFFGraphic::PlanAlpha(TStream& stream, RowPlan& plan) {
  const std::vector<std::uint32_t> extra = directory_.TagArray(stream, tiff::Tag::kExtraSamples);
  // An extra sample of unspecified meaning (0) is no alpha: such a picture stays opaque
  // whatever the sample holds.
  if (extra.empty() || (extra[0] != kAssociatedAlpha && extra[0] != kUnassociatedAlpha)) return;
  const AlphaKind kind = extra[0] == kAssociatedAlpha ? AlphaKind::kAssociated : AlphaKind::kUnassociated;
  if (plan.source_scheme == ColorScheme::schRGBA) {
    plan.alpha = kind;
  } else if (plan.source_scheme == ColorScheme::schGray && plan.samples >= 2 && plan.bits >= 8) {
    // Gray and alpha go to the colour manager as red, green, blue and alpha.
    plan.alpha = kind;
    plan.gray_alpha = true;
    plan.channels = 2;
    plan.cm_channels = 4;
    plan.source_scheme = ColorScheme::schRGBA;
  }
}

void TTIFFGraphic::ConfigureColorManager(const RowPlan& plan) {
  const TImageProperties& p = Properties();
  TColorManager& cm = ColorManager();
  std::uint8_t source_options = (p.Flags & ImageFlags::kSwapped) ? ColorOptions::kByteSwap : 0;
  if (plan.source_scheme == ColorScheme::schCIELab) source_options |= ColorOptions::kLabByteRange;
  cm.Configure({plan.source_scheme, plan.bits, plan.cm_channels, source_options},
               {plan.target_scheme, plan.target_bits, SchemeChannels(plan.target_scheme), 0});
}

void TTIFFGraphic::CreatePalette(TStream& stream, const RowPlan& plan) {
  TColorManager& cm = ColorManager();
  if (plan.target_scheme == ColorScheme::schGray) {
    SetPalette(cm.CreateGrayscalePalette((Properties().Flags & ImageFlags::kMinIsWhite) != 0));
    return;
  }
  if (plan.target_scheme != ColorScheme::schIndexed) return;

  const std::vector<std::uint32_t> map = directory_.TagArray(stream, tiff::Tag::kColorMap);
  const std::size_t colors = map.size() / 3;
  if (colors == 0) InvalidColorFormat();
  // Three planes (red, green, blue) of 16-bit values in the byte order the colour
  // manager reads the file's samples in: big-endian when it swaps, little-endian else.
  const bool big_endian = (cm.SourceOptions() & ColorOptions::kByteSwap) != 0;
  std::vector<std::uint8_t> planes(colors * 3 * 2);
  for (std::size_t i = 0; i < colors * 3; ++i) {
    const std::uint8_t high = std::uint8_t(map[i] >> 8), low = std::uint8_t(map[i]);
    planes[2 * i] = big_endian ? high : low;
    planes[2 * i + 1] = big_endian ? low : high;
  }
  const std::uint8_t* pointers[3] = {planes.data(), planes.data() + colors * 2, planes.data() + colors * 4};
  Palette palette = cm.CreateColorPalette(pointers, RawPaletteFormat::kPlane16Triple, colors, false);
  SetPalette(std::move(palette));
}

void TTIFFGraphic::LoadFromStream(TStream& stream) {
  ReleaseHandle();
  base_position_ = stream.Position();
  if (!TTIFFGraphic::ReadProperties(stream, 0)) {
    stream.SetPosition(base_position_);
    tiff::TIFFHeader header;
    if (tiff::ReadTIFFHeader(stream, header) && header.version == tiff::kBigTIFFVersion)
      Unsupported("The BigTIFF layout is");
    InvalidImage();
  }
  stream.SetPosition(base_position_);
  TImageProperties& p = Properties();
  const bool tiled = (p.Flags & ImageFlags::kTiled) != 0;

  const char* stage = msg::kPreparing;
  ProgressEnd end([&] { EndProgress(stage); });
  StartProgress(stage);

  const std::unique_ptr<TDecoder> decoder =
      tiff::MakeStripDecoder(p, tiled ? p.TileWidth : p.Width, directory_.TagValue(tiff::Tag::kT4Options, 0),
                             [this](std::string_view text) { Warning(text); });
  const RowPlan plan = PlanRows(stream);
  ConfigureColorManager(plan);
  CheckCodedData(stream, plan);
  tiff::StripTable table = tiled ? ReadTileTable(stream, plan) : ReadStripTable(stream, plan);
  SetPixelFormat(ColorManager().TargetPixelFormat());
  SetSize(int(p.Width), int(p.Height));
  CreatePalette(stream, plan);

  p.BytesPerLine = std::uint32_t(plan.line_bytes);
  if (p.Compression == CompressionType::cmpJPEG)
    p.JPEGTables = directory_.TagBytes(stream, tiff::Tag::kJPEGTables);
  if (decoder) decoder->DecodeInit();

  EndProgress(stage);
  stage = msg::kTransfering;
  StartProgress(stage);
  if (tiled)
    TransferTiles(stream, plan, std::move(table), decoder.get());
  else
    TransferStrips(stream, plan, std::move(table), decoder.get());
  if (decoder) decoder->DecodeEnd();
  // Rows are stored as the file's orientation says; the picture shows them upright.
  ApplyOrientation(int(directory_.TagValue(tiff::Tag::kOrientation, 1)));
  if (plan.alpha) ApplyDeclaredAlpha(*this, *plan.alpha);
}

void TTIFFGraphic::CheckCodedData(TStream& stream, const RowPlan& plan) {
  const TImageProperties& p = ImageProperties();
  // Strips may share their bytes and compressed rows may be very short, but a few bytes
  // do not make a large picture. Fax coding gives a blank row a bit whatever its width.
  const bool fax = p.Compression == CompressionType::cmpCCITTHuffman ||
                   p.Compression == CompressionType::cmpCCITTHuffmanW ||
                   p.Compression == CompressionType::cmpCCITTFax3 ||
                   p.Compression == CompressionType::cmpCCITTFax4;
  const bool jpeg = p.Compression == CompressionType::cmpJPEG || p.Compression == CompressionType::cmpOldJPEG;
  const std::uint64_t per_byte = fax    ? kFaxBytesPerByte
                                 : jpeg ? 3 * kJpegPixelsPerByte
                                        : kSkippingCodeBytesPerByte;
  const std::uint64_t available = stream.Size() - std::min(stream.Size(), base_position_);
  const std::uint64_t planes = std::uint64_t(plan.Planes());
  CheckCodedBytes(kFormatName, p.Width, p.Height, StripBytes(plan, p.Height) * planes, available, per_byte);
  if (p.Flags & ImageFlags::kTiled) {
    // Every tile is decoded whole, the parts beyond the picture's edges too.
    const tiff::TileLayout layout = TileLayoutOf(plan);
    const auto width = std::int64_t(layout.PaddedWidth());
    const auto height = std::int64_t(layout.PaddedHeight());
    CheckPictureSize(width, height);
    CheckCodedBytes(kFormatName, width, height, layout.TileBytes() * layout.Count() * planes, available,
                    per_byte);
  }
}

}  // namespace qel
