#include "import/avif/reader.h"

#include <cstring>

#include "import/avif/handles.h"

namespace qel {

namespace {

// Parses the file's boxes and the primary picture's header; false when that fails.
bool Parse(const avif::Library& library, const avif::Decoder& decoder, std::span<const std::uint8_t> file) {
  avifDecoder* d = decoder.Get();
  if (!d) return false;
  d->maxThreads = 1;
  d->ignoreExif = AVIF_TRUE;
  d->ignoreXMP = AVIF_TRUE;
  // Files of encoders that leave out a box the format asks for still show.
  d->strictFlags = AVIF_STRICT_DISABLED;
  return library.avifDecoderSetIOMemory(d, file.data(), file.size()) == AVIF_RESULT_OK &&
         library.avifDecoderParse(d) == AVIF_RESULT_OK;
}

TLibraryGraphic::Header HeaderOf(const avifDecoder& decoder) {
  TLibraryGraphic::Header header;
  header.width = decoder.image->width;
  header.height = decoder.image->height;
  header.bits_per_sample = std::uint8_t(decoder.image->depth);
  header.alpha = decoder.alphaPresent;
  return header;
}

// The orientation turns (as TBitmap::ApplyOrientation takes them) that show the picture
// upright: first the rotation (anticlockwise quarter turns), then the mirroring.
void TurnUpright(const avifImage& image, TBitmap& bitmap) {
  if (image.transformFlags & AVIF_TRANSFORM_IROT) {
    constexpr int kAnticlockwise[] = {1, 8, 3, 6};
    bitmap.ApplyOrientation(kAnticlockwise[image.irot.angle & 3]);
  }
  if (image.transformFlags & AVIF_TRANSFORM_IMIR) bitmap.ApplyOrientation(image.imir.mode == 0 ? 4 : 2);
}

}  // namespace

const GraphicClass& TAVIFGraphic::StaticClass() {
  static const GraphicClass cls("TAVIFGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TAVIFGraphic>);
  return cls;
}

bool TAVIFGraphic::HasSignature(std::span<const std::uint8_t> head) const {
  return head.size() >= 12 && std::memcmp(head.data() + 4, "ftyp", 4) == 0 &&
         (std::memcmp(head.data() + 8, "avif", 4) == 0 || std::memcmp(head.data() + 8, "avis", 4) == 0);
}

std::optional<TLibraryGraphic::Header> TAVIFGraphic::ReadHeader(std::span<const std::uint8_t> file) const {
  const avif::Library library;
  if (!library.Ok()) return std::nullopt;
  const avif::Decoder decoder(library);
  if (!Parse(library, decoder, file)) return std::nullopt;
  return HeaderOf(*decoder.Get());
}

void TAVIFGraphic::Decode(std::span<const std::uint8_t> file) {
  const avif::Library library;
  if (!library.Ok()) LibraryMissing(library.shared);
  const avif::Decoder decoder(library);
  if (!Parse(library, decoder, file)) InvalidFile();
  avifDecoder* d = decoder.Get();
  const Header header = HeaderOf(*d);
  PrepareBitmap(header);
  if (library.avifDecoderNextImage(d) != AVIF_RESULT_OK) DamagedData();
  // The picture decoded must be the one the header announced.
  if (d->image->width != header.width || d->image->height != header.height) DamagedData();
  avifRGBImage rgb;
  library.avifRGBImageSetDefaults(&rgb, d->image);
  rgb.depth = 8;
  rgb.format = header.alpha ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_BGR;
  rgb.pixels = ScanLine(0);
  rgb.rowBytes = std::uint32_t(RowSize());
  if (library.avifImageYUVToRGB(d->image, &rgb) != AVIF_RESULT_OK) DamagedData();
  RowsDone(Height());
  TurnUpright(*d->image, *this);
}

}  // namespace qel
