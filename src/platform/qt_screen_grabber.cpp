#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstring>

#include "platform/qt_services.h"

namespace qel {

namespace {

class QtScreenGrabber final : public ScreenGrabber {
 public:
  Picture Grab(const QRect& area) override {
    if (area.isEmpty()) return {};
    Picture picture = NewPicture(area.width(), area.height(), RGBColor(0, 0, 0));
    for (QScreen* screen : QGuiApplication::screens()) {
      // The server refuses a block that reaches past the screen: grab only the part on it.
      const QRect geometry = screen->geometry();
      const QRect part = area & geometry;
      if (part.isEmpty()) continue;
      const QPoint at = part.topLeft() - geometry.topLeft();
      QImage image = screen->grabWindow(0, at.x(), at.y(), part.width(), part.height()).toImage();
      if (image.isNull()) continue;
      // A scaled screen delivers device pixels; the picture holds one pixel a point.
      if (image.size() != part.size()) image = image.scaled(part.size());
      image = image.convertToFormat(QImage::Format_BGR888);
      const QPoint offset = part.topLeft() - area.topLeft();
      const std::size_t bytes = std::size_t(part.width()) * 3;
      for (int y = 0; y < part.height(); ++y)
        std::memcpy(picture.Row(offset.y() + y) + std::size_t(offset.x()) * 3, image.constScanLine(y), bytes);
    }
    return picture;
  }
};

}  // namespace

std::unique_ptr<ScreenGrabber> MakeQtScreenGrabber() {
  return std::make_unique<QtScreenGrabber>();
}

}  // namespace qel
