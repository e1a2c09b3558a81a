// The JPEG 2000 encoder: the bitmap's samples coded by the codec as a raw codestream,
// wrapped in the boxes of a JP2 file written here.
#include "output/jp2_writer.h"

#include <algorithm>
#include <array>
#include <vector>

#include "imaging/stream.h"
#include "import/jp2/boxes.h"
#include "import/jp2/codec.h"
#include "output/picture_writers.h"

namespace qel {

namespace {

// The most resolution levels written; small pictures get fewer (each level halves
// the picture, and the codec refuses levels smaller than a pixel).
constexpr int kResolutionLevels = 6;

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

void EncodeJp2(const TBitmap& bitmap, TStream& stream, const Jp2EncodeOptions& options) {
  // The codec takes 24- and 32-bit pixels; other formats go through a 24-bit copy.
  const TBitmap* source = &bitmap;
  TBitmap converted;
  if (bitmap.PixelFormat() != TPixelFormat::pf24bit && bitmap.PixelFormat() != TPixelFormat::pf32bit &&
      !bitmap.Empty()) {
    converted.SetPixelFormat(TPixelFormat::pf24bit);
    converted.SetSize(bitmap.Width(), bitmap.Height());
    for (int y = 0; y < bitmap.Height(); ++y) bitmap.RowToBGR(y, converted.ScanLine(y));
    source = &converted;
  }
  const int n = source->PixelFormat() == TPixelFormat::pf32bit ? 4 : 3;
  const int width = bitmap.Width(), height = bitmap.Height();
  if (bitmap.Empty()) throw EJpeg2000Error(msg::kJp2ImageCreationFailed);

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
  const int quality = std::clamp(options.quality_percent, 1, 100);
  settings.tcp_rates[0] = options.lossless ? 0.0f : Jpeg2000Rate(quality, sample_count, n);
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

// A JP2 file of the picture: lossy at quality 90. The picture's transparency travels
// with the copy but the file does not carry it.
void WriteJp2(const Picture& picture, TStream& stream) {
  TBitmap bitmap;
  bitmap.AssignPicture(picture);
  EncodeJp2(bitmap, stream, Jp2EncodeOptions{false, 90});
}

}  // namespace qel
