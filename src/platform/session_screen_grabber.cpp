// The screen grab that suits the session: the direct grab where it sees the screen, the
// desktop's screenshot service where it does not.
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <cstdlib>
#include <cstring>

#include "platform/screen_grabber.h"

namespace qel {

namespace {

bool AllBlack(const Picture& picture) {
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint8_t* row = picture.Row(y);
    for (std::size_t i = 0; i < std::size_t(picture.Width()) * 3; ++i) {
      if (row[i] != 0) return false;
    }
  }
  return true;
}

// The desktop's extent in points: every screen.
QRect Desktop() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->virtualGeometry() : QRect();
}

// The part of a picture of the whole desktop (in device pixels, scale times its size in
// points) that lies under the area, as a picture of the area's size in points; black
// where the picture does not reach.
Picture CutOut(const QImage& desktop_image, const QRect& desktop, const QRect& area) {
  Picture picture = NewPicture(area.width(), area.height(), RGBColor(0, 0, 0));
  if (area.isEmpty() || desktop.isEmpty()) return picture;
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
  part = part.convertToFormat(QImage::Format_BGR888);
  for (int y = 0; y < area.height(); ++y)
    std::memcpy(picture.Row(y), part.constScanLine(y), std::size_t(area.width()) * 3);
  return picture;
}

class SessionScreenGrabber final : public ScreenGrabber {
 public:
  SessionScreenGrabber(std::unique_ptr<ScreenGrabber> direct, std::unique_ptr<ScreenshotSource> service,
                       bool wayland_session)
      : direct_(std::move(direct)), service_(std::move(service)), use_service_(wayland_session) {}

  Picture Grab(const QRect& area) override {
    if (area.isEmpty()) return {};
    if (!use_service_) {
      Picture picture = direct_->Grab(area);
      // A black area may be what the screen shows; a black desktop is a grab that
      // sees nothing.
      if (!AllBlack(picture) || DirectGrabSees()) return picture;
    }
    return FromService(area);
  }

  bool ReadsLive() override { return !use_service_ && DirectGrabSees(); }

 private:
  // Whether the direct grab sees anything of the desktop, found out once: when it sees
  // nothing the service takes over for good, when it sees something it stays.
  bool DirectGrabSees() {
    if (!use_service_ && !direct_sees_) {
      use_service_ = AllBlack(direct_->Grab(Desktop()));
      direct_sees_ = !use_service_;
    }
    return !use_service_;
  }

  Picture FromService(const QRect& area) {
    const QImage desktop_image = service_ ? service_->TakeScreenshot() : QImage();
    if (desktop_image.isNull()) throw ECaptureUnavailable();
    return CutOut(desktop_image, Desktop(), area);
  }

  std::unique_ptr<ScreenGrabber> direct_;
  std::unique_ptr<ScreenshotSource> service_;
  bool use_service_;
  bool direct_sees_ = false;
};

}  // namespace

std::unique_ptr<ScreenGrabber> MakeSessionScreenGrabber(std::unique_ptr<ScreenGrabber> direct,
                                                        std::unique_ptr<ScreenshotSource> service,
                                                        bool wayland_session) {
  return std::make_unique<SessionScreenGrabber>(std::move(direct), std::move(service), wayland_session);
}

bool InWaylandSession() {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  return display && *display;
}

}  // namespace qel
