#include "import/gif/reader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <vector>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/codecs/gif_lzw_decoder.h"
#include "import/framework/coded_size.h"
#include "import/framework/messages.h"
#include "import/gif/blocks.h"

namespace qel {

namespace {

constexpr const char* kShortName = "GIF";
// Bytes a stream must hold beyond its position for the signature test.
constexpr std::uint64_t kRecognizedSize = 22;
// The widest first code the LZW decoder takes: codes grow to 12 bits at most.
constexpr int kMaxMinimumCodeSize = 11;

[[noreturn]] void Fail(const char* pattern) {
  throw EInvalidGraphic(FormatMessage(pattern, {kShortName}));
}

bool IsGifSignature(const std::uint8_t* bytes) {
  return std::toupper(bytes[0]) == 'G' && std::toupper(bytes[1]) == 'I' && std::toupper(bytes[2]) == 'F';
}

// "87a" gives 87; a version without two leading digits gives 0.
std::uint32_t VersionNumber(const std::uint8_t* version) {
  if (!std::isdigit(version[0]) || !std::isdigit(version[1])) return 0;
  return std::uint32_t(version[0] - '0') * 10 + std::uint32_t(version[1] - '0');
}

}  // namespace

const GraphicClass& TGIFGraphic::StaticClass() {
  static const GraphicClass cls("TGIFGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TGIFGraphic>);
  return cls;
}

bool TGIFGraphic::RecognizesStream(TStream& stream) const {
  try {
    if (stream.Remaining() <= kRecognizedSize) return false;
    std::uint8_t signature[3] = {};
    return PeekBytes(stream, signature) && IsGifSignature(signature);
  } catch (const Error&) {
    return false;
  }
}

bool TGIFGraphic::ReadProperties(TStream& stream, int image_index) {
  TImportGraphic::ReadProperties(stream, image_index);
  std::array<std::uint8_t, kGifSignatureSize> signature{};
  if (stream.Read(signature.data(), signature.size()) != signature.size() ||
      !IsGifSignature(signature.data())) {
    return false;
  }
  TImageProperties& p = Properties();
  try {
    const GifScreenDescriptor screen = ReadGifScreenDescriptor(stream);
    p.FormatVersion = VersionNumber(signature.data() + 3);
    p.ColorScheme = ColorScheme::schIndexed;
    p.SamplesPerPixel = 1;
    p.Compression = CompressionType::cmpLZW;
    p.BitsPerSample = std::uint8_t(screen.HasGlobalTable() ? screen.TableBits() : 8);
    p.Width = screen.width;
    p.Height = screen.height;
    if (screen.HasGlobalTable()) stream.Skip(std::int64_t(screen.TableEntries() * 3));
    const std::uint8_t block = SkipToGifImage(stream);
    if (block == 0) return TImportGraphic::ReadProperties(stream, image_index);  // neither image nor trailer
    if (block == GifBlock::kImage) {
      const GifImageDescriptor image = ReadGifImageDescriptor(stream);
      if (image.width != 0) p.Width = image.width;
      if (image.height != 0) p.Height = image.height;
      if (image.HasLocalTable()) p.BitsPerSample = std::uint8_t(image.TableBits());
      p.HasLocalPalette = image.HasLocalTable();
      p.Interlaced = image.Interlaced();
    }
    p.BitsPerPixel = p.BitsPerSample;
  } catch (const EReadError&) {
    // The file ends inside the header or the blocks before the image: nothing of what
    // was read is kept.
    return TImportGraphic::ReadProperties(stream, image_index);
  }
  return true;
}

void TGIFGraphic::LoadFromStream(TStream& stream) {
  ReleaseHandle();
  base_position_ = stream.Position();
  try {
    LoadFirstImage(stream);
  } catch (const EReadError&) {
    Fail(msg::kStreamReadError);
  }
}

void TGIFGraphic::LoadFirstImage(TStream& stream) {
  if (!ReadProperties(stream, 0)) Fail(msg::kInvalidImage);
  stream.SetPosition(base_position_);
  StartProgress(msg::kPreparing);

  stream.Skip(kGifSignatureSize);
  const GifScreenDescriptor screen = ReadGifScreenDescriptor(stream);
  SetPixelFormat(TPixelFormat::pf8bit);
  Palette palette;
  if (screen.HasGlobalTable()) palette = ReadGifColorTable(stream, screen.TableEntries());
  const std::uint8_t block = SkipToGifImage(stream);
  EndProgress(msg::kPreparing);
  // A file without images has nothing to show.
  if (block == GifBlock::kTrailer) Fail(msg::kInvalidImage);
  if (block != GifBlock::kImage) throw EReadError();

  StartProgress(msg::kLoadingData);
  const GifImageDescriptor image = ReadGifImageDescriptor(stream);
  const std::uint32_t width = image.width != 0 ? image.width : screen.width;
  const std::uint32_t height = image.height != 0 ? image.height : screen.height;
  // The image's own table stands in for the global one.
  if (image.HasLocalTable()) palette = ReadGifColorTable(stream, image.TableEntries());
  const int code_size = stream.ReadByte();
  if (code_size < 1 || code_size > kMaxMinimumCodeSize) {
    GraphicError(msg::kUnsupportedFeature, {"LZW code size " + std::to_string(code_size), kShortName});
  }
  if (width == 0 || height == 0) Fail(msg::kInvalidImage);
  bool data_complete = true;
  const std::vector<std::uint8_t> data = ReadGifSubBlocks(stream, &data_complete);

  // The decoder writes no more than the image holds; pixels it cannot produce from the
  // data stay index 0. A picture the data cannot plausibly describe is refused before
  // anything is allocated for it.
  CheckCodedSize(kShortName, width, height, data.size(), kLzwPixelsPerByte);
  std::vector<std::uint8_t> pixels(std::size_t(width) * height);
  TGIFLZWDecoder decoder{unsigned(code_size)};
  decoder.DecodeInit();
  const std::uint8_t* source = data.data();
  std::uint8_t* dest = pixels.data();
  decoder.Decode(source, dest, data.size(), pixels.size());
  decoder.DecodeEnd();
  // Data that ends before the picture does (cut off, or closed early) gives the rows
  // it holds; without a single row there is nothing to show.
  const std::size_t rows_decoded = decoder.Produced() / width;
  if (decoder.Produced() < pixels.size() && rows_decoded == 0)
    Fail(data_complete ? msg::kInvalidImage : msg::kStreamReadError);

  SetSize(int(width), int(height));
  SetPalette(std::move(palette));
  StartProgress(msg::kTransfering);
  const std::vector<std::uint32_t> order = GifRowOrder(height, image.Interlaced());
  // Interlaced images report progress during their last pass (the odd rows) only.
  const std::size_t last_pass_start = image.Interlaced() ? order.size() - height / 2 : 0;
  for (std::size_t n = 0; n < order.size(); ++n) {
    std::memcpy(ScanLine(int(order[n])), pixels.data() + n * width, width);
    if (n >= last_pass_start) RowProgress(std::uint32_t(n + 1), height, msg::kTransfering);
  }
  if (decoder.Produced() < pixels.size()) {
    LeaveMissingRowsWhite(order, rows_decoded);
    Warning(FormatMessage(msg::kImageCutShort, {kShortName}));
  }
  EndProgress(msg::kTransfering);
}

void TGIFGraphic::LeaveMissingRowsWhite(const std::vector<std::uint32_t>& order, std::size_t rows_decoded) {
  // A palette need not hold white: the picture becomes 24-bit.
  const int width = Width(), height = Height();
  const Palette palette = PaletteRef();
  std::vector<std::uint8_t> indices(std::size_t(width) * std::size_t(height));
  for (int y = 0; y < height; ++y)
    std::memcpy(&indices[std::size_t(y) * std::size_t(width)], ScanLine(y), std::size_t(width));
  SetPixelFormat(TPixelFormat::pf24bit);
  SetSize(width, height);  // white
  SetPalette({});
  for (std::size_t n = 0; n < rows_decoded; ++n) {
    const std::uint8_t* in = &indices[std::size_t(order[n]) * std::size_t(width)];
    std::uint8_t* out = ScanLine(int(order[n]));
    for (int x = 0; x < width; ++x, out += 3) {
      const bool known = in[x] < palette.size();
      out[0] = known ? palette[in[x]].blue : 0;
      out[1] = known ? palette[in[x]].green : 0;
      out[2] = known ? palette[in[x]].red : 0;
    }
  }
}

}  // namespace qel
