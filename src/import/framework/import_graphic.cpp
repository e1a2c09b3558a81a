#include "import/framework/import_graphic.h"

#include <algorithm>

#include "imaging/errors.h"
#include "imaging/stream.h"

namespace qel {

const GraphicClass& TImportGraphic::StaticClass() {
  static const GraphicClass cls("TImportGraphic", &TBitmap::StaticClass(), nullptr);
  return cls;
}

bool TImportGraphic::RecognizesFile(const std::string& path) const {
  try {
    TFileStream stream(path, TFileStream::Mode::kRead);
    return RecognizesStream(stream);
  } catch (const Error&) {
    return false;
  }
}

bool TImportGraphic::RecognizesStream(TStream&) const {
  return false;
}

bool TImportGraphic::ReadProperties(TStream&, int) {
  properties_ = TImageProperties{};
  properties_.FileGamma = 1.0f;
  return false;
}

void TImportGraphic::Assign(const TImportGraphic& source) {
  if (&source == this) return;
  properties_ = source.properties_;
  SetPixelFormat(source.PixelFormat());
  SetSize(source.Width(), source.Height());
  for (int y = 0; y < source.Height(); ++y) {
    std::copy_n(source.ScanLine(y), source.RowSize(), ScanLine(y));
  }
  SetPalette(source.PaletteRef());
  SetTransparent(source.Transparent());
  SetTransparentColor(source.TransparentColor());
  SetAlphaBlended(source.AlphaBlended());
}

void TImportGraphic::StartProgress(std::string_view message) {
  progress_rect_ = TRect{0, 0, Width(), 0};
  Progress(ProgressStage::kStarting, 0, progress_rect_, message);
}

void TImportGraphic::RowProgress(std::uint32_t rows_done, std::uint32_t total_rows,
                                 std::string_view message) {
  progress_rect_.top = progress_rect_.bottom;
  progress_rect_.bottom = int(rows_done);
  const int percent = total_rows ? int(std::uint64_t(rows_done) * 100 / total_rows) : 100;
  Progress(ProgressStage::kRunning, percent, progress_rect_, message);
}

void TImportGraphic::EndProgress(std::string_view message) {
  Progress(ProgressStage::kEnding, 100, TRect{0, 0, Width(), Height()}, message);
}

void TImportGraphic::GraphicError(std::string_view pattern, std::initializer_list<std::string_view> args) {
  throw EInvalidGraphic(FormatMessage(pattern, args));
}

void SwapShorts(std::uint16_t* words, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) words[i] = std::uint16_t((words[i] >> 8) | (words[i] << 8));
}

std::uint32_t SwapLong(std::uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

void SwapLongs(std::uint32_t* words, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) words[i] = SwapLong(words[i]);
}

void Depredict(std::uint8_t* row, std::size_t pixel_count, int samples_per_pixel) {
  const std::size_t step = std::size_t(samples_per_pixel);
  const std::size_t total = pixel_count * step;
  for (std::size_t i = step; i < total; ++i) row[i] = std::uint8_t(row[i] + row[i - step]);
}

}  // namespace qel
