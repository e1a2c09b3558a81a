#include "import/tiff/reader.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <span>
#include <string>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/framework/coded_size.h"
#include "import/color/manager.h"
#include "import/framework/messages.h"
#include "import/tiff/rows.h"
#include "import/tiff/strips.h"

namespace qel {

namespace {

constexpr std::uint32_t kSeparatePlanes = 2;
constexpr std::uint32_t kHorizontalDifferencing = 2;
constexpr std::uint32_t kResolutionCentimetre = 3;
constexpr std::uint32_t kFillOrderReversed = 2;
// More samples than this in one pixel is no image this tool can show.
constexpr std::uint32_t kMaxSamplesPerPixel = 16;

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

// The number of strips (of one plane) that the rows-per-strip table needs to cover
// height rows; entries of 0 stand for the whole image, the last entry serves the rest.
std::uint64_t StripsNeeded(const std::vector<std::uint32_t>& rows_per_strip, std::uint32_t height) {
  std::uint64_t covered = 0;
  for (std::size_t s = 0; s < rows_per_strip.size(); ++s) {
    covered += rows_per_strip[s] == 0 ? height : rows_per_strip[s];
    if (covered >= height) return s + 1;
  }
  const std::uint64_t last =
      rows_per_strip.empty() || rows_per_strip.back() == 0 ? height : rows_per_strip.back();
  return rows_per_strip.size() + (height - covered + last - 1) / last;
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

// How the samples of a decoded strip become rows for the colour manager.
struct TTIFFGraphic::RowPlan {
  ColorScheme source_scheme = ColorScheme::schUnknown;
  ColorScheme target_scheme = ColorScheme::schUnknown;
  int bits = 8;      // bits per sample in the file
  int samples = 1;   // samples per pixel in the file
  int channels = 1;  // samples per pixel the colour manager is given
  int target_bits = 8;
  bool planar = false;        // separate planes, one strip set per sample
  bool keep_leading = false;  // interleaved pixels carry samples beyond the channels
  bool differencing = false;
  int ycbcr_h = 1;  // subsampled YCbCr units that the reader spreads itself
  int ycbcr_v = 1;
  std::uint64_t line_bytes = 0;  // bytes of one decoded row (of one plane when planar)
};

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
  } catch (const EReadError&) {
    ok = false;
  }
  if (!ok) TImportGraphic::ReadProperties(stream, image_index);
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
  if (plan.channels == 0 || plan.samples < plan.channels || std::uint32_t(plan.samples) > kMaxSamplesPerPixel)
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

  if (one_sample) {
    plan.target_scheme = scheme;
    plan.target_bits = OneSampleTargetBits(plan.bits);
  } else {
    plan.target_scheme = scheme == ColorScheme::schRGBA ? ColorScheme::schBGRA : ColorScheme::schBGR;
    plan.target_bits = 8;
  }

