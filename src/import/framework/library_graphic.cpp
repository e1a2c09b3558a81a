#include "import/framework/library_graphic.h"

#include <array>
#include <vector>

#include "imaging/errors.h"
#include "imaging/picture.h"
#include "imaging/stream.h"
#include "import/framework/messages.h"

namespace qel {

bool TLibraryGraphic::RecognizesStream(TStream& stream) const {
  try {
    const std::uint64_t position = stream.Position();
    std::array<std::uint8_t, kSignatureBytes> head{};
    const std::size_t got = stream.Read(head.data(), head.size());
    stream.SetPosition(position);
    return HasSignature(std::span<const std::uint8_t>(head.data(), got));
  } catch (const std::exception&) {
    return false;
  }
}

bool TLibraryGraphic::ReadProperties(TStream& stream, int image_index) {
  TImportGraphic::ReadProperties(stream, image_index);
  const std::uint64_t position = stream.Position();
  const std::vector<std::uint8_t> file = stream.ReadToEnd();
  stream.SetPosition(position);
  const std::optional<Header> header = ReadHeader(file);
  if (!header) return false;
  RecordProperties(*header);
  return true;
}

void TLibraryGraphic::LoadFromStream(TStream& stream) {
  ReleaseHandle();
  SetTransparent(false);
  SetAlphaBlended(false);
  TImportGraphic::ReadProperties(stream, 0);
  base_position_ = stream.Position();
  const std::vector<std::uint8_t> file = stream.ReadToEnd();
  prepared_.reset();
  try {
    Decode(file);
    if (!prepared_) InvalidFile();
  } catch (...) {
    ReleaseHandle();
    throw;
  }
  if (prepared_->alpha) ApplyDeclaredAlpha(*this, prepared_->alpha_kind);
  EndProgress(msg::kTransfering);
}

void TLibraryGraphic::PrepareBitmap(const Header& header) {
  CheckPictureSize(header.width, header.height);
  if (header.width == 0 || header.height == 0) InvalidFile();
  RecordProperties(header);
  SetPixelFormat(header.alpha ? TPixelFormat::pf32bit : TPixelFormat::pf24bit);
  SetSize(int(header.width), int(header.height));
  prepared_ = header;
  StartProgress(kProgressText);
}

void TLibraryGraphic::RecordProperties(const Header& header) {
  TImageProperties& p = Properties();
  p.Width = header.width;
  p.Height = header.height;
  p.ColorScheme = header.alpha ? ColorScheme::schRGBA : ColorScheme::schRGB;
  p.BitsPerSample = header.bits_per_sample;
  p.SamplesPerPixel = header.alpha ? 4 : 3;
  p.BitsPerPixel = std::uint8_t(p.BitsPerSample * p.SamplesPerPixel);
  p.HasAlpha = header.alpha;
}

void TLibraryGraphic::InvalidFile() const {
  GraphicError(msg::kInvalidImage, {FormatName()});
}

void TLibraryGraphic::DamagedData() const {
  GraphicError(msg::kImageCompression, {FormatName()});
}

void TLibraryGraphic::LibraryMissing(const SharedLibrary& library) const {
  GraphicError(msg::kLibraryMissing, {FormatName(), library.FileName()});
}

void SwapRedAndBlue(const std::uint8_t* in, std::uint8_t* out, int width, int channels) {
  for (int x = 0; x < width; ++x, in += channels, out += channels) {
    const std::uint8_t red = in[0];
    out[0] = in[2];
    out[1] = in[1];
    out[2] = red;
    if (channels == 4) out[3] = in[3];
  }
}

}  // namespace qel
