#include "app/image_rect.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace qel {

TRect ComputeDrawRect(int w, int h, int cw, int ch, bool stretch, bool proportional) {
  int width = w, height = h;
  if (stretch || (proportional && (w > cw || h > ch))) {
    if (proportional && w > 0 && h > 0) {
      // The aspect is kept in double precision; the scaled side is formed in extended
      // precision and truncated, so 225 x (800 / 1200) gives 149, not 150.
      const double aspect = double(w) / double(h);
      const long double a = aspect;
      if (w > h) {
        width = cw;
        height = int(std::trunc(static_cast<long double>(cw) / a));
        if (height > ch) {
          height = ch;
          width = int(std::trunc(static_cast<long double>(ch) * a));
        }
      } else {
        height = ch;
        width = int(std::trunc(static_cast<long double>(ch) * a));
        if (width > cw) {
          width = cw;
          height = int(std::trunc(static_cast<long double>(cw) / a));
        }
      }
    } else {
      width = cw;
      height = ch;
    }
  }
  return TRect{0, 0, width, height};
}

TImageRect::TImageRect(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
}

void TImageRect::SetPicture(const Picture* picture) {
  picture_ = picture;
  PictureChanged();
}

void TImageRect::PictureChanged() {
  if (!aligned_ && picture_ && !picture_->Empty()) resize(picture_->Width(), picture_->Height());
  update();
}

void TImageRect::SetStretch(bool on) {
  stretch_ = on;
  update();
}

void TImageRect::SetProportional(bool on) {
  proportional_ = on;
  update();
}

void TImageRect::SetAligned(bool on) {
  aligned_ = on;
  if (!on) {
    const bool empty = !picture_ || picture_->Empty();
    resize(empty ? 0 : picture_->Width(), empty ? 0 : picture_->Height());
  }
  update();
}

TRect TImageRect::DrawRect() const {
  const bool empty = !picture_ || picture_->Empty();
  return ComputeDrawRect(empty ? 0 : picture_->Width(), empty ? 0 : picture_->Height(), width(), height(),
                         stretch_, proportional_);
}

void TImageRect::SetSelectionFrame(std::optional<QRect> frame) {
  if (frame_) update(frame_->normalized().adjusted(-1, -1, 2, 2));
  frame_ = frame;
  if (frame_) update(frame_->normalized().adjusted(-1, -1, 2, 2));
}

void TImageRect::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (picture_ && !picture_->Empty()) {
    const TRect d = DrawRect();
    // The rows are wrapped, not copied: the picture's bytes are blue, green, red with
    // its own row stride.
    const QImage rows(picture_->Row(0), picture_->Width(), picture_->Height(), qsizetype(picture_->RowSize()),
                      QImage::Format_BGR888);
    painter.drawImage(QRect(d.left, d.top, d.Width(), d.Height()), rows);
  }
  if (frame_) {
    // A dotted frame that inverts what lies beneath it, so it shows on any picture.
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    QPen pen(Qt::white);
    pen.setStyle(Qt::DotLine);
    pen.setWidth(1);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QRect frame = frame_->normalized();
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
  }
}

void TImageRect::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  emit MouseDown(event->button(), event->modifiers(), p.x(), p.y());
}

void TImageRect::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  emit MouseMove(event->modifiers(), p.x(), p.y());
}

void TImageRect::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  emit MouseUp(event->button(), event->modifiers(), p.x(), p.y());
}

void TImageRect::mouseDoubleClickEvent(QMouseEvent* event) {
  // The double click is reported first, then the press it also is, so that the
  // gesture works on the point of the first press.
  emit DoubleClick();
  mousePressEvent(event);
}

}  // namespace qel
