#include "import/webp/reader.h"

#include <cstring>

#include "import/webp/handles.h"

namespace qel {

namespace {

bool ReadFeatures(std::span<const std::uint8_t> file, WebPBitstreamFeatures& features) {
  return WebPGetFeatures(file.data(), file.size(), &features) == VP8_STATUS_OK;
}

}  // namespace

const GraphicClass& TWebPGraphic::StaticClass() {
  static const GraphicClass cls("TWebPGraphic", &TImportGraphic::StaticClass(), &MakeGraphic<TWebPGraphic>);
  return cls;
}

bool TWebPGraphic::HasSignature(std::span<const std::uint8_t> head) const {
  return head.size() >= 12 && std::memcmp(head.data(), "RIFF", 4) == 0 &&
         std::memcmp(head.data() + 8, "WEBP", 4) == 0;
}

std::optional<TLibraryGraphic::Header> TWebPGraphic::ReadHeader(std::span<const std::uint8_t> file) const {
  WebPBitstreamFeatures features{};
  if (!ReadFeatures(file, features)) return std::nullopt;
  Header header;
  header.width = std::uint32_t(features.width);
  header.height = std::uint32_t(features.height);
  // The canvas of an animation starts transparent where the first frame leaves it.
  header.alpha = features.has_alpha || features.has_animation;
  return header;
}

void TWebPGraphic::Decode(std::span<const std::uint8_t> file) {
  WebPBitstreamFeatures features{};
  if (!ReadFeatures(file, features)) InvalidFile();
  if (features.has_animation) {
    DecodeFirstFrame(file);
  } else {
    DecodeStill(file);
  }
}

void TWebPGraphic::DecodeStill(std::span<const std::uint8_t> file) {
  const std::optional<Header> header = ReadHeader(file);
  if (!header) InvalidFile();
  PrepareBitmap(*header);
  webp::DecoderConfig config;
  if (!config.Ok()) DamagedData();
  WebPDecBuffer& output = config.Get()->output;
  output.colorspace = header->alpha ? MODE_BGRA : MODE_BGR;
  output.is_external_memory = 1;
  output.u.RGBA.rgba = ScanLine(0);
  output.u.RGBA.stride = int(RowSize());
  output.u.RGBA.size = RowSize() * std::size_t(Height());
  if (WebPDecode(file.data(), file.size(), config.Get()) != VP8_STATUS_OK) DamagedData();
  RowsDone(Height());
}

void TWebPGraphic::DecodeFirstFrame(std::span<const std::uint8_t> file) {
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) DamagedData();
  options.color_mode = MODE_BGRA;
  options.use_threads = 0;
  const WebPData data{file.data(), file.size()};
  webp::AnimDecoder decoder(data, options);
  WebPAnimInfo info{};
  if (!decoder.Get() || !WebPAnimDecoderGetInfo(decoder.Get(), &info)) InvalidFile();
  Header header;
  header.width = info.canvas_width;
  header.height = info.canvas_height;
  header.alpha = true;
  PrepareBitmap(header);
  std::uint8_t* canvas = nullptr;
  int timestamp = 0;
  if (!WebPAnimDecoderGetNext(decoder.Get(), &canvas, &timestamp) || !canvas) DamagedData();
  const std::size_t row_bytes = std::size_t(Width()) * 4;
  for (int y = 0; y < Height(); ++y) std::memcpy(ScanLine(y), canvas + row_bytes * std::size_t(y), row_bytes);
  RowsDone(Height());
}

}  // namespace qel
