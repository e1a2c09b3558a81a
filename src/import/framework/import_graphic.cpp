#include "import/framework/import_graphic.h"

#include <algorithm>

#include "imaging/errors.h"
#include "imaging/stream.h"

namespace qel {

const GraphicClass& TImportGraphic::StaticClass() {
  static const GraphicClass cls("TImportGraphic", &TBitmap::StaticClass(), nullptr);
  return cls;
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

}  // namespace qel
