#include "import/eps/reader.h"

#include <algorithm>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/framework/format_registry.h"
#include "import/framework/messages.h"

namespace qel {

namespace {

// "%!PS" read as a little-endian number: the start of a PostScript file without a
// binary header.
constexpr std::uint32_t kPostScriptStart = 0x53502125u;

// A read-only view of length bytes of another stream, starting at start. Positions
// count from the start of the view, and nothing beyond it can be read.
class TStreamWindow : public TStream {
 public:
  TStreamWindow(TStream& inner, std::uint64_t start, std::uint64_t length)
      : inner_(inner), start_(start), length_(length) {}

  std::size_t Read(void* buffer, std::size_t count) override {
    if (position_ >= length_) return 0;
    count = std::size_t(std::min<std::uint64_t>(count, length_ - position_));
    inner_.SetPosition(start_ + position_);
    const std::size_t n = inner_.Read(buffer, count);
    position_ += n;
    return n;
  }
  std::uint64_t Position() const override { return position_; }
  void SetPosition(std::uint64_t position) override { position_ = position; }
  std::uint64_t Size() const override { return length_; }

 private:
  TStream& inner_;
  std::uint64_t start_;
  std::uint64_t length_;
  std::uint64_t position_ = 0;
};

// The reader of the preview: the import library's TIFF reader.
std::unique_ptr<TImportGraphic> PreviewReader() {
  std::unique_ptr<TImportGraphic> reader = CreateImportReader("tif");
  if (!reader)
    throw EInvalidGraphic(
        FormatMessage(msg::kUnsupportedFeature, {"A TIFF preview is", TEPSGraphic::kFormatName}));
  return reader;
}

[[noreturn]] void InvalidEPS() {
  throw EInvalidGraphic(FormatMessage(msg::kInvalidImage, {TEPSGraphic::kFormatName}));
}

}  // namespace

bool EPSHeader::HasTIFFPreview(std::uint64_t stream_size) const {
  return tiff_offset >= kSize && tiff_length > 0 && tiff_offset <= stream_size &&
         tiff_length <= stream_size - tiff_offset;
}

bool ReadEPSHeader(TStream& stream, EPSHeader& header) {
  std::uint8_t b[EPSHeader::kSize];
  if (stream.Read(b, sizeof b) != sizeof b) return false;
  const auto u32 = [&](std::size_t i) {
    return std::uint32_t(b[i]) | (std::uint32_t(b[i + 1]) << 8) | (std::uint32_t(b[i + 2]) << 16) |
           (std::uint32_t(b[i + 3]) << 24);
  };
  header.magic = u32(0);
  header.postscript_offset = u32(4);
  header.postscript_length = u32(8);
  header.metafile_offset = u32(12);
  header.metafile_length = u32(16);
  header.tiff_offset = u32(20);
  header.tiff_length = u32(24);
  header.checksum = std::uint16_t(b[28] | (b[29] << 8));
  return true;
}

const GraphicClass& TEPSGraphic::StaticClass() {
  static const GraphicClass cls("TEPSGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TEPSGraphic>);
  return cls;
}

bool TEPSGraphic::RecognizesStream(TStream& stream) const {
  const std::uint64_t start = stream.Position();
  bool ok = false;
  try {
    EPSHeader header;
    ok = stream.Remaining() > EPSHeader::kSize && ReadEPSHeader(stream, header) &&
         header.magic == EPSHeader::kMagic && header.HasTIFFPreview(stream.Size() - start);
  } catch (const Error&) {
    ok = false;
  }
  stream.SetPosition(start);
  return ok;
}

bool TEPSGraphic::ReadProperties(TStream& stream, int image_index) {
  const std::uint64_t start = stream.Position();
  EPSHeader header;
  bool ok = false;
  try {
    ok = ReadEPSHeader(stream, header) && header.magic == EPSHeader::kMagic &&
         header.HasTIFFPreview(stream.Size() - start);
  } catch (const Error&) {
    ok = false;
  }
  if (!ok) return TImportGraphic::ReadProperties(stream, image_index);
  TStreamWindow preview(stream, start + header.tiff_offset, header.tiff_length);
  const std::unique_ptr<TImportGraphic> tiff = PreviewReader();
  const bool found = tiff->ReadProperties(preview, image_index);
  Properties() = tiff->ImageProperties();
  return found;
}

void TEPSGraphic::LoadFromStream(TStream& stream) {
  ReleaseHandle();
  const std::uint64_t start = stream.Position();
  EPSHeader header;
  if (!ReadEPSHeader(stream, header)) InvalidEPS();
  if (header.magic != EPSHeader::kMagic) {
    if (header.magic == kPostScriptStart)
      throw EInvalidGraphic(
          FormatMessage(msg::kUnsupportedFeature, {"PostScript without a TIFF preview is", kFormatName}));
    InvalidEPS();
  }
  if (header.tiff_offset == 0 || header.tiff_length == 0)
    throw EInvalidGraphic(
        FormatMessage(msg::kUnsupportedFeature, {"PostScript without a TIFF preview is", kFormatName}));
  if (!header.HasTIFFPreview(stream.Size() - start)) InvalidEPS();
  TStreamWindow preview(stream, start + header.tiff_offset, header.tiff_length);
  const std::unique_ptr<TImportGraphic> tiff = PreviewReader();
  tiff->SetObserver(Observer());
  tiff->LoadFromStream(preview);
  Assign(*tiff);
}

}  // namespace qel