  const std::uint64_t samples_in_line = plan.planar ? 1 : std::uint64_t(plan.samples);
  plan.line_bytes = (samples_in_line * std::uint64_t(plan.bits) * p.Width + 7) / 8;
  return plan;
}

void TTIFFGraphic::ConfigureColorManager(const RowPlan& plan) {
  const TImageProperties& p = Properties();
  TColorManager& cm = ColorManager();
  cm.SourceOptions() = (p.Flags & ImageFlags::kSwapped) ? ColorOptions::kByteSwap : 0;
  if (plan.source_scheme == ColorScheme::schCIELab) cm.SourceOptions() |= ColorOptions::kLabByteRange;
  cm.TargetOptions() = 0;
  cm.SetSourceColorScheme(plan.source_scheme);
  cm.SetTargetColorScheme(plan.target_scheme);
  cm.SetSourceBitsPerSample(plan.bits);
  cm.SetTargetBitsPerSample(plan.target_bits);
  cm.SetSourceSamplesPerPixel(plan.channels);
  cm.SetTargetSamplesPerPixel(SchemeChannels(plan.target_scheme));
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
  // Three planes (red, green, blue) of 16-bit values, little-endian as the colour
  // manager reads them when it is not told to swap.
  std::vector<std::uint8_t> planes(colors * 3 * 2);
  for (std::size_t i = 0; i < colors * 3; ++i) {
    planes[2 * i] = std::uint8_t(map[i]);
    planes[2 * i + 1] = std::uint8_t(map[i] >> 8);
  }
  const std::uint8_t* pointers[3] = {planes.data(), planes.data() + colors * 2, planes.data() + colors * 4};
  const std::uint8_t options = cm.SourceOptions();
  cm.SourceOptions() = std::uint8_t(options & ~ColorOptions::kByteSwap);
  Palette palette = cm.CreateColorPalette(pointers, RawPaletteFormat::kPlane16Triple, colors, false);
  cm.SourceOptions() = options;
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
  if (p.Flags & ImageFlags::kTiled) Unsupported("Tiled images are");

  const char* stage = msg::kPreparing;
  ProgressEnd end([&] { EndProgress(stage); });
  StartProgress(stage);

  const std::unique_ptr<TDecoder> decoder = tiff::MakeStripDecoder(
      p, p.Width, directory_.TagValue(tiff::Tag::kT4Options, 0), [this](std::string_view text) { Warning(text); });
  const RowPlan plan = PlanRows(stream);
  ConfigureColorManager(plan);

  // Strips may share their bytes and compressed rows may be very short, but a few bytes
  // do not make a large picture. Fax coding gives a blank row a bit whatever its width.
  const bool fax = p.Compression == CompressionType::cmpCCITTHuffman ||
                   p.Compression == CompressionType::cmpCCITTHuffmanW ||
                   p.Compression == CompressionType::cmpCCITTFax3 ||
                   p.Compression == CompressionType::cmpCCITTFax4;
  const bool jpeg = p.Compression == CompressionType::cmpJPEG || p.Compression == CompressionType::cmpOldJPEG;
  const std::uint64_t unpacked =
      StripBytes(plan, p.Height) * (plan.planar ? std::uint64_t(plan.channels) : 1);
  CheckCodedBytes(kFormatName, p.Width, p.Height, unpacked,
                  stream.Size() - std::min(stream.Size(), base_position_),
                  fax    ? kFaxBytesPerByte
                  : jpeg ? 3 * kJpegPixelsPerByte
                         : kSkippingCodeBytesPerByte);
  tiff::StripTable strips = ReadStripTable(stream, plan);
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
  TransferStrips(stream, plan, std::move(strips), decoder.get());
  if (decoder) decoder->DecodeEnd();
  // Rows are stored as the file's orientation says; the picture shows them upright.
  ApplyOrientation(int(directory_.TagValue(tiff::Tag::kOrientation, 1)));
}

std::uint32_t TTIFFGraphic::RowsOfStrip(std::uint32_t strip, std::uint32_t first_row) const {
  const TImageProperties& p = ImageProperties();
  const std::uint32_t entry = p.RowsPerStrip[std::min<std::size_t>(strip, p.RowsPerStrip.size() - 1)];
  return std::min(entry == 0 ? p.Height : entry, p.Height - first_row);
}

std::uint64_t TTIFFGraphic::StripBytes(const RowPlan& plan, std::uint32_t rows) const {
  if (plan.ycbcr_h * plan.ycbcr_v > 1)
    return tiff::YCbCrUnits(ImageProperties().Width, plan.ycbcr_h, plan.ycbcr_v).BytesForRows(rows);
  return std::uint64_t(rows) * plan.line_bytes;
}

tiff::StripTable TTIFFGraphic::ReadStripTable(TStream& stream, const RowPlan& plan) {
  TImageProperties& p = Properties();
  tiff::StripTable table{directory_.TagArray(stream, tiff::Tag::kStripOffsets),
                         directory_.TagArray(stream, tiff::Tag::kStripByteCounts)};
  if (table.offsets.empty()) InvalidImage();
  p.StripCount = std::uint32_t(table.offsets.size());
  const std::uint32_t per_plane = StripsPerPlane(plan);
  // A file whose strips cannot cover the image is damaged: refused rather than shown
  // with rows missing.
  if (per_plane < StripsNeeded(p.RowsPerStrip, p.Height)) InvalidImage();

  // Every strip must lie inside the file before anything is allocated for it: all its
  // rows when it is stored as it is, its byte count when it is compressed.
  const std::uint64_t size = stream.Size();
  const std::size_t planes = plan.planar ? std::size_t(plan.channels) : 1;
  std::uint32_t row = 0;
  for (std::uint32_t s = 0; s < per_plane && row < p.Height; ++s) {
    const std::uint32_t rows = RowsOfStrip(s, row);
    for (std::size_t plane = 0; plane < planes; ++plane) {
      const std::size_t index = plane * per_plane + s;
      const std::uint64_t start = base_position_ + table.offsets[index];
      std::uint64_t length = 0;
      if (p.Compression == CompressionType::cmpNone)
        length = StripBytes(plan, rows);
      else if (index < table.byte_counts.size())
        length = table.byte_counts[index];
      if (start > size || length > size - start)
        throw EReadError(FormatMessage(msg::kStreamReadError, {kFormatName}));
    }
    row += rows;
  }
  return table;
}

std::uint32_t TTIFFGraphic::StripsPerPlane(const RowPlan& plan) const {
  const std::uint32_t count = ImageProperties().StripCount;
  return plan.planar ? count / std::uint32_t(plan.samples) : count;
}

void TTIFFGraphic::TransferStrips(TStream& stream, const RowPlan& plan, tiff::StripTable table,
                                  TDecoder* decoder) {
  TImageProperties& p = Properties();
  const std::size_t plane_count = plan.planar ? std::size_t(plan.channels) : 1;
  const std::uint32_t strips_per_plane = StripsPerPlane(plan);
  const bool reverse = (p.Flags & ImageFlags::kReversedBits) && tiff::ReversesStripBits(p.Compression);
  tiff::TStripReader reader(stream, base_position_, std::move(table), decoder, reverse);

  const tiff::YCbCrUnits units(p.Width, plan.ycbcr_h, plan.ycbcr_v);
  const bool expand = plan.ycbcr_h * plan.ycbcr_v > 1;
  const bool big_endian = (p.Flags & ImageFlags::kSwapped) != 0;
  const int sample_bytes = plan.bits / 8;
  std::vector<std::uint8_t> scratch;
  if (expand || plan.keep_leading)
    scratch.resize(std::size_t(p.Width) * std::size_t(plan.channels * sample_bytes));
  std::vector<std::vector<std::uint8_t>> strips(plane_count);
  const std::uint8_t* rows[kMaxSamplesPerPixel];

  p.CurrentRow = 0;
  for (std::uint32_t s = 0; s < strips_per_plane && p.CurrentRow < p.Height; ++s) {
    const std::uint32_t strip_rows = RowsOfStrip(s, p.CurrentRow);
    const std::uint64_t strip_bytes = StripBytes(plan, strip_rows);
    for (std::size_t plane = 0; plane < plane_count; ++plane) {
      p.CurrentStrip = std::uint32_t(plane) * strips_per_plane + s;
      reader.Read(p.CurrentStrip, std::size_t(strip_bytes), strips[plane]);
    }
    for (std::uint32_t r = 0; r < strip_rows; ++r) {
      if (expand) {
        units.ExpandRow(strips[0].data(), r, scratch.data());
        rows[0] = scratch.data();
      } else {
        for (std::size_t plane = 0; plane < plane_count; ++plane) {
          std::uint8_t* row = strips[plane].data() + r * plan.line_bytes;
          if (plan.differencing)
            tiff::UndoHorizontalDifferencing(row, p.Width, plan.planar ? 1 : plan.samples, plan.bits,
                                             big_endian);
          rows[plane] = row;
        }
        if (plan.keep_leading) {
          tiff::KeepLeadingSamples(rows[0], scratch.data(), p.Width, plan.samples, plan.channels,
                                   sample_bytes);
          rows[0] = scratch.data();
        }
      }
      ColorManager().ConvertRow(std::span<const std::uint8_t* const>(rows, plane_count),
                                ScanLine(int(p.CurrentRow)), p.Width);
      ++p.CurrentRow;
      RowProgress(p.CurrentRow, p.Height, msg::kTransfering);
    }
  }
}

}  // namespace qel
