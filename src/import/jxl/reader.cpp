#include "import/jxl/reader.h"

#include <cstring>
#include <utility>

#include "import/jxl/handles.h"

namespace qel {

namespace {

// Starts the decoder on the whole file with the events wanted; false when it refuses.
bool Start(const jxl::Library& library, const jxl::Decoder& decoder, std::span<const std::uint8_t> file,
           int events) {
  JxlDecoder* d = decoder.Get();
  if (!d || library.JxlDecoderSubscribeEvents(d, events) != JXL_DEC_SUCCESS ||
      library.JxlDecoderSetInput(d, file.data(), file.size()) != JXL_DEC_SUCCESS)
    return false;
  library.JxlDecoderCloseInput(d);
  return true;
}

// The header as the picture shows: orientations 5 to 8 swap width and height.
TLibraryGraphic::Header HeaderOf(const JxlBasicInfo& info) {
  TLibraryGraphic::Header header;
  header.width = info.xsize;
  header.height = info.ysize;
  if (info.orientation >= JXL_ORIENT_TRANSPOSE) std::swap(header.width, header.height);
  header.bits_per_sample = std::uint8_t(info.bits_per_sample);
  header.alpha = info.alpha_bits > 0;
  header.alpha_kind = info.alpha_premultiplied ? AlphaKind::kAssociated : AlphaKind::kUnassociated;
  return header;
}

// Runs the decoder up to the basic information.
bool ReadBasicInfo(const jxl::Library& library, JxlDecoder* decoder, JxlBasicInfo& info) {
  return library.JxlDecoderProcessInput(decoder) == JXL_DEC_BASIC_INFO &&
         library.JxlDecoderGetBasicInfo(decoder, &info) == JXL_DEC_SUCCESS;
}

}  // namespace

const GraphicClass& TJXLGraphic::StaticClass() {
  static const GraphicClass cls("TJXLGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TJXLGraphic>);
  return cls;
}

bool TJXLGraphic::HasSignature(std::span<const std::uint8_t> head) const {
  // A bare codestream, or the container's signature box; checked here so that telling
  // files apart never has to load the library.
  constexpr std::uint8_t kCodestream[] = {0xFF, 0x0A};
  constexpr std::uint8_t kContainer[] = {0, 0, 0, 0x0C, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0A};
  const auto starts = [&](const std::uint8_t* signature, std::size_t length) {
    return head.size() >= length && std::memcmp(head.data(), signature, length) == 0;
  };
  return starts(kCodestream, sizeof kCodestream) || starts(kContainer, sizeof kContainer);
}

std::optional<TLibraryGraphic::Header> TJXLGraphic::ReadHeader(std::span<const std::uint8_t> file) const {
  const jxl::Library library;
  if (!library.Ok()) return std::nullopt;
  const jxl::Decoder decoder(library);
  JxlBasicInfo info{};
  if (!Start(library, decoder, file, JXL_DEC_BASIC_INFO) || !ReadBasicInfo(library, decoder.Get(), info))
    return std::nullopt;
  return HeaderOf(info);
}

void TJXLGraphic::Decode(std::span<const std::uint8_t> file) {
  const jxl::Library library;
  if (!library.Ok()) LibraryMissing(library.shared);
  const jxl::Decoder decoder(library);
  JxlDecoder* d = decoder.Get();
  JxlBasicInfo info{};
  if (!Start(library, decoder, file, JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE) ||
      !ReadBasicInfo(library, d, info))
    InvalidFile();
  const Header header = HeaderOf(info);
  PrepareBitmap(header);
  const int channels = header.alpha ? 4 : 3;
  // Rows padded to 4 bytes, as the bitmap's are.
  const JxlPixelFormat format{std::uint32_t(channels), JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 4};
  for (;;) {
    const JxlDecoderStatus status = library.JxlDecoderProcessInput(d);
    if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
      std::size_t size = 0;
      const std::size_t bitmap_size = RowSize() * std::size_t(Height());
      if (library.JxlDecoderImageOutBufferSize(d, &format, &size) != JXL_DEC_SUCCESS || size != bitmap_size ||
          library.JxlDecoderSetImageOutBuffer(d, &format, ScanLine(0), bitmap_size) != JXL_DEC_SUCCESS)
        DamagedData();
    } else if (status == JXL_DEC_FULL_IMAGE) {
      break;  // the first frame is the picture
    } else {
      DamagedData();  // an error, data missing, or the end without a frame
    }
  }
  for (int y = 0; y < Height(); ++y) SwapRedAndBlue(ScanLine(y), ScanLine(y), Width(), channels);
  RowsDone(Height());
}

}  // namespace qel
