#include "app/image_rect.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
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

// A resampled picture larger than this (device pixels) would cost far more memory
// than the screen shows of it: the quick scaling of the part on the screen stands in.
constexpr std::int64_t kLargestView = 32'000'000;

// The picture's rows as an image, not copied: its bytes are blue, green, red with its
// own row stride.
QImage RowsOf(const Picture& picture) {
  return QImage(picture.Row(0), picture.Width(), picture.Height(), qsizetype(picture.RowSize()),
                QImage::Format_BGR888);
}

int Scaled(int length, double scale) {
  return std::max(1, int(std::lround(length * scale)));
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
  if (!HasPicture()) zoomed_ = false;
  if (!aligned_ && !zoomed_ && HasPicture()) resize(picture_->Width(), picture_->Height());
  if (zoomed_) ClampOrigin();
  UpdatePanCursor();
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
  if (!on && !zoomed_) resize(HasPicture() ? picture_->Width() : 0, HasPicture() ? picture_->Height() : 0);
  update();
}

TRect TImageRect::DrawRect() const {
  if (zoomed_ && HasPicture())
    return TRect{0, 0, Scaled(picture_->Width(), scale_), Scaled(picture_->Height(), scale_)};
  return ComputeDrawRect(HasPicture() ? picture_->Width() : 0, HasPicture() ? picture_->Height() : 0, width(),
                         height(), stretch_, proportional_);
}

QSize TImageRect::DeviceSize() const {
  const TRect d = DrawRect();
  if (zoomed_) return {d.Width(), d.Height()};
  const qreal dpr = devicePixelRatioF();
  return {int(std::lround(d.Width() * dpr)), int(std::lround(d.Height() * dpr))};
}

QSize TImageRect::DeviceArea() const {
  const qreal dpr = devicePixelRatioF();
  return {int(std::lround(width() * dpr)), int(std::lround(height() * dpr))};
}

QPoint TImageRect::CentringOffset() const {
  const TRect d = DrawRect();
  return {(width() - d.Width()) / 2, (height() - d.Height()) / 2};
}

QPoint TImageRect::PictureOrigin() const {
  if (zoomed_) return origin_;
  const QPointF offset = QPointF(CentringOffset()) * devicePixelRatioF();
  return offset.toPoint();
}

double TImageRect::ViewScale() const {
  if (zoomed_) return scale_;
  if (!HasPicture()) return 1;
  return std::max(1, DeviceSize().width()) / double(picture_->Width());
}

TPoint TImageRect::ControlPoint(QPointF widget_point) const {
  if (!zoomed_) {
    const QPoint p = widget_point.toPoint() - CentringOffset();
    return {p.x(), p.y()};
  }
  const qreal dpr = devicePixelRatioF();
  return {int(std::floor(widget_point.x() * dpr)) - origin_.x(),
          int(std::floor(widget_point.y() * dpr)) - origin_.y()};
}

QPoint TImageRect::WidgetPoint(TPoint control_point) const {
  if (!zoomed_) return QPoint(control_point.x, control_point.y) + CentringOffset();
  const qreal dpr = devicePixelRatioF();
  return {int(std::lround((control_point.x + origin_.x()) / dpr)),
          int(std::lround((control_point.y + origin_.y()) / dpr))};
}

void TImageRect::SetZoom(double scale, QPoint origin) {
  if (!HasPicture()) return;
  zoomed_ = true;
  scale_ = scale;
  origin_ = origin;
  ClampOrigin();
  UpdatePanCursor();
  RequestView();
  update();
}

void TImageRect::ResetZoom() {
  if (!zoomed_) return;
  zoomed_ = false;
  pan_from_.reset();
  UpdatePanCursor();
  RequestView();
  update();
}

bool TImageRect::PanBy(QPoint distance) {
  if (!zoomed_) return false;
  const QPoint before = origin_;
  origin_ += (QPointF(distance) * devicePixelRatioF()).toPoint();
  ClampOrigin();
  if (origin_ == before) return false;
  update();
  return true;
}

void TImageRect::ClampOrigin() {
  const QSize size = DeviceSize();
  const QSize area = DeviceArea();
  auto clamp = [](int origin, int size, int area) {
    if (size <= area) return (area - size) / 2;
    return std::clamp(origin, area - size, 0);
  };
  origin_ = {clamp(origin_.x(), size.width(), area.width()),
             clamp(origin_.y(), size.height(), area.height())};
}

