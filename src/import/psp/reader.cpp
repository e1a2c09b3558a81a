#include "import/psp/reader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/codecs/lz77_decoder.h"
#include "import/codecs/psp_rle_decoder.h"
#include "import/framework/coded_size.h"
#include "import/framework/messages.h"
#include "import/psp/header.h"

namespace qel {

namespace {

constexpr const char* kShortName = "PSP";
constexpr int kStreamEnd = 1;  // inflate's result once the whole stream is decoded
constexpr int kBufferFull = -5;
constexpr int kInflateFinish = 4;

CompressionType CompressionFor(std::uint16_t value) {
  switch (PspCompression(value)) {
    case PspCompression::kNone:
      return CompressionType::cmpNone;
    case PspCompression::kRLE:
      return CompressionType::cmpRLE;
    case PspCompression::kLZ77:
      return CompressionType::cmpLZ77;
    case PspCompression::kJPEG:
      return CompressionType::cmpJPEG;
  }
  return CompressionType::cmpUnknown;
}

// Bytes of one row of a channel; 0 for a depth the format does not have.
std::size_t RowStride(std::uint32_t width, int bits) {
  switch (bits) {
    case 1:
      return (std::size_t(width) + 7) / 8;
    case 4:
      return std::size_t(width) / 2 + 1;
    case 8:
      return width;
  }
  return 0;
}

[[noreturn]] void CorruptFile() {
  throw EInvalidGraphic(FormatMessage(msg::kInvalidImage, {kShortName}));
}

// The end of a block that starts at the stream's position; a block reaching past the
// end of the block that holds it makes the file corrupt.
std::uint64_t BlockEnd(const TStream& stream, const PspBlockHeader& block, std::uint64_t parent_end) {
  const std::uint64_t end = stream.Position() + block.length;
  if (!block.HasMarker() || end > parent_end) CorruptFile();
  return end;
}

}  // namespace

const GraphicClass& TPSPGraphic::StaticClass() {
  static const GraphicClass cls("TPSPGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TPSPGraphic>);
  return cls;
}

bool TPSPGraphic::RecognizesStream(TStream& stream) const {
  const std::uint64_t start = stream.Position();
  if (stream.Remaining() <= kPspFileHeaderSize) return false;
  const PspFileHeader h = ReadPspFileHeader(stream);
  stream.SetPosition(start);
  return h.IsValid();
}

bool TPSPGraphic::ReadProperties(TStream& stream, int image_index) {
  TImportGraphic::ReadProperties(stream, image_index);
  if (stream.Remaining() <= kPspFileHeaderSize) return false;
  const PspFileHeader h = ReadPspFileHeader(stream);
  if (!h.IsValid()) return false;
  if (stream.Remaining() < PspBlockHeaderSize(h.major_version)) return false;
  const PspBlockHeader block = ReadPspBlockHeader(stream, h.major_version);
  if (!block.HasMarker() || block.Id() != PspBlockId::kImageAttributes) return false;
  if (block.length > stream.Remaining()) return false;
  const std::uint64_t block_end = stream.Position() + block.length;
  const auto a = ReadPspImageAttributes(stream, h.major_version, block.length);
  if (!a || a->width <= 0 || a->height <= 0) return false;
  stream.SetPosition(block_end);

  TImageProperties& p = Properties();
  p.FormatVersion = h.major_version;
  p.Width = std::uint32_t(a->width);
  p.Height = std::uint32_t(a->height);
  const double dpi = a->resolution_metric == 2 ? a->resolution * 2.54 : a->resolution;
  p.XResolution = p.YResolution = float(dpi);
  p.Compression = CompressionFor(a->compression);
  compression_code_ = a->compression;
  if (a->bit_depth == 24) {
    p.BitsPerSample = 8;
    p.SamplesPerPixel = 3;
    p.ColorScheme = ColorScheme::schRGB;
  } else {
    p.BitsPerSample = std::uint8_t(std::min<std::uint16_t>(a->bit_depth, 255));
    p.SamplesPerPixel = 1;
    p.ColorScheme = a->greyscale ? ColorScheme::schGray : ColorScheme::schIndexed;
  }
  p.BitsPerPixel = std::uint8_t(p.BitsPerSample * p.SamplesPerPixel);
  return true;
}

void TPSPGraphic::LoadFromStream(TStream& stream) {
  ReleaseHandle();
  base_position_ = stream.Position();
  if (!ReadProperties(stream, 0)) GraphicError(msg::kInvalidImage, {kShortName});
  const TImageProperties& p = ImageProperties();
  major_version_ = std::uint16_t(p.FormatVersion);
  StartProgress(msg::kPreparing);
  // ReadProperties has left the stream after the attributes block.

  if (p.Compression == CompressionType::cmpJPEG)
    GraphicError(msg::kUnsupportedFeature, {"The compression scheme is JPEG", kShortName});
  if (p.Compression == CompressionType::cmpUnknown)
    GraphicError(msg::kUnsupportedFeature,
                 {"The compression scheme is " + std::to_string(compression_code_), kShortName});
  const std::size_t stride = p.SamplesPerPixel == 3 ? p.Width : RowStride(p.Width, p.BitsPerSample);
  if (stride == 0) GraphicError(msg::kInvalidColorFormat, {kShortName});
  // The blocks that follow must be able to hold the picture, coded (a byte holds up to
  // eight pixels of a plane; small pictures pass whatever follows).
  const std::uint64_t expansion = p.Compression == CompressionType::cmpLZ77  ? kDeflateBytesPerByte
                                  : p.Compression == CompressionType::cmpRLE ? 64
                                                                             : 1;
  CheckCodedSize(kShortName, p.Width, p.Height, stream.Remaining(), 8 * expansion);

  TColorManager& cm = ColorManager();
  cm.Configure({p.ColorScheme, p.BitsPerSample, p.SamplesPerPixel, 0},
               {p.ColorScheme == ColorScheme::schRGB ? ColorScheme::schBGR : p.ColorScheme, p.BitsPerSample,
                p.SamplesPerPixel, 0});
  SetPixelFormat(cm.TargetPixelFormat());
  SetSize(int(p.Width), int(p.Height));
  // Gray images and files that lack their palette block get a gray ramp.
  if (p.SamplesPerPixel == 1) SetPalette(cm.CreateGrayscalePalette(false));
  EndProgress(msg::kPreparing);

  bool layer_read = false;
  while (stream.Remaining() >= PspBlockHeaderSize(major_version_)) {
    const PspBlockHeader block = ReadPspBlockHeader(stream, major_version_);
    if (!block.HasMarker()) break;
    // Every block ends after its header, so the walk always moves on.
    const std::uint64_t block_end = stream.Position() + block.length;
    if (block.Id() == PspBlockId::kColorPalette && p.SamplesPerPixel == 1) {
      ReadPalette(stream, block_end);
    } else if (block.Id() == PspBlockId::kLayerBank && !layer_read) {
      if (block_end > stream.Size()) throw EReadError();  // the layers are cut off
      layer_read = ReadLayerBank(stream, block_end, stride);
    }
    stream.SetPosition(block_end);
  }
}

void TPSPGraphic::ReadPalette(TStream& stream, std::uint64_t block_end) {
  if (major_version_ > kPspOldestMajorVersion) stream.ReadU32LE();  // chunk size
  const std::uint32_t count = stream.ReadU32LE();
  const std::uint64_t available = block_end > stream.Position() ? (block_end - stream.Position()) / 4 : 0;
  if (count > available) CorruptFile();
  const std::size_t used = std::min<std::size_t>(count, 256);
  const std::vector<std::uint8_t> entries = stream.ReadBytes(used * 4);
  if (used == 0) return;
  const std::uint8_t* data[1] = {entries.data()};
  SetPalette(ColorManager().CreateColorPalette(data, RawPaletteFormat::kInterlaced8Quad, used, true));
}

bool TPSPGraphic::ReadLayerBank(TStream& stream, std::uint64_t bank_end, std::size_t stride) {
  Progress(ProgressStage::kStarting, 0, progress_rect_, msg::kLoadingData);
  while (stream.Position() + PspBlockHeaderSize(major_version_) <= bank_end) {
    const PspBlockHeader block = ReadPspBlockHeader(stream, major_version_);
    const std::uint64_t end = BlockEnd(stream, block, bank_end);
    if (block.Id() == PspBlockId::kLayer && ReadLayer(stream, end, stride)) return true;
    stream.SetPosition(end);
  }
  return false;
}

bool TPSPGraphic::ReadLayer(TStream& stream, std::uint64_t layer_end, std::size_t stride) {
  std::uint8_t info[kPspLayerInfoSize];
  std::uint16_t channel_count = 0;
  if (major_version_ == kPspOldestMajorVersion) {
    stream.Skip(kPspOldLayerNameSize);
    stream.ReadBuffer(info, sizeof info);
    if (info[0] != 0) return false;
    stream.ReadU16LE();  // bitmap count
    channel_count = stream.ReadU16LE();
  } else {
    const std::uint64_t chunk_start = stream.Position();
    const std::uint32_t chunk_length = stream.ReadU32LE();
    const std::uint16_t name_length = stream.ReadU16LE();
    stream.Skip(name_length);
    stream.ReadBuffer(info, sizeof info);
    if (chunk_start + chunk_length > layer_end) CorruptFile();
    stream.SetPosition(chunk_start + chunk_length);
    if (info[0] > kPspRasterLayer) return false;
    const std::uint64_t bitmap_chunk_start = stream.Position();
    const std::uint32_t bitmap_chunk_length = stream.ReadU32LE();
    stream.ReadU16LE();  // bitmap count
    channel_count = stream.ReadU16LE();
    if (bitmap_chunk_start + bitmap_chunk_length > layer_end) CorruptFile();
    stream.SetPosition(bitmap_chunk_start + bitmap_chunk_length);
  }
  if (stream.Position() > layer_end) CorruptFile();

  const TImageProperties& p = ImageProperties();
  LayerPlanes layer;
  layer.stride = stride;
  const std::size_t plane_size = stride * p.Height;
  if (p.SamplesPerPixel == 3) {
    layer.planes.assign(3, std::vector<std::uint8_t>(plane_size));
    if (channel_count > 3) {
      // Opaque until the layer's transparency says otherwise.
      layer.planes.emplace_back(plane_size, std::uint8_t(255));
      TColorManager& cm = ColorManager();
      ColorLayout source = cm.Source(), target = cm.Target();
      source.scheme = ColorScheme::schRGBA;
      target.scheme = ColorScheme::schBGRA;
      source.samples_per_pixel = target.samples_per_pixel = 4;
      cm.Configure(source, target);
      SetPixelFormat(cm.TargetPixelFormat());
    }
  } else {
    layer.planes.assign(1, std::vector<std::uint8_t>(plane_size));
  }

  for (std::uint16_t i = 0; i < channel_count && stream.Position() < layer_end; ++i) {
    const PspBlockHeader block = ReadPspBlockHeader(stream, major_version_);
    const std::uint64_t end = BlockEnd(stream, block, layer_end);
    if (block.Id() == PspBlockId::kChannel) ReadChannel(stream, block, layer);
    stream.SetPosition(end);
    RowProgress(std::uint32_t(std::uint64_t(i + 1) * p.Height / channel_count), p.Height, msg::kLoadingData);
  }
  EndProgress(msg::kLoadingData);
  TransferLayer(layer);
  // A layer's transparency is an alpha the colours are not multiplied by.
  if (layer.planes.size() == 4) ApplyDeclaredAlpha(*this, AlphaKind::kUnassociated);
  return true;
}

void TPSPGraphic::ReadChannel(TStream& stream, const PspBlockHeader& block, LayerPlanes& layer) {
  const std::uint64_t block_start = stream.Position();
  const auto channel = ReadPspChannelInfo(stream, major_version_, block.length);
  if (!channel) CorruptFile();
  const std::uint64_t header_size = stream.Position() - block_start;
  if (channel->compressed_length > block.length - header_size) CorruptFile();

  // Which plane the channel fills: the colours of the image bitmap, and for 24-bit
  // layers the transparency as alpha. Masks and selections of other kinds are skipped.
  const bool image = channel->bitmap_type == std::uint16_t(PspBitmapType::kImage);
  std::vector<std::uint8_t>* plane = nullptr;
  switch (PspChannelType(channel->channel_type)) {
    case PspChannelType::kComposite:
      if (layer.planes.size() == 1 && image) plane = &layer.planes[0];
      if (layer.planes.size() == 4 && !image) plane = &layer.planes[3];
      break;
    case PspChannelType::kRed:
    case PspChannelType::kGreen:
    case PspChannelType::kBlue:
      if (layer.planes.size() >= 3 && image) plane = &layer.planes[channel->channel_type - 1];
      break;
  }
  if (!plane) return;

  const std::vector<std::uint8_t> packed = stream.ReadBytes(channel->compressed_length);
  const std::size_t wanted = std::min<std::size_t>(channel->uncompressed_length, plane->size());
  const std::uint8_t* source = packed.data();
  std::uint8_t* dest = plane->data();
  switch (ImageProperties().Compression) {
    case CompressionType::cmpRLE: {
      TPSPRLEDecoder decoder;
      decoder.Decode(source, dest, packed.size(), wanted);
      break;
    }
    case CompressionType::cmpLZ77: {
      TLZ77Decoder decoder(kInflateFinish, false);
      decoder.DecodeInit();
      decoder.Decode(source, dest, packed.size(), wanted);
      // A channel whose data ends before its pixels, or is not inflate data, is
      // damaged; more data than the plane holds is cut off.
      const int result = decoder.Result();
      if (result != kStreamEnd && !(result == kBufferFull && decoder.AvailableOutput() == 0))
        GraphicError(msg::kImageCompression, {kShortName});
      decoder.DecodeEnd();
      break;
    }
    default:
      // An empty channel has no data to copy (and no buffer to copy from).
      if (!packed.empty()) std::memcpy(dest, source, std::min(wanted, packed.size()));
  }
}

void TPSPGraphic::TransferLayer(const LayerPlanes& layer) {
  const TImageProperties& p = ImageProperties();
  StartProgress(msg::kTransfering);
  std::vector<const std::uint8_t*> pointers;
  for (const auto& plane : layer.planes) pointers.push_back(plane.data());
  for (std::uint32_t y = 0; y < p.Height; ++y) {
    ColorManager().ConvertRow(pointers, ScanLine(int(y)), p.Width);
    for (auto& pointer : pointers) pointer += layer.stride;
    RowProgress(y + 1, p.Height, msg::kTransfering);
  }
  EndProgress(msg::kTransfering);
}

}  // namespace qel
