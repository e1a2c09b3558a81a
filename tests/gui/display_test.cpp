// How the window draws its picture: what "Resize image" makes (the options' filter and
// sharpening) when drawn smaller (computed aside for the size where a resize stops), the
// exact pixels at the picture's own size, a smooth scaling when drawn larger.
#include <QTest>

#include "app/form1.h"
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

// What "Resize image" makes of the picture.
Picture Resized(Picture picture, int width, int height, int filter, bool sharpen) {
  ResizePicture(picture, width, height, filter);
  if (sharpen) SharpenPicture(picture, commands::kSharpenStrength);
  return picture;
}

// What the drawing surface shows in width x height from the picture's top-left corner
// (the picture is centred in the window).
Picture Shown(TImageRect* img, int width, int height) {
  const QImage image = img->grab(QRect(img->PictureOrigin(), QSize(width, height)))
                           .toImage()
                           .convertToFormat(QImage::Format_BGR888);
  Picture picture = NewPicture(width, height, kNoColor);
  for (int y = 0; y < height; ++y)
    std::memcpy(picture.Row(y), image.constScanLine(y), std::size_t(width) * 3);
  return picture;
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
    TImageRect* img = v.form->Img();
    QTRY_VERIFY_WITH_TIMEOUT(img->ResampledView() != nullptr, kWait);
    const Picture shown = Shown(img, 300, 225);
    QVERIFY(SamePixels(shown, Resized(checker, 300, 225, kFilterLanczos3, v.Doc().Options.Sharpen)));
    const auto [low, high] = std::minmax_element(shown.Bytes().begin(), shown.Bytes().end());
    QVERIFY2(*low >= 96 && *high <= 160, qPrintable(QString("grey from %1 to %2").arg(*low).arg(*high)));

    // A drag through several sizes shows each at once, scaled quickly; the picture is
    // resampled for the size where it stops, with the filter the options now hold.
    TOptionValues options = v.Doc().Options;
    options.Filter = kFilterBox;
    options.Sharpen = !options.Sharpen;
    v.form->SetOptionValues(options, false);
    for (int width = 310; width <= 400; width += 30) {
      v.SetClientSize(width, 300);
      QVERIFY(img->ResampledView() == nullptr);
    }
    QTRY_VERIFY_WITH_TIMEOUT(img->ResampledView() != nullptr, kWait);
    QVERIFY(SamePixels(Shown(img, 400, 300), Resized(checker, 400, 300, kFilterBox, options.Sharpen)));

    // A changed picture is resampled again.
    v.form->Item("Darkenimage1")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(img->ResampledView() != nullptr, kWait);
    QVERIFY(
        SamePixels(*img->ResampledView(), Resized(v.Doc().Current(), 400, 300, kFilterBox, options.Sharpen)));
  }

  void OwnSizeShowsTheExactPixelsAndLargerASmoothScaling() {
    Folder folder;
    const Picture pattern = PatternPicture(64, 48);
    Viewer v(folder.Picture("small.bmp", pattern));
    QVERIFY(SamePixels(Shown(v.form->Img(), 64, 48), pattern));
    QVERIFY(v.form->Img()->ResampledView() == nullptr);
    // Two pixels, black and white, enlarged: between their centres the row runs
    // through the greys instead of jumping.
    Picture two = NewPicture(2, 1, RGBColor(0, 0, 0));
    two.SetPixel(1, 0, RGBColor(255, 255, 255));
    v.Drop({folder.Picture("two.bmp", two)});
    v.form->Item("Allowoversize1")->trigger();
    const Picture shown = Shown(v.form->Img(), 300, 150);
    QVERIFY(RedOf(shown.Pixel(75, 75)) < 40 && RedOf(shown.Pixel(225, 75)) > 215);
    QVERIFY(RedOf(shown.Pixel(150, 75)) > 60 && RedOf(shown.Pixel(150, 75)) < 195);
  }
};

QTEST_MAIN(DisplayTest)
#include "display_test.moc"
