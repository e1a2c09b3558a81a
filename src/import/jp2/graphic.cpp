#include "import/jp2/graphic.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "imaging/stream.h"
#include "import/jp2/boxes.h"
#include "import/jp2/codec.h"
#include "import/jp2/roles.h"

namespace qel {

namespace {

enum class Jp2Format { kJp2, kCodestream };

constexpr std::array<std::uint8_t, 8> kJp2Signature = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50, 0x20, 0x20};
constexpr std::array<std::uint8_t, 4> kCodestreamStart = {0xFF, 0x4F, 0xFF, 0x51};  // SOC, SIZ

// Precision range the sample scaling handles (the codec itself stops at 31 bits).
constexpr OPJ_UINT32 kMaxPrecision = 31;
// The most resolution levels written; small pictures get fewer (each level halves
// the picture, and the codec refuses levels smaller than a pixel).
constexpr int kResolutionLevels = 6;

// Reads the first 8 bytes and puts the stream back where it was.
Jp2Format DetectFormat(TStream& stream) {
  std::array<std::uint8_t, 8> head{};
  if (PeekBytes(stream, head)) {
    if (head == kJp2Signature) return Jp2Format::kJp2;
    if (std::equal(kCodestreamStart.begin(), kCodestreamStart.end(), head.begin()))
      return Jp2Format::kCodestream;
  }
  throw EJpeg2000Error(msg::kJp2UnknownFileType);
}

Jp2ColorSpace SpaceOf(OPJ_COLOR_SPACE space) {
  switch (space) {
    case OPJ_CLRSPC_SRGB:
      return Jp2ColorSpace::kSRGB;
    case OPJ_CLRSPC_GRAY:
      return Jp2ColorSpace::kGray;
    case OPJ_CLRSPC_SYCC:
      return Jp2ColorSpace::kSYCC;
    default:
      return Jp2ColorSpace::kOther;
  }
}

std::uint64_t CeilDiv(std::uint64_t a, std::uint64_t b) {
  return (a + b - 1) / b;
}

// Samples the codec will hold for component c of the image header.
std::uint64_t ComponentSamples(const opj_image_t& image, const opj_image_comp_t& c) {
  if (c.dx == 0 || c.dy == 0) return 0;
  const std::uint64_t w = CeilDiv(image.x1, c.dx) - CeilDiv(image.x0, c.dx);
  const std::uint64_t h = CeilDiv(image.y1, c.dy) - CeilDiv(image.y0, c.dy);
  return w * h;
}

// Components 3 and 4 make a colour bitmap; any other count a grey one of the first.
int WorkingCount(OPJ_UINT32 component_count) {
  return component_count == 3 || component_count == 4 ? int(component_count) : 1;
}

// Refuses images the tool would not hold before the codec allocates for them.
void CheckDecodeSize(const opj_image_t& header, std::span<const std::uint8_t> file, Jp2Format format,
                     OPJ_UINT32 decoded_components) {
  const std::int64_t width = std::int64_t(header.x1) - std::int64_t(header.x0);
  const std::int64_t height = std::int64_t(header.y1) - std::int64_t(header.y0);
  CheckPictureSize(width, height);
  std::uint64_t samples = 0;
  for (OPJ_UINT32 i = 0; i < decoded_components; ++i) samples += ComponentSamples(header, header.comps[i]);
  // A palette turns each index into that many channels of full size.
  const int palette_channels = format == Jp2Format::kJp2 ? ReadJp2PaletteChannels(file) : 0;
  if (palette_channels > 0)
    samples += std::uint64_t(palette_channels) * std::uint64_t(width) * std::uint64_t(height);
  if (samples > kMaxPicturePixels) {
    throw EOutOfResources("Cannot load image. A JPEG 2000 image of " + std::to_string(width) + " x " +
                          std::to_string(height) + " pixels in " + std::to_string(header.numcomps) +
                          " components holds more than the " + std::to_string(kMaxPicturePixels) +
                          " samples this tool decodes.");
  }
}

// Decodes the whole input; no image when the codec fails or hands back components
// the bitmap cannot be filled from.
OpjImage DecodeImage(OpjMemoryInput& input, std::span<const std::uint8_t> file, Jp2Format format) {
  OpjCodec codec(opj_create_decompress(format == Jp2Format::kJp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
  if (!codec) return nullptr;
  SilenceCodec(codec.get());
  opj_dparameters_t parameters;
  opj_set_default_decoder_parameters(&parameters);
  if (!opj_setup_decoder(codec.get(), &parameters)) return nullptr;
  OpjStream stream = input.OpenStream();
  if (!stream) return nullptr;

  opj_image_t* header = nullptr;
  const bool header_read = opj_read_header(stream.get(), codec.get(), &header);
  OpjImage image(header);
  if (!header_read || !image || image->numcomps == 0 || !image->comps) return nullptr;

  // Beyond four components only the first one is used: decode just that one.
  OPJ_UINT32 decoded = image->numcomps;
  if (image->numcomps > 4) {
    const OPJ_UINT32 first = 0;
    if (!opj_set_decoded_components(codec.get(), 1, &first, OPJ_FALSE)) return nullptr;
    decoded = 1;
  }
  CheckDecodeSize(*image, file, format, decoded);

  if (!opj_decode(codec.get(), stream.get(), image.get()) || !opj_end_decompress(codec.get(), stream.get())) {
    return nullptr;
  }
  if (image->x1 <= image->x0 || image->y1 <= image->y0 || image->numcomps == 0) return nullptr;
  const int used = WorkingCount(image->numcomps);
  for (int i = 0; i < used; ++i) {
    const opj_image_comp_t& c = image->comps[i];
    if (!c.data || c.dx == 0 || c.dy == 0 || c.prec == 0 || c.prec > kMaxPrecision) return nullptr;
  }
  return image;
}

// Fills one byte of every pixel from a component. Pixel (x, y) takes sample
// (x div dx, y div dy), so a subsampled sample covers its dx x dy block.
void FillComponent(TBitmap& bitmap, const opj_image_comp_t& c, int byte, int step) {
  const std::int64_t offset = c.sgnd ? (std::int64_t(1) << (c.prec - 1)) : 0;
  const std::int64_t maximum = (std::int64_t(1) << c.prec) - 1;
  const bool whole_bytes = c.prec == 8;
  const int width = bitmap.Width();
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint64_t i = std::uint64_t(y) / c.dy;
    if (i >= c.h) break;
    const OPJ_INT32* samples = c.data + i * c.w;
    std::uint8_t* out = bitmap.ScanLine(y) + byte;
    for (int x = 0; x < width; ++x) {
      const std::uint64_t j = std::uint64_t(x) / c.dx;
      if (j >= c.w) break;
      const std::int64_t v = std::int64_t(samples[j]) + offset;
      out[std::size_t(x) * std::size_t(step)] =
          whole_bytes ? std::uint8_t(v) : std::uint8_t(v * 255 / maximum);
    }
  }
}

std::uint8_t RoundToByte(double v) {
  return std::uint8_t(std::clamp(std::lround(v), 0L, 255L));
}

// Y in byte 2, Cb in byte 1 and Cr in byte 0 become red, green and blue.
void ConvertSYCC(TBitmap& bitmap, int step) {
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::uint8_t* p = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x, p += step) {
      const double luma = p[2], cb = p[1] - 128.0, cr = p[0] - 128.0;
      p[2] = RoundToByte(luma + 1.402 * cr);
      p[1] = RoundToByte(luma - 0.34414 * cb - 0.71414 * cr);
      p[0] = RoundToByte(luma + 1.772 * cb);
    }
  }
}

