// The Alt-drag (or Shift-drag) selection over the picture and the crop it leads to.
#include "app/form1.h"
#include "app/image_rect.h"
#include "imaging/crop.h"

namespace qel {

namespace {

TRect Moved(const TRect& r, int dx, int dy) {
  return TRect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

}  // namespace

void TForm1::ImgMouseDown(Qt::MouseButton, Qt::KeyboardModifiers modifiers, int x, int y) {
  Guarded([&] {
    selection_.PressPoint = {x, y};
    if (!HoldsCropKey(modifiers)) return;
    if (document_.Current().Empty()) return;
    selection_.Selecting = true;
    const QPoint shift = ControlShift();
    selection_.SelectionRect = Moved(TRect{x, y, x, y}, shift.x(), shift.y());
    img_->SetSelectionFrame(QRect(QPoint(x, y), QPoint(x, y)));
    ShowCropSize();
  });
}

void TForm1::ImgMouseMove(Qt::KeyboardModifiers, int x, int y) {
  Guarded([&] {
    if (!selection_.Selecting) return;
    const TPoint press = selection_.PressPoint;
    const QPoint shift = ControlShift();
    selection_.SelectionRect = Moved(TRect{press.x, press.y, x, y}, shift.x(), shift.y());
    // The frame is drawn on the control, where the window's rectangle lies shifted back.
    const TRect& r = selection_.SelectionRect;
    img_->SetSelectionFrame(QRect(QPoint(r.left - shift.x(), r.top - shift.y()),
                                  QPoint(r.right - shift.x(), r.bottom - shift.y())));
    ShowCropSize();
  });
}

void TForm1::ImgMouseUp(Qt::MouseButton, Qt::KeyboardModifiers modifiers, int, int) {
  Guarded([&] {
    if (!selection_.Selecting) return;
    selection_.Selecting = false;
    img_->SetSelectionFrame(std::nullopt);
    if (HoldsCropKey(modifiers)) CropToSelection(selection_.SelectionRect);
    FormResize();
  });
}

void TForm1::ShowCropSize() {
  const Picture& picture = document_.Current();
  const TCropSize size =
      CropSizeOf(selection_.SelectionRect, img_->DrawRect(), picture.Width(), picture.Height());
  setWindowTitle(QStringLiteral("Crop size: %1 x %2 pixs").arg(size.width).arg(size.height));
}

void TForm1::CropToSelection(const TRect& rect) {
  const QPoint shift = ControlShift();
  const TRect r = Moved(rect, -shift.x(), -shift.y());
  Picture& picture = document_.Current();
  const int w = picture.Empty() ? 0 : picture.Width();
  const int h = picture.Empty() ? 0 : picture.Height();
  const TRect area = SelectionToPicturePixels(r, img_->DrawRect(), w, h);
  // Nothing of the picture under the selection (a click without a drag, a rectangle
  // beside the picture): nothing changes, not even the undo slot.
  if (area.Width() <= 0 || area.Height() <= 0) return;
  TakeUndoCopy();
  CropPicture(picture, area);
  document_.CurrentFileName.clear();
  PictureChanged();
  FormResize();
}

}  // namespace qel
