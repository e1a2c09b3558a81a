// The screen grab that suits the session: the direct grab in an X session, the
// desktop's screenshot service in a Wayland one.
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <cstring>

#include "platform/screen_grabber.h"

namespace qel {

namespace {

// The desktop's extent in points: every screen.
QRect Desktop() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->virtualGeometry() : QRect();
}

Picture PictureOf(const QImage& image) {
  const QImage rows = image.convertToFormat(QImage::Format_BGR888);
  Picture picture = NewPicture(rows.width(), rows.height(), kNoColor);
  for (int y = 0; y < rows.height(); ++y)
    std::memcpy(picture.Row(y), rows.constScanLine(y), std::size_t(rows.width()) * 3);
  return picture;
}

// The part of a picture of the whole desktop (in device pixels, scale times its size in
// points) that lies under the area, as a picture of the area's size in points; black
// where the picture does not reach.
Picture CutOut(const QImage& desktop_image, const QRect& desktop, const QRect& area) {
  if (area.isEmpty() || desktop.isEmpty()) return NewPicture(area.width(), area.height(), RGBColor(0, 0, 0));
  const double sx = double(desktop_image.width()) / desktop.width();
  const double sy = double(desktop_image.height()) / desktop.height();
  const QRectF source((area.x() - desktop.x()) * sx, (area.y() - desktop.y()) * sy, area.width() * sx,
                      area.height() * sy);
  QImage part(area.size(), QImage::Format_RGB32);
  part.fill(Qt::black);
  {
    QPainter painter(&part);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(0, 0, area.width(), area.height()), desktop_image, source);
  }
  return PictureOf(part);
}

class SessionScreenGrabber final : public ScreenGrabber {
 public:
  SessionScreenGrabber(std::unique_ptr<ScreenGrabber> direct, std::unique_ptr<ScreenshotSource> service,
                       SessionKind session)
      : direct_(std::move(direct)), service_(std::move(service)), session_(session) {}

  Picture Grab(const QRect& area) override {
    if (area.isEmpty()) return {};
    if (session_ == SessionKind::kX11) return direct_->Grab(area);
    return CutOut(Screenshot(false), Desktop(), area);
  }

  bool ReadsLive() override { return session_ == SessionKind::kX11 && direct_->ReadsLive(); }
  bool KnowsWindowPlace() override { return session_ != SessionKind::kWayland; }
  Picture PickArea() override { return PictureOf(Screenshot(true)); }

 private:
  QImage Screenshot(bool interactive) {
    QImage image = service_ ? service_->TakeScreenshot(interactive) : QImage();
    if (image.isNull()) throw ECaptureUnavailable();
    return image;
  }

  std::unique_ptr<ScreenGrabber> direct_;
  std::unique_ptr<ScreenshotSource> service_;
  SessionKind session_;
};

}  // namespace

std::unique_ptr<ScreenGrabber> MakeSessionScreenGrabber(std::unique_ptr<ScreenGrabber> direct,
                                                        std::unique_ptr<ScreenshotSource> service,
                                                        SessionKind session) {
  return std::make_unique<SessionScreenGrabber>(std::move(direct), std::move(service), session);
}

SessionKind SessionKindOf(std::string_view qt_platform, std::string_view wayland_display,
                          std::string_view session_type) {
  if (qt_platform.starts_with("wayland")) return SessionKind::kWayland;
  if (!wayland_display.empty() || session_type == "wayland") return SessionKind::kXwayland;
  return SessionKind::kX11;
}

SessionKind CurrentSessionKind() {
  const QByteArray display = qgetenv("WAYLAND_DISPLAY");
  const QByteArray type = qgetenv("XDG_SESSION_TYPE");
  const QByteArray platform = QGuiApplication::platformName().toUtf8();
  return SessionKindOf(std::string_view(platform.constData(), std::size_t(platform.size())),
                       std::string_view(display.constData(), std::size_t(display.size())),
                       std::string_view(type.constData(), std::size_t(type.size())));
}

}  // namespace qel
