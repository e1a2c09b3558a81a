#include "import/heif/reader.h"

#include <cstring>

#include "imaging/picture.h"
#include "import/heif/handles.h"

namespace qel {

namespace {

// Reads the file's boxes and finds the primary picture; false when that fails.
bool Open(const heif::Library& library, const heif::Context& context, heif::ImageHandle& handle,
          std::span<const std::uint8_t> file) {
  if (!context.Get()) return false;
  // libheif refuses larger pictures itself, before it decodes anything.
  library.heif_context_set_maximum_image_size_limit(context.Get(), int(kMaxPictureSide));
  return library.heif_context_read_from_memory_without_copy(context.Get(), file.data(), file.size(), nullptr)
                 .code == heif_error_Ok &&
         library.heif_context_get_primary_image_handle(context.Get(), handle.Out()).code == heif_error_Ok &&
         handle.Get();
}

std::optional<TLibraryGraphic::Header> HeaderOf(const heif::Library& library,
                                                const heif_image_handle* handle) {
  const int width = library.heif_image_handle_get_width(handle);
  const int height = library.heif_image_handle_get_height(handle);
  if (width <= 0 || height <= 0) return std::nullopt;
  TLibraryGraphic::Header header;
  header.width = std::uint32_t(width);
  header.height = std::uint32_t(height);
  const int bits = library.heif_image_handle_get_luma_bits_per_pixel(handle);
  header.bits_per_sample = std::uint8_t(bits > 0 && bits <= 16 ? bits : 8);
  header.alpha = library.heif_image_handle_has_alpha_channel(handle) != 0;
  header.alpha_kind = library.heif_image_handle_is_premultiplied_alpha(handle) ? AlphaKind::kAssociated
                                                                               : AlphaKind::kUnassociated;
  return header;
}

}  // namespace

const GraphicClass& THEIFGraphic::StaticClass() {
  static const GraphicClass cls("THEIFGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<THEIFGraphic>);
  return cls;
}

bool THEIFGraphic::HasSignature(std::span<const std::uint8_t> head) const {
  if (head.size() < 12 || std::memcmp(head.data() + 4, "ftyp", 4) != 0) return false;
  for (const char* brand : {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1"}) {
    if (std::memcmp(head.data() + 8, brand, 4) == 0) return true;
  }
  return false;
}

std::optional<TLibraryGraphic::Header> THEIFGraphic::ReadHeader(std::span<const std::uint8_t> file) const {
  const heif::Library library;
  if (!library.Ok()) return std::nullopt;
  const heif::Context context(library);
  heif::ImageHandle handle(library);
  if (!Open(library, context, handle, file)) return std::nullopt;
  return HeaderOf(library, handle.Get());
}

void THEIFGraphic::Decode(std::span<const std::uint8_t> file) {
  const heif::Library library;
  if (!library.Ok()) LibraryMissing(library.shared);
  const heif::Context context(library);
  heif::ImageHandle handle(library);
  if (!Open(library, context, handle, file)) InvalidFile();
  const std::optional<Header> header = HeaderOf(library, handle.Get());
  if (!header) InvalidFile();
  PrepareBitmap(*header);
  const heif::DecodingOptions options(library);
  if (!options.Get()) DamagedData();
  options.Get()->convert_hdr_to_8bit = 1;
  heif::Image image(library);
  const heif_chroma chroma = header->alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
  if (library.heif_decode_image(handle.Get(), image.Out(), heif_colorspace_RGB, chroma, options.Get()).code !=
          heif_error_Ok ||
      !image.Get())
    DamagedData();
  const int channels = header->alpha ? 4 : 3;
  int stride = 0;
  const std::uint8_t* plane =
      library.heif_image_get_plane_readonly(image.Get(), heif_channel_interleaved, &stride);
  // The decoded picture must be the one the header announced, in 8-bit samples.
  if (!plane || library.heif_image_get_width(image.Get(), heif_channel_interleaved) != Width() ||
      library.heif_image_get_height(image.Get(), heif_channel_interleaved) != Height() ||
      library.heif_image_get_bits_per_pixel(image.Get(), heif_channel_interleaved) != 8 * channels ||
      stride < Width() * channels)
    DamagedData();
  for (int y = 0; y < Height(); ++y) {
    SwapRedAndBlue(plane + std::size_t(stride) * std::size_t(y), ScanLine(y), Width(), channels);
    if ((y & 63) == 63) RowsDone(y + 1);
  }
  RowsDone(Height());
}

}  // namespace qel
