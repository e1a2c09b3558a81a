#include "platform/picture_image.h"

namespace qel {

QImage ImageFromPicture(const Picture& picture) {
  if (picture.Empty()) return {};
  const QImage rows(picture.Row(0), picture.Width(), picture.Height(), qsizetype(picture.RowSize()),
                    QImage::Format_BGR888);
  // The clipboard keeps its image after the picture changes: convert to a copy.
  return rows.convertToFormat(QImage::Format_RGB32);
}

Picture PictureFromImage(const QImage& image) {
  Picture picture;
  if (image.isNull() || image.width() <= 0 || image.height() <= 0) return picture;
  picture.SetSize(image.width(), image.height());
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  if (argb.isNull()) return Picture();
  for (int y = 0; y < argb.height(); ++y) {
    const auto* source = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    std::uint8_t* target = picture.Row(y);
    for (int x = 0; x < argb.width(); ++x) {
      const QRgb pixel = source[x];
      const int alpha = qAlpha(pixel);
      // Over white: c x a + 255 x (255 - a), divided by 255 with rounding.
      auto over_white = [alpha](int c) {
        return std::uint8_t((c * alpha + 255 * (255 - alpha) + 127) / 255);
      };
      target[3 * x + 0] = over_white(qBlue(pixel));
      target[3 * x + 1] = over_white(qGreen(pixel));
      target[3 * x + 2] = over_white(qRed(pixel));
    }
  }
  return picture;
}

}  // namespace qel
