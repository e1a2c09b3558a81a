// The picture commands: resize to the drawn size, rotations, borders and the image
// effects, each one operation of the imaging library on the current picture.
#include "app/form1.h"
#include "app/image_rect.h"
#include "app/progress_bar.h"
#include "app/zoom_levels.h"
#include "imaging/picture_commands.h"
#include "imaging/rotate.h"

namespace qel {

namespace {

constexpr bool kUndoCopy = true;
constexpr bool kNoUndoCopy = false;
constexpr bool kRefreshTitle = true;
constexpr bool kKeepTitle = false;

// The border commands' settings from the options window.
commands::BorderSettings BorderSettingsOf(const TOptionValues& options) {
  return {options.FrameColor, options.BorderColor, options.BorderWidth};
}

}  // namespace

void TForm1::ConnectPictureCommands() {
  Bind(CommandId::kResizeimage1, &TForm1::Resizeimage1Click);
  Bind(CommandId::kRotateright1, &TForm1::Rotateright1Click);
  Bind(CommandId::kRotateleft1, &TForm1::Rotateleft1Click);
  Bind(CommandId::kBorder1, &TForm1::Border1Click);
  Bind(CommandId::kMakeborder1, &TForm1::Makeborder1Click);
  Bind(CommandId::kLightenimage1, &TForm1::Lightenimage1Click);
  Bind(CommandId::kDarkenimage1, &TForm1::Darkenimage1Click);
  Bind(CommandId::kContrastimage1, &TForm1::Contrastimage1Click);
  Bind(CommandId::kContrastimage2, &TForm1::Contrastimage2Click);
  Bind(CommandId::kSharpenimage1, &TForm1::Sharpenimage1Click);
  Bind(CommandId::kAntialiasimage1, &TForm1::Antialiasimage1Click);
  Bind(CommandId::kGrayimage1, &TForm1::Grayimage1Click);
  Bind(CommandId::kSepiaimage1, &TForm1::Sepiaimage1Click);
}

void TForm1::ChangePicture(bool undo_copy, bool refresh_title,
                           const std::function<void(Picture&)>& operation) {
  Picture& picture = document_.Current();
  if (picture.Empty()) return;
  if (undo_copy) TakeUndoCopy();
  const auto settle = [&] {
    // A picture resampled to a zero side holds nothing at all.
    if (picture.Empty()) picture.Clear();
    PictureChanged();
    if (refresh_title) FormResize();
  };
  try {
    operation(picture);
  } catch (...) {
    settle();
    throw;
  }
  settle();
}

void TForm1::ResizePictureTo(int width, int height) {
  const TOptionValues options = document_.Options;
  ChangePicture(kUndoCopy, kRefreshTitle, [&](Picture& picture) {
    TCommandProgress progress(progress_bar_);
    commands::Resize(picture, width, height, {ResamplerFilter(options.Filter), options.Sharpen}, &progress);
  });
}

void TForm1::Resizeimage1Click() {
  if (document_.Current().Empty()) return;
  const TRect drawn = img_->DrawRect();
  // Zoomed, the picture is resampled to the size it covers on the screen and then shown
  // at its own size there, so that the view stays as it was.
  const bool zoomed = img_->Zoomed();
  const QPoint origin = img_->PictureOrigin();
  ResizePictureTo(drawn.right, drawn.bottom);
  if (zoomed && img_->Zoomed()) {
    img_->SetZoom(kZoomActualSize, origin);
    FormResize();
  }
}

void TForm1::Rotateright1Click() {
  ChangePicture(kNoUndoCopy, kRefreshTitle, [](Picture& picture) { RotateRight(picture); });
}

void TForm1::Rotateleft1Click() {
  ChangePicture(kNoUndoCopy, kRefreshTitle, [](Picture& picture) { RotateLeft(picture); });
}

void TForm1::Border1Click() {
  const commands::BorderSettings border = BorderSettingsOf(document_.Options);
  ChangePicture(kUndoCopy, kKeepTitle, [&](Picture& picture) { commands::DrawBorder(picture, border); });
}

void TForm1::Makeborder1Click() {
  const commands::BorderSettings border = BorderSettingsOf(document_.Options);
  ChangePicture(kUndoCopy, kKeepTitle, [&](Picture& picture) { commands::AddBorder(picture, border); });
}

void TForm1::Lightenimage1Click() {
  ChangePicture(kUndoCopy, kRefreshTitle, commands::Lighten);
}

void TForm1::Darkenimage1Click() {
  ChangePicture(kUndoCopy, kRefreshTitle, commands::Darken);
}

void TForm1::Contrastimage1Click() {
  ChangePicture(kUndoCopy, kRefreshTitle, commands::ContrastUp);
}

void TForm1::Contrastimage2Click() {
  ChangePicture(kUndoCopy, kRefreshTitle, commands::ContrastDown);
}

void TForm1::Sharpenimage1Click() {
  ChangePicture(kUndoCopy, kKeepTitle, commands::Sharpen);
}

void TForm1::Antialiasimage1Click() {
  ChangePicture(kUndoCopy, kRefreshTitle, commands::AntiAlias);
}

void TForm1::Grayimage1Click() {
  ChangePicture(kUndoCopy, kRefreshTitle, commands::Gray);
}

void TForm1::Sepiaimage1Click() {
  ChangePicture(kUndoCopy, kRefreshTitle, commands::Sepia);
}

}  // namespace qel
