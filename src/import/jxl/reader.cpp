#include "import/jxl/reader.h"

#include <utility>

#include "import/jxl/handles.h"

namespace qel {

namespace {

// Starts the decoder on the whole file with the events wanted; false when it refuses.
bool Start(const jxl::Decoder& decoder, std::span<const std::uint8_t> file, int events) {
  JxlDecoder* d = decoder.Get();
  if (!d || JxlDecoderSubscribeEvents(d, events) != JXL_DEC_SUCCESS ||
      JxlDecoderSetInput(d, file.data(), file.size()) != JXL_DEC_SUCCESS)
    return false;
  JxlDecoderCloseInput(d);
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
bool ReadBasicInfo(JxlDecoder* decoder, JxlBasicInfo& info) {
  return JxlDecoderProcessInput(decoder) == JXL_DEC_BASIC_INFO &&
         JxlDecoderGetBasicInfo(decoder, &info) == JXL_DEC_SUCCESS;
}

}  // namespace

const GraphicClass& TJXLGraphic::StaticClass() {
  static const GraphicClass cls("TJXLGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TJXLGraphic>);
  return cls;
}

bool TJXLGraphic::HasSignature(std::span<const std::uint8_t> head) const {
  const JxlSignature signature = JxlSignatureCheck(head.data(), head.size());
  return signature == JXL_SIG_CODESTREAM || signature == JXL_SIG_CONTAINER;
}

std::optional<TLibraryGraphic::Header> TJXLGraphic::ReadHeader(std::span<const std::uint8_t> file) const {
  jxl::Decoder decoder;
  JxlBasicInfo info{};
  if (!Start(decoder, file, JXL_DEC_BASIC_INFO) || !ReadBasicInfo(decoder.Get(), info)) return std::nullopt;
  return HeaderOf(info);
}

void TJXLGraphic::Decode(std::span<const std::uint8_t> file) {
  jxl::Decoder decoder;
  JxlDecoder* d = decoder.Get();
  JxlBasicInfo info{};
  if (!Start(decoder, file, JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE) || !ReadBasicInfo(d, info))
    InvalidFile();
  const Header header = HeaderOf(info);
  PrepareBitmap(header);
  const int channels = header.alpha ? 4 : 3;
  // Rows padded to 4 bytes, as the bitmap's are.
  const JxlPixelFormat format{std::uint32_t(channels), JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 4};
  for (;;) {
    const JxlDecoderStatus status = JxlDecoderProcessInput(d);
    if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
      std::size_t size = 0;
      const std::size_t bitmap_size = RowSize() * std::size_t(Height());
      if (JxlDecoderImageOutBufferSize(d, &format, &size) != JXL_DEC_SUCCESS || size != bitmap_size ||
          JxlDecoderSetImageOutBuffer(d, &format, ScanLine(0), bitmap_size) != JXL_DEC_SUCCESS)
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
