// The picture on a scaled screen (run with QT_SCALE_FACTOR 2 and 1.5 as well as 1):
// drawn smaller, it is resampled to the device pixels it covers, not to the window's
// logical size and then enlarged; at 100 % each picture pixel lies on one device
// pixel. The title keeps the logical sizes until the user zooms.
#include <QTest>
#include <cmath>

#include "app/image_rect.h"
#include "gui/helpers/viewer_fixture.h"
#include "imaging/picture_commands.h"
#include "imaging/resample.h"
#include "imaging/sharpen.h"

using namespace qel;
using namespace qel::test;

namespace {

constexpr int kWait = 20000;

Picture Checkerboard(int width, int height) {
  Picture picture = NewPicture(width, height, RGBColor(255, 255, 255));
  for (int y = 0; y < height; ++y) {
    for (int x = y % 2; x < width; x += 2) picture.SetPixel(x, y, RGBColor(0, 0, 0));
  }
  return picture;
}

// The device pixels the drawing surface shows from the picture's top-left corner on.
Picture ShownDevicePixels(TImageRect* img, QSize size) {
  const QImage image = img->grab().toImage().convertToFormat(QImage::Format_BGR888);
  const QPoint at = img->PictureOrigin();
  Picture picture = NewPicture(size.width(), size.height(), kNoColor);
  for (int y = 0; y < size.height(); ++y)
    std::memcpy(picture.Row(y), image.constScanLine(at.y() + y) + std::size_t(at.x()) * 3,
                std::size_t(size.width()) * 3);
  return picture;
}

}  // namespace

class HiDpiTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    RegisterFormats();
    qInfo("device pixel ratio %g", qApp->devicePixelRatio());
  }

  void APictureDrawnSmallerIsResampledToTheDevicePixels() {
    Folder folder;
    const Picture checker = Checkerboard(2400, 1800);
    Viewer v(folder.Picture("checker.bmp", checker));
    QCOMPARE(v.Title(), QString("300 x 225 pix [0] (checker.bmp)"));
    TImageRect* img = v.form->Img();
    QTRY_VERIFY_WITH_TIMEOUT(img->ResampledView() != nullptr, kWait);
    const qreal dpr = img->devicePixelRatioF();
    const QSize device(int(std::lround(300 * dpr)), int(std::lround(225 * dpr)));
    QCOMPARE(QSize(img->ResampledView()->Width(), img->ResampledView()->Height()), device);
    Picture expected = checker;
    ResizePicture(expected, device.width(), device.height(), kFilterLanczos3);
    if (v.Doc().Options.Sharpen) SharpenPicture(expected, commands::kSharpenStrength);
    const QSize grabbed = img->grab().toImage().size();
    const QSize inside(std::min(device.width(), grabbed.width()),
                       std::min(device.height(), grabbed.height()));
    const Picture shown = ShownDevicePixels(img, inside);
    for (int y = 0; y < inside.height(); ++y) {
      QVERIFY2(std::memcmp(shown.Row(y), expected.Row(y), std::size_t(inside.width()) * 3) == 0,
               qPrintable(QString("device row %1 differs").arg(y)));
    }
  }

  void At100PercentEachPicturePixelIsOneDevicePixel() {
    Folder folder;
    const Picture checker = Checkerboard(120, 90);
    Viewer v(folder.Picture("checker.bmp", checker));
    QCOMPARE(v.Title(), QString("120 x 90 pix [0] (checker.bmp)"));
    v.Key(Qt::Key_1);
    QCOMPARE(v.Title(), QString("120 x 90 pix [0] (checker.bmp) - 100%"));
    QVERIFY(SamePixels(ShownDevicePixels(v.form->Img(), QSize(120, 90)), checker));
  }
};

QTEST_MAIN(HiDpiTest)
#include "hidpi_test.moc"