Palette GrayPalette() {
  Palette palette(256);
  for (int i = 0; i < 256; ++i)
    palette[i] = PaletteEntry{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
  return palette;
}

// As many resolution levels as the picture's shorter side allows, at most six.
int ResolutionLevelsFor(int width, int height) {
  const int side = std::min(width, height);
  int levels = kResolutionLevels;
  while (levels > 1 && side < (1 << (levels - 1))) --levels;
  return levels;
}

}  // namespace

float Jpeg2000Rate(int quality_percent, std::uint64_t sample_count, int component_count) {
  if (quality_percent >= 115 || sample_count == 0) return 0.0f;
  const float n = float(sample_count);
  const float k = 100.0f / float((115 - quality_percent) * (115 - quality_percent));
  const float budget = n * k + 550.0f + 142.0f * float(component_count - 1);
  return 1.0f / (budget / n);
}

const GraphicClass& TJpeg2000Bitmap::StaticClass() {
  static const GraphicClass cls("TJpeg2000Bitmap", &TBitmap::StaticClass(), &MakeGraphic<TJpeg2000Bitmap>);
  return cls;
}

void TJpeg2000Bitmap::SetQualityPercent(int quality) {
  quality_ = std::uint8_t(std::clamp(quality, 1, 100));
}

void TJpeg2000Bitmap::LoadFromStream(TStream& stream) {
  const Jp2Format format = DetectFormat(stream);
  const std::uint64_t start = stream.Position();
  const std::vector<std::uint8_t> file = stream.ReadToEnd();

  OpjMemoryInput input(file);
  OpjImage image;
  try {
    image = DecodeImage(input, file, format);
  } catch (...) {
    stream.SetPosition(start + input.Position());
    throw;
  }
  stream.SetPosition(start + input.Position());
  if (!image) throw EJpeg2000Error(msg::kJp2DecodingFailed);

  const opj_image_t& im = *image;
  const int working = WorkingCount(im.numcomps);
  const Jp2ColorSpace space = SpaceOf(im.color_space);
  std::vector<DecodedComponentInfo> info(im.numcomps);
  for (OPJ_UINT32 i = 0; i < im.numcomps; ++i) info[i].opacity_flag = im.comps[i].alpha == 1;
  const std::vector<Jp2ChannelDefinition> definitions =
      format == Jp2Format::kJp2 ? ReadJp2ChannelDefinitions(file) : std::vector<Jp2ChannelDefinition>{};
  const std::vector<ChannelRole> roles = Jp2ComponentRoles(info, definitions, space);

  ReleaseHandle();
  SetPixelFormat(working == 3   ? TPixelFormat::pf24bit
                 : working == 4 ? TPixelFormat::pf32bit
                                : TPixelFormat::pf8bit);
  if (working == 1) SetPalette(GrayPalette());
  SetSize(int(im.x1 - im.x0), int(im.y1 - im.y0));
  for (int i = 0; i < working; ++i) {
    const int byte = Jp2TargetByte(roles[std::size_t(i)], i, working, space);
    if (byte >= 0) FillComponent(*this, im.comps[i], byte, working);
  }
  if (space == Jp2ColorSpace::kSYCC && working >= 3) ConvertSYCC(*this, working);
}

