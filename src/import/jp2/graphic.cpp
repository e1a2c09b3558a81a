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

}  // namespace

const GraphicClass& TJpeg2000Bitmap::StaticClass() {
  static const GraphicClass cls("TJpeg2000Bitmap", &TBitmap::StaticClass(), &MakeGraphic<TJpeg2000Bitmap>);
  return cls;
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

}  // namespace qel
