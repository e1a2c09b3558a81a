#include "import/codecs/tiff_jpeg_decoder.h"

#include <algorithm>
#include <cstring>

#include "imaging/errors.h"
#include "import/codecs/jpeg_decompressor.h"
#include "import/framework/messages.h"

namespace qel {

namespace {

constexpr std::uint32_t kSeparatePlanes = 2;

std::uint32_t DivideRoundingUp(std::uint32_t value, unsigned divisor) {
  return static_cast<std::uint32_t>((static_cast<std::uint64_t>(value) + divisor - 1) / divisor);
}

}  // namespace

TTIFFJPEGDecoder::TTIFFJPEGDecoder(const TImageProperties& properties, WarningHandler warning)
    : properties_(properties), warning_(std::move(warning)) {}

TTIFFJPEGDecoder::~TTIFFJPEGDecoder() = default;

void TTIFFJPEGDecoder::DecodeInit() {
  jpeg_.reset();
  auto jpeg = std::make_unique<codec::JpegDecompressor>(warning_);

  // Subsampling only applies to YCbCr data.
  h_sampling_ = v_sampling_ = 1;
  const auto& sampling = properties_.YCbCrSubSampling;
  if (properties_.ColorScheme == ColorScheme::schYCbCr && sampling.size() >= 2) {
    h_sampling_ = std::max<unsigned>(sampling[0], 1);
    v_sampling_ = std::max<unsigned>(sampling[1], 1);
  }

  if (!properties_.JPEGTables.empty()) {
    const auto& tables = properties_.JPEGTables;
    jpeg->SetInput(tables.data(), tables.size());
    int result = 0;
    try {
      jpeg->Guarded([&] { result = jpeg_read_header(&jpeg->Info(), FALSE); });
    } catch (const EGraphicCompression&) {
      throw EGraphicCompression(msg::kJPEGBogusTables);
    }
    if (result != JPEG_HEADER_TABLES_ONLY) throw EGraphicCompression(msg::kJPEGBogusTables);
  }
  jpeg_ = std::move(jpeg);
}

void TTIFFJPEGDecoder::DecodeEnd() {
  jpeg_.reset();
}

TTIFFJPEGDecoder::Expected TTIFFJPEGDecoder::ExpectedStrip() const {
  const TImageProperties& p = properties_;
  Expected e{};
  if (p.Flags & ImageFlags::kTiled) {
    e.width = p.TileWidth;
    e.height = p.TileLength;
  } else {
    e.width = p.Width;
    std::uint32_t rows = p.Height;
    if (!p.RowsPerStrip.empty())
      rows = p.RowsPerStrip[std::min<std::size_t>(p.CurrentStrip, p.RowsPerStrip.size() - 1)];
    const std::uint32_t left = p.Height > p.CurrentRow ? p.Height - p.CurrentRow : 0;
    e.height = std::min(rows, left);
  }
  const bool separate = p.PlanarConfig == kSeparatePlanes;
  e.components = separate ? 1 : p.SamplesPerPixel;
  if (separate && p.ColorScheme == ColorScheme::schYCbCr && p.SamplesPerPixel > 0 &&
      p.StripCount >= p.SamplesPerPixel) {
    const std::uint32_t per_plane = p.StripCount / p.SamplesPerPixel;
    if (p.CurrentStrip / per_plane > 0) {
      // A separate plane of a subsampled image holds chroma at its reduced size.
      e.width = DivideRoundingUp(e.width, h_sampling_);
      e.height = DivideRoundingUp(e.height, v_sampling_);
    }
  }
  return e;
}

void TTIFFJPEGDecoder::CheckHeader() const {
  const jpeg_decompress_struct& info = jpeg_->Info();
  const Expected e = ExpectedStrip();
  if (info.image_width != e.width || info.image_height != e.height)
    throw EGraphicCompression(msg::kJPEGStripSize);
  if (info.num_components != e.components) throw EGraphicCompression(msg::kJPEGComponentCount);
  if (info.data_precision != properties_.BitsPerSample) throw EGraphicCompression(msg::kJPEGDataPrecision);

  const bool separate = properties_.PlanarConfig == kSeparatePlanes;
  for (int c = 0; c < info.num_components; ++c) {
    const jpeg_component_info& component = info.comp_info[c];
    const bool subsampled = c == 0 && !separate;
    const int h = subsampled ? static_cast<int>(h_sampling_) : 1;
    const int v = subsampled ? static_cast<int>(v_sampling_) : 1;
    if (component.h_samp_factor != h || component.v_samp_factor != v)
      throw EGraphicCompression(msg::kJPEGSamplingFactors);
  }
}

void TTIFFJPEGDecoder::Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
                              std::size_t unpacked_size) {
  if (!jpeg_) DecodeInit();
  codec::JpegDecompressor& jpeg = *jpeg_;
  jpeg_decompress_struct& info = jpeg.Info();
  jpeg.Abort();
  jpeg.SetInput(source, packed_size);
  try {
    jpeg.Guarded([&] { jpeg_read_header(&info, TRUE); });
    CheckHeader();

    const ColorScheme scheme = properties_.ColorScheme;
    if (info.num_components == 3 && scheme == ColorScheme::schYCbCr) {
      info.jpeg_color_space = JCS_YCbCr;
      info.out_color_space = JCS_EXT_BGR;
    } else if (info.num_components == 3 && scheme == ColorScheme::schRGB) {
      info.jpeg_color_space = JCS_RGB;
      info.out_color_space = JCS_EXT_BGR;
    } else {
      info.jpeg_color_space = JCS_UNKNOWN;
      info.out_color_space = JCS_UNKNOWN;
    }
    info.raw_data_out = FALSE;

    jpeg.Guarded([&] { jpeg_start_decompress(&info); });
    DecodeLines(dest, unpacked_size);
  } catch (...) {
    jpeg.Abort();
    throw;
  }
}

void TTIFFJPEGDecoder::DecodeLines(std::uint8_t* dest, std::size_t unpacked_size) {
  codec::JpegDecompressor& jpeg = *jpeg_;
  jpeg_decompress_struct& info = jpeg.Info();
  const std::size_t row_size = static_cast<std::size_t>(info.output_width) * info.output_components;
  std::size_t line = properties_.BytesPerLine;
  if ((properties_.Flags & ImageFlags::kTiled) || line == 0) line = row_size;
  if (line == 0 || unpacked_size % line != 0) throw EGraphicCompression(msg::kJPEGFractionalLine);

  const std::size_t lines = std::min<std::size_t>(info.output_height, unpacked_size / line);
  const std::size_t copied = std::min(line, row_size);
  row_.resize(row_size);
  JSAMPROW row = row_.data();
  jpeg.Guarded([&] {
    for (std::size_t i = 0; i < lines; ++i) {
      if (jpeg_read_scanlines(&info, &row, 1) != 1) break;
      std::memcpy(dest + i * line, row, copied);
    }
  });
  if (info.output_scanline == info.output_height)
    jpeg.Guarded([&] { jpeg_finish_decompress(&info); });
  else
    jpeg.Abort();
}

}  // namespace qel
