// How the window draws its picture: the exact pixels at the picture's own size, the
// program's own resampler with the filter of the options when drawn smaller (computed
// aside, once for each size, a quick scaling standing in meanwhile), a smooth scaling
// when drawn larger.
#include <QImage>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

#include "app/display_resampler.h"
#include "app/form1.h"
#include "app/image_rect.h"
#include "gui/helpers/viewer_fixture.h"
#include "imaging/resample.h"

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

Picture Resized(Picture picture, int width, int height, int filter) {
  ResizePicture(picture, width, height, filter);
  return picture;
}

// What the drawing surface shows inside the rectangle, as a picture.
Picture Shown(TImageRect* img, int width, int height) {
  const QImage image = img->grab(QRect(0, 0, width, height)).toImage().convertToFormat(QImage::Format_RGB888);
  Picture picture = NewPicture(image.width(), image.height(), kNoColor);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y);
      picture.SetPixel(x, y, RGBColor(std::uint8_t(qRed(c)), std::uint8_t(qGreen(c)), std::uint8_t(qBlue(c))));
    }
  }
  return picture;
}

// The lowest and highest channel value of the picture.
std::pair<int, int> Range(const Picture& picture) {
  int low = 255, high = 0;
  for (int y = 0; y < picture.Height(); ++y) {
    for (std::size_t i = 0; i < std::size_t(picture.Width()) * 3; ++i) {
      low = std::min<int>(low, picture.Row(y)[i]);
      high = std::max<int>(high, picture.Row(y)[i]);
    }
  }
  return {low, high};
}

}  // namespace

class DisplayTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void ASmallerDrawnPictureIsResampledWithTheFilterOfTheOptions() {
    Folder folder;
    const Picture checker = Checkerboard(2400, 1800);
    Viewer v(folder.Picture("checker.bmp", checker));
    QCOMPARE(v.Title(), QString("300 x 225 pix [0] (checker.bmp)"));
    TImageRect* img = v.form->Img();
    QTRY_VERIFY_WITH_TIMEOUT(img->ResampledView() != nullptr, kWait);
    const Picture lanczos = Resized(checker, 300, 225, kFilterLanczos3);
    QVERIFY(SamePixels(*img->ResampledView(), lanczos));
    const Picture shown = Shown(img, 300, 225);
    QVERIFY(SamePixels(shown, lanczos));
    const auto [low, high] = Range(shown);
    QVERIFY2(low >= 96 && high <= 160, qPrintable(QString("grey from %1 to %2").arg(low).arg(high)));

    // Another filter from the options: resampled anew, as "Resize image" would.
    TOptionValues options = v.Doc().Options;
    options.Filter = kFilterBox;
    v.form->SetOptionValues(options, false);
    QTRY_VERIFY_WITH_TIMEOUT(img->ResampledView() != nullptr, kWait);
    QVERIFY(SamePixels(Shown(img, 300, 225), Resized(checker, 300, 225, kFilterBox)));

    // A changed picture is resampled again.
    v.form->Item("Grayimage1")->trigger();
    v.form->Item("Darkenimage1")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(img->ResampledView() != nullptr, kWait);
    QVERIFY(SamePixels(*img->ResampledView(), Resized(v.Doc().Current(), 300, 225, kFilterBox)));
  }

  void APictureAtItsOwnSizeShowsItsExactPixels() {
    Folder folder;
    const Picture pattern = PatternPicture(64, 48);
    Viewer v(folder.Picture("small.bmp", pattern));
    QCOMPARE(v.Title(), QString("64 x 48 pix [0] (small.bmp)"));
    QVERIFY(SamePixels(Shown(v.form->Img(), 64, 48), pattern));
    QVERIFY(v.form->Img()->ResampledView() == nullptr);
  }

  void ALargerDrawnPictureIsScaledSmoothly() {
    Folder folder;
    Picture two = NewPicture(2, 1, RGBColor(0, 0, 0));
    two.SetPixel(1, 0, RGBColor(255, 255, 255));
    Viewer v(folder.Picture("two.bmp", two));
    v.form->Item("Allowoversize1")->trigger();
    v.form->FormResize();
    QCOMPARE(v.Title(), QString("300 x 150 pix [0] (two.bmp)"));
    const Picture shown = Shown(v.form->Img(), 300, 150);
    // Between the two pixels' centres the row runs through the greys.
    QVERIFY(RedOf(shown.Pixel(75, 75)) < 40);
    QVERIFY(RedOf(shown.Pixel(150, 75)) > 60 && RedOf(shown.Pixel(150, 75)) < 195);
    QVERIFY(RedOf(shown.Pixel(225, 75)) > 215);
  }

  void WhileTheSizeChangesAQuickScalingStandsIn() {
    Folder folder;
    const Picture checker = Checkerboard(800, 600);
    Viewer v(folder.Picture("checker.bmp", checker));
    TImageRect* img = v.form->Img();
    QTRY_VERIFY_WITH_TIMEOUT(img->ResampledView() != nullptr, kWait);
    // A drag through several sizes: each shows at once, scaled quickly; the picture is
    // resampled for the size where the drag stops.
    for (int width = 310; width <= 400; width += 10) {
      v.SetClientSize(width, 300);
      QVERIFY(img->ResampledView() == nullptr);
      QCOMPARE(Shown(img, width, 300).Width(), width);
    }
    QTRY_VERIFY_WITH_TIMEOUT(img->ResampledView() != nullptr, kWait);
    QVERIFY(SamePixels(*img->ResampledView(), Resized(checker, 400, 300, kFilterLanczos3)));
  }

  void OnlyTheLatestRequestIsDelivered() {
    TDisplayResampler resampler;
    QSignalSpy finished(&resampler, &TDisplayResampler::Finished);
    const Picture checker = Checkerboard(1200, 900);
    const TViewKey first{1, 300, 225, kFilterLanczos3}, second{1, 200, 150, kFilterLanczos3};
    resampler.Request(first, checker);
    resampler.Request(second, checker);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWait);
    QTest::qWait(100);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(resampler.ResultKey(), std::optional<TViewKey>(second));
    QVERIFY(SamePixels(resampler.Result(), Resized(checker, 200, 150, kFilterLanczos3)));
    // A cancelled request delivers nothing.
    resampler.Request(first, checker);
    resampler.Cancel();
    QTest::qWait(300);
    QCOMPARE(finished.count(), 1);
  }
};

QTEST_MAIN(DisplayTest)
#include "display_test.moc"
