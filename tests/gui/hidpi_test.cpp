// The picture on a scaled screen (run with QT_SCALE_FACTOR 2 and 1.5 as well as 1):
// drawn smaller, it is resampled to the device pixels it covers, not to the window's
// size and then enlarged; at 100 % each picture pixel lies on one device pixel. The
// title keeps the window's sizes until the user zooms.
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

Picture Checkerboard(int width, int height) {
  Picture picture = NewPicture(width, height, RGBColor(255, 255, 255));
  for (int y = 0; y < height; ++y) {
    for (int x = y % 2; x < width; x += 2) picture.SetPixel(x, y, RGBColor(0, 0, 0));
  }
  return picture;
}

// Whether the device pixels from the picture's corner on are the picture's, as far as
// the control shows them.
bool ShowsDevicePixels(TImageRect* img, const Picture& expected) {
  const QImage shown = img->grab().toImage().convertToFormat(QImage::Format_BGR888);
  const QPoint at = img->PictureOrigin();
  const int width = std::min(expected.Width(), shown.width() - at.x());
  for (int y = 0; y < std::min(expected.Height(), shown.height() - at.y()); ++y) {
    if (std::memcmp(shown.constScanLine(at.y() + y) + at.x() * 3, expected.Row(y), std::size_t(width) * 3) !=
        0)
      return false;
  }
  return width > 0;
}

}  // namespace

class HiDpiTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void DrawnSmallerResampledToDevicePixelsAnd100PercentOneToOne() {
    Folder folder;
    const Picture checker = Checkerboard(2400, 1800);
    Viewer v(folder.Picture("checker.bmp", checker));
    QCOMPARE(v.Title(), QString("300 x 225 pix [0] (checker.bmp)"));
    TImageRect* img = v.form->Img();
    QTRY_VERIFY_WITH_TIMEOUT(img->ResampledView() != nullptr, 20000);
    const qreal dpr = img->devicePixelRatioF();
    const int width = int(std::lround(300 * dpr)), height = int(std::lround(225 * dpr));
    QCOMPARE(img->ResampledView()->Width(), width);
    Picture expected = checker;
    ResizePicture(expected, width, height, kFilterLanczos3);
    SharpenPicture(expected, commands::kSharpenStrength);  // "Sharpen after resize" is on
    QVERIFY(ShowsDevicePixels(img, expected));

    v.Drop({folder.Picture("small.bmp", Checkerboard(120, 90))});
    v.Key(Qt::Key_1);
    QCOMPARE(v.Title(), QString("120 x 90 pix [1] (small.bmp) - 100%"));
    QVERIFY(ShowsDevicePixels(img, Checkerboard(120, 90)));
  }
};

QTEST_MAIN(HiDpiTest)
#include "hidpi_test.moc"
