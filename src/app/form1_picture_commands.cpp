// The picture commands: resize to the drawn size, rotations, borders and the image
// effects, each one operation of the imaging library on the current picture.
#include <cstdint>

#include "app/form1.h"
#include "app/image_rect.h"
#include "app/progress_bar.h"
#include "imaging/border.h"
#include "imaging/resample.h"
#include "imaging/rotate.h"
#include "imaging/sharpen.h"
#include "imaging/tone.h"

namespace qel {

namespace {

constexpr bool kUndoCopy = true;
constexpr bool kNoUndoCopy = false;
constexpr bool kRefreshTitle = true;
constexpr bool kKeepTitle = false;

constexpr int kLightenAmount = 10;
constexpr int kDarkenAmount = 5;
constexpr int kContrastAmount = 10;
constexpr std::uint8_t kSepiaDepth = 30;

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
    ResizeToRect(picture, TRect{0, 0, width, height}, ResamplerFilter(options.Filter), &progress);
    if (options.Sharpen) SharpenPicture(picture, kSharpenStrength);
  });
}

void TForm1::Resizeimage1Click() {
  if (document_.Current().Empty()) return;
  const TRect drawn = img_->DrawRect();
  ResizePictureTo(drawn.right, drawn.bottom);
}

void TForm1::Rotateright1Click() {
  ChangePicture(kNoUndoCopy, kRefreshTitle, [](Picture& picture) { RotateRight(picture); });
}

void TForm1::Rotateleft1Click() {
  ChangePicture(kNoUndoCopy, kRefreshTitle, [](Picture& picture) { RotateLeft(picture); });
}

void TForm1::Border1Click() {
  const TOptionValues options = document_.Options;
  ChangePicture(kUndoCopy, kKeepTitle, [&](Picture& picture) {
    DrawBorder(picture, options.FrameColor, options.BorderColor, options.BorderWidth);
  });
}

void TForm1::Makeborder1Click() {
  const TOptionValues options = document_.Options;
  ChangePicture(kUndoCopy, kKeepTitle, [&](Picture& picture) {
    AddBorder(picture, options.FrameColor, options.BorderColor, options.BorderWidth);
  });
}

void TForm1::Lightenimage1Click() {
  ChangePicture(kUndoCopy, kRefreshTitle, [](Picture& picture) { LightenPicture(picture, kLightenAmount); });
}

void TForm1::Darkenimage1Click() {
  ChangePicture(kUndoCopy, kRefreshTitle, [](Picture& picture) { DarkenPicture(picture, kDarkenAmount); });
}

void TForm1::Contrastimage1Click() {
  ChangePicture(kUndoCopy, kRefreshTitle,
                [](Picture& picture) { ContrastPicture(picture, kContrastAmount); });
}

void TForm1::Contrastimage2Click() {
  ChangePicture(kUndoCopy, kRefreshTitle,
                [](Picture& picture) { ContrastPicture(picture, -kContrastAmount); });
}

void TForm1::Sharpenimage1Click() {
  ChangePicture(kUndoCopy, kKeepTitle, [](Picture& picture) { SharpenPicture(picture, kSharpenStrength); });
}

void TForm1::Antialiasimage1Click() {
  ChangePicture(kUndoCopy, kRefreshTitle, [](Picture& picture) { AntiAliasPicture(picture); });
}

void TForm1::Grayimage1Click() {
  ChangePicture(kUndoCopy, kRefreshTitle, [](Picture& picture) { GrayPicture(picture); });
}

void TForm1::Sepiaimage1Click() {
  ChangePicture(kUndoCopy, kRefreshTitle, [](Picture& picture) { SepiaPicture(picture, kSepiaDepth); });
}

}  // namespace qel
