// The view: zoom around the mouse pointer, full screen and the key help. None of it
// changes the picture; the title tells a zoomed view by its scale after the name.
#include <QAction>
#include <QCursor>
#include <QScrollArea>

#include "app/form1.h"
#include "app/image_rect.h"
#include "app/key_help.h"
#include "app/view_keys.h"
#include "app/zoom_levels.h"

namespace qel {

namespace {

// The wheel's angle for one notch.
constexpr int kWheelNotch = 120;

}  // namespace

bool TForm1::ViewKeyDown(int qt_key, std::uint16_t virtual_key, Qt::KeyboardModifiers modifiers) {
  const std::optional<ViewAction> action = ViewActionOfKey(qt_key, virtual_key, modifiers);
  if (!action) return false;
  switch (*action) {
    case ViewAction::kZoomIn:
      ZoomIn();
      break;
    case ViewAction::kZoomOut:
      ZoomOut();
      break;
    case ViewAction::kZoomToFit:
      ZoomToFit();
      break;
    case ViewAction::kActualSize:
      ZoomActualSize();
      break;
    case ViewAction::kFullScreen:
      ToggleFullScreen();
      break;
    case ViewAction::kKeyHelp:
      ToggleKeyHelp();
      break;
  }
  return true;
}

void TForm1::ZoomToFit() {
  EndZoom();
  if (!Checked("Fittowindow1")) {
    Item("Fittowindow1")->setChecked(true);
    Fittowindow1Click();
  }
  FormResize();
}

void TForm1::ZoomAround(double scale, QPoint anchor) {
  if (document_.Current().Empty()) return;
  const qreal dpr = img_->devicePixelRatioF();
  // The picture's top-left corner and the anchor in the client area's device pixels.
  const QPointF before =
      QPointF(img_->mapTo(scroll_->viewport(), QPoint(0, 0))) * dpr + QPointF(img_->PictureOrigin());
  const QPointF at = QPointF(anchor) * dpr;
  const QPointF origin = at - (at - before) * (scale / img_->ViewScale());
  // Zoomed, the control fills the client area; its corner is the client area's.
  if (!img_->Zoomed()) img_->setGeometry(0, 0, width(), height());
  img_->SetZoom(scale, origin.toPoint());
  ApplyViewLayout();
  FormResize();
}

namespace {

// The mouse pointer's point of the client area, or its centre when the pointer is
// elsewhere.
QPoint ZoomAnchor(const QWidget* client) {
  const QPoint pointer = client->mapFromGlobal(QCursor::pos());
  return client->rect().contains(pointer) ? pointer : client->rect().center();
}

}  // namespace

void TForm1::ZoomIn() {
  ZoomAround(NextZoomLevel(img_->ViewScale()), ZoomAnchor(scroll_->viewport()));
}

void TForm1::ZoomOut() {
  ZoomAround(PreviousZoomLevel(img_->ViewScale()), ZoomAnchor(scroll_->viewport()));
}

void TForm1::ZoomActualSize() {
  ZoomAround(kZoomActualSize, ZoomAnchor(scroll_->viewport()));
}

void TForm1::ZoomByWheel(int angle, QPoint at) {
  zoom_wheel_angle_ += angle;
  for (; zoom_wheel_angle_ >= kWheelNotch; zoom_wheel_angle_ -= kWheelNotch)
    ZoomAround(NextZoomLevel(img_->ViewScale()), at);
  for (; zoom_wheel_angle_ <= -kWheelNotch; zoom_wheel_angle_ += kWheelNotch)
    ZoomAround(PreviousZoomLevel(img_->ViewScale()), at);
}

void TForm1::ToggleFullScreen() {
  if (isFullScreen()) {
    showNormal();
  } else {
    showFullScreen();
  }
}

void TForm1::ToggleKeyHelp() {
  if (key_help_ && key_help_->isVisible()) {
    key_help_->close();
    return;
  }
  if (!key_help_) key_help_ = new TKeyHelp(this);
  key_help_->show();
  key_help_->raise();
  key_help_->activateWindow();
}

QWidget* TForm1::KeyHelp() const {
  return key_help_.data();
}

}  // namespace qel
