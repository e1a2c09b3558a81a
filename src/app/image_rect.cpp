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

namespace {

// The picture's rows as an image, not copied: its bytes are blue, green, red with its
// own row stride.
QImage RowsOf(const Picture& picture) {
  return QImage(picture.Row(0), picture.Width(), picture.Height(), qsizetype(picture.RowSize()),
                QImage::Format_BGR888);
}

}  // namespace

TImageRect::TImageRect(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  settle_timer_.setSingleShot(true);
  settle_timer_.setInterval(kSettleDelay);
  connect(&settle_timer_, &QTimer::timeout, this, &TImageRect::RequestView);
  connect(&resampler_, &TDisplayResampler::Finished, this, &TImageRect::ViewArrived);
}

void TImageRect::SetPicture(const Picture* picture) {
  picture_ = picture;
  PictureChanged();
}

void TImageRect::PictureChanged() {
  ++picture_state_;
  if (!aligned_ && picture_ && !picture_->Empty()) resize(picture_->Width(), picture_->Height());
  RequestView();
  update();
}

void TImageRect::SetStretch(bool on) {
  stretch_ = on;
  RequestView();
  update();
}

void TImageRect::SetProportional(bool on) {
  proportional_ = on;
  RequestView();
  update();
}

void TImageRect::SetResizeOptions(int filter, bool sharpen) {
  if (filter == filter_ && sharpen == sharpen_) return;
  filter_ = filter;
  sharpen_ = sharpen;
  RequestView();
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

std::optional<TViewKey> TImageRect::WantedView() const {
  if (!picture_ || picture_->Empty()) return std::nullopt;
  const TRect d = DrawRect();
  const int w = picture_->Width(), h = picture_->Height();
  // Own size: the exact pixels. Larger both ways: a smooth scaling.
  if (d.Width() <= 0 || d.Height() <= 0 || (d.Width() >= w && d.Height() >= h)) return std::nullopt;
  return TViewKey{picture_state_, d.Width(), d.Height(), filter_, sharpen_};
}

const Picture* TImageRect::ResampledView() const {
  const std::optional<TViewKey> wanted = WantedView();
  if (!wanted || resampler_.ResultKey() != wanted) return nullptr;
  return &resampler_.Result();
}

void TImageRect::RequestView() {
  settle_timer_.stop();
  const std::optional<TViewKey> wanted = WantedView();
  if (!wanted) {
    requested_.reset();
    resampler_.Cancel();
    return;
  }
  if (resampler_.ResultKey() == wanted || requested_ == wanted) return;
  requested_ = wanted;
  resampler_.Request(*wanted, *picture_);
}

void TImageRect::ViewArrived() {
  if (resampler_.ResultKey() != requested_) return;
  requested_.reset();
  update();
  emit ResampledViewReady();
}

void TImageRect::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // While the size keeps changing the quick scaling is shown; the picture is resampled
  // once the size has held for a moment.
  settle_timer_.start();
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
    const QRect target(d.left, d.top, d.Width(), d.Height());
    if (target.size() == QSize(picture_->Width(), picture_->Height())) {
      painter.drawImage(target.topLeft(), RowsOf(*picture_));
    } else if (const Picture* view = ResampledView()) {
      painter.drawImage(target.topLeft(), RowsOf(*view));
    } else {
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(target, RowsOf(*picture_));
    }
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