void TJpeg2000Bitmap::SaveToStream(TStream& stream) const {
  // The codec takes 24- and 32-bit pixels; other formats go through a 24-bit copy.
  const TBitmap* source = this;
  TBitmap converted;
  if (PixelFormat() != TPixelFormat::pf24bit && PixelFormat() != TPixelFormat::pf32bit && !Empty()) {
    converted.SetPixelFormat(TPixelFormat::pf24bit);
    converted.SetSize(Width(), Height());
    for (int y = 0; y < Height(); ++y) RowToBGR(y, converted.ScanLine(y));
    source = &converted;
  }
  const int n = source->PixelFormat() == TPixelFormat::pf32bit ? 4 : 3;
  const int width = Width(), height = Height();
  if (Empty()) throw EJpeg2000Error(msg::kJp2ImageCreationFailed);

  // Component i comes from this byte of each pixel: red, green, blue, opacity.
  static constexpr int kSourceByte[4] = {2, 1, 0, 3};
  std::array<opj_image_cmptparm_t, 4> parameters{};
  for (int i = 0; i < n; ++i) {
    opj_image_cmptparm_t& p = parameters[std::size_t(i)];
    p.dx = p.dy = 1;
    p.w = OPJ_UINT32(width);
    p.h = OPJ_UINT32(height);
    p.x0 = p.y0 = 0;
    p.prec = 8;
    p.sgnd = 0;
  }
  OpjImage image(opj_image_create(OPJ_UINT32(n), parameters.data(), OPJ_CLRSPC_SRGB));
  if (!image) throw EJpeg2000Error(msg::kJp2ImageCreationFailed);
  image->x0 = image->y0 = 0;
  image->x1 = OPJ_UINT32(width);
  image->y1 = OPJ_UINT32(height);
  if (n == 4) image->comps[3].alpha = 1;
  for (int i = 0; i < n; ++i) {
    OPJ_INT32* samples = image->comps[i].data;
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* row = source->ScanLine(y) + kSourceByte[i];
      OPJ_INT32* out = samples + std::size_t(y) * std::size_t(width);
      for (int x = 0; x < width; ++x) out[x] = row[std::size_t(n) * std::size_t(x)];
    }
  }

  // A raw codestream from the codec; the boxes around it are written here, so that
  // the header carries the channel definitions the codec leaves out for colour-only
  // images.
  OpjCodec codec(opj_create_compress(OPJ_CODEC_J2K));
  if (!codec) throw EJpeg2000Error(msg::kJp2EncodingFailed);
  SilenceCodec(codec.get());
  opj_cparameters_t settings;
  opj_set_default_encoder_parameters(&settings);
  settings.tcp_numlayers = 1;
  settings.cp_disto_alloc = 1;
  settings.numresolution = ResolutionLevelsFor(width, height);
  const std::uint64_t sample_count = std::uint64_t(width) * std::uint64_t(height) * std::uint64_t(n);
  settings.tcp_rates[0] = lossless_ ? 0.0f : Jpeg2000Rate(quality_, sample_count, n);
  if (!opj_setup_encoder(codec.get(), &settings, image.get())) throw EJpeg2000Error(msg::kJp2EncodingFailed);

  OpjMemoryOutput output;
  {
    OpjStream out = output.OpenStream();
    if (!out || !opj_start_compress(codec.get(), image.get(), out.get()) ||
        !opj_encode(codec.get(), out.get()) || !opj_end_compress(codec.get(), out.get())) {
      throw EJpeg2000Error(msg::kJp2EncodingFailed);
    }
  }

  Jp2FileDescription description;
  description.width = OPJ_UINT32(width);
  description.height = OPJ_UINT32(height);
  description.components = std::uint16_t(n);
  for (int i = 0; i < n; ++i) {
    description.channels.push_back(i < 3 ? Jp2ChannelDefinition{std::uint16_t(i), 0, std::uint16_t(i + 1)}
                                         : Jp2ChannelDefinition{std::uint16_t(i), 1, 0});
  }
  const std::vector<std::uint8_t> file = BuildJp2File(description, output.Bytes());
  stream.Write(file.data(), file.size());
}

}  // namespace qel