void TImageRect::UpdatePanCursor() {
  const QSize size = DeviceSize();
  const QSize area = DeviceArea();
  const bool pannable = zoomed_ && (size.width() > area.width() || size.height() > area.height());
  if (!pannable) {
    unsetCursor();
  } else {
    setCursor(pan_from_ ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
  }
}

std::optional<TViewKey> TImageRect::WantedView() const {
  if (!HasPicture()) return std::nullopt;
  const QSize size = DeviceSize();
  const int w = picture_->Width(), h = picture_->Height();
  // Own size: the exact pixels. Larger both ways: a smooth scaling.
  if (size.isEmpty() || (size.width() >= w && size.height() >= h)) return std::nullopt;
  if (std::int64_t(size.width()) * size.height() > kLargestView) return std::nullopt;
  return TViewKey{picture_state_, size.width(), size.height(), filter_, sharpen_};
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
  if (zoomed_) ClampOrigin();
  UpdatePanCursor();
  // While the size keeps changing the quick scaling is shown; the picture is resampled
  // once the size has held for a moment.
  settle_timer_.start();
}

void TImageRect::SetSelectionFrame(std::optional<QRect> frame) {
  frame_ = frame;
  update();
}

void TImageRect::PaintPicture(QPainter& painter) {
  const TRect d = DrawRect();
  const int w = picture_->Width(), h = picture_->Height();
  if (!zoomed_ && d.Width() == w && d.Height() == h) {
    // Its own size in the window's pixels: the exact pixels, each on as many of the
    // screen's as the window's scale gives it.
    painter.drawImage(CentringOffset(), RowsOf(*picture_));
    return;
  }
  // Everything else is drawn in device pixels, so that a resampled picture or a
  // picture at the scale 1 lands on the screen's pixels one to one.
  const qreal dpr = devicePixelRatioF();
  const QSize size = DeviceSize();
  const QPoint at = PictureOrigin();
  if (size.isEmpty()) return;
  painter.save();
  painter.scale(1 / dpr, 1 / dpr);
  if (size == QSize(w, h)) {
    painter.drawImage(at, RowsOf(*picture_));
  } else if (const Picture* view = ResampledView()) {
    painter.drawImage(at, RowsOf(*view));
  } else {
    // Only the part on the control: a picture zoomed far in is never scaled whole.
    const QRect target(at, size);
    const QRect visible = target & QRect(QPoint(0, 0), DeviceArea()).adjusted(-2, -2, 2, 2);
    if (!visible.isEmpty()) {
      const double sx = double(size.width()) / w, sy = double(size.height()) / h;
      const QRectF source((visible.x() - at.x()) / sx, (visible.y() - at.y()) / sy, visible.width() / sx,
                          visible.height() / sy);
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(QRectF(visible), RowsOf(*picture_), source);
    }
  }
  painter.restore();
}

void TImageRect::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (HasPicture()) PaintPicture(painter);
  if (frame_) {
    // A dotted frame that inverts what lies beneath it, so it shows on any picture.
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    QPen pen(Qt::white);
    pen.setStyle(Qt::DotLine);
    pen.setWidth(1);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QRect control = frame_->normalized();
    const QRect frame(WidgetPoint({control.left(), control.top()}),
                      WidgetPoint({control.right(), control.bottom()}));
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
  }
}

void TImageRect::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && !HoldsCropKey(event->modifiers())) {
    pan_from_ = event->globalPosition();
    UpdatePanCursor();
  }
  const TPoint p = ControlPoint(event->position());
  emit MouseDown(event->button(), event->modifiers(), p.x, p.y);
}

void TImageRect::mouseMoveEvent(QMouseEvent* event) {
  if (pan_from_ && (event->buttons() & Qt::LeftButton)) {
    const QPoint distance = (event->globalPosition() - *pan_from_).toPoint();
    if (!distance.isNull()) {
      pan_from_ = *pan_from_ + QPointF(distance);
      if (!PanBy(distance)) emit DragPan(distance);
    }
  }
  const TPoint p = ControlPoint(event->position());
  emit MouseMove(event->modifiers(), p.x, p.y);
}

void TImageRect::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && pan_from_) {
    pan_from_.reset();
    UpdatePanCursor();
  }
  const TPoint p = ControlPoint(event->position());
  emit MouseUp(event->button(), event->modifiers(), p.x, p.y);
}

void TImageRect::mouseDoubleClickEvent(QMouseEvent* event) {
  // The double click is reported first, then the press it also is, so that the
  // gesture works on the point of the first press.
  emit DoubleClick();
  mousePressEvent(event);
}

}  // namespace qel
