#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "platform/picture_image.h"
#include "platform/qt_services.h"

namespace qel {

namespace {

class QtClipboard final : public Clipboard {
 public:
  bool HasBitmap() const override {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasImage();
  }

  std::optional<Picture> GetBitmap() const override {
    if (!HasBitmap()) return std::nullopt;
    const QImage image = QGuiApplication::clipboard()->image();
    if (image.isNull()) return std::nullopt;
    return PictureFromImage(image);
  }

  void SetBitmap(const Picture& picture) override {
    if (picture.Empty()) return;
    QGuiApplication::clipboard()->setImage(ImageFromPicture(picture));
  }
};

}  // namespace

std::unique_ptr<Clipboard> MakeQtClipboard() {
  return std::make_unique<QtClipboard>();
}

}  // namespace qel
