// The Alt-drag selection, its size in the title and the crop.
#include <QAction>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "app/form1.h"
#include "app/image_rect.h"
#include "app/selection.h"
#include "gui/helpers/viewer_fixture.h"

using namespace qel;
using namespace qel::test;

namespace {

// Picture pixel (x, y) of the pattern, for checking where a crop came from.
TColor PatternAt(int x, int y) {
  return RGBColor(std::uint8_t(x), std::uint8_t(y), std::uint8_t(x + y));
}

bool IsPatternPart(const Picture& picture, int left, int top) {
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) {
      if (picture.Pixel(x, y) != PatternAt(left + x, top + y)) return false;
    }
  }
  return true;
}

}  // namespace

class SelectionTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void AltDragShowsTheSizeAndCropsOnRelease() {
    Folder folder;
    const std::string path = folder.Picture(PictureName("wide"), PatternPicture(1200, 800));
    Viewer v(path);
    QCOMPARE(v.Title(), QString("300 x 200 pix [0] (wide.bmp)"));
    v.Press({10, 10}, Qt::AltModifier);
    QVERIFY(v.form->Selection().Selecting);
    QCOMPARE(v.Title(), QString("Crop size: 0 x 0 pixs"));
    v.Move({60, 30});
    v.Move({110, 60});
    QCOMPARE(v.Title(), QString("Crop size: 400 x 200 pixs"));
    QVERIFY(v.form->Img()->SelectionFrame().has_value());
    v.Release({200, 200}, Qt::AltModifier);  // the release point itself is not used
    QVERIFY(!v.form->Selection().Selecting);
    QVERIFY(!v.form->Img()->SelectionFrame().has_value());
    const Picture& cropped = v.Doc().Current();
    QCOMPARE(cropped.Width(), 400);
    QCOMPARE(cropped.Height(), 200);
    QVERIFY(IsPatternPart(cropped, 40, 40));
    QVERIFY(v.Doc().CurrentFileName.empty());
    QCOMPARE(v.Title(), QString("300 x 150 pix [0] ()"));
    v.Key(Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(v.Title(), QString("300 x 200 pix [0] (wide.bmp)"));
    QCOMPARE(v.Doc().Current().Width(), 1200);
  }

  void ReleasingAltFirstCancelsTheCrop() {
    Folder folder;
    Viewer v(folder.Picture(PictureName("wide"), PatternPicture(1200, 800)));
    v.Press({10, 10}, Qt::AltModifier);
    v.Move({110, 60});
    v.Release({110, 60}, Qt::NoModifier);
    QCOMPARE(v.Doc().Current().Width(), 1200);
    QCOMPARE(v.Title(), QString("300 x 200 pix [0] (wide.bmp)"));
    QVERIFY(v.Doc().UndoPicture().Empty());
  }

  void PressWithoutAltOnlyRecordsThePoint() {
    Folder folder;
    Viewer v(folder.Picture(PictureName("wide"), PatternPicture(1200, 800)));
    v.Press({70, 80}, Qt::ShiftModifier, Qt::RightButton);
    QCOMPARE(v.form->Selection().PressPoint, (TPoint{70, 80}));
    QVERIFY(!v.form->Selection().Selecting);
    v.Move({100, 100}, Qt::RightButton);
    v.Release({100, 100}, Qt::AltModifier, Qt::RightButton);
    QCOMPARE(v.Title(), QString("300 x 200 pix [0] (wide.bmp)"));
    QCOMPARE(v.Doc().Current().Width(), 1200);
  }

  void AltPressOnAnEmptyPictureStartsNothing() {
    Viewer v;
    v.Press({10, 10}, Qt::AltModifier);
    QVERIFY(!v.form->Selection().Selecting);
    QCOMPARE(v.Title(), QString("0 x 0 pix [0] ()"));
  }

  void ASelectionWithoutPixelsOfThePictureChangesNothing() {
    Folder folder;
    const std::string wide = folder.Picture(PictureName("wide"), PatternPicture(1200, 800));
    Viewer v(wide);
    // An Alt-click without a drag.
    v.Press({50, 50}, Qt::AltModifier);
    v.Release({50, 50}, Qt::AltModifier);
    QCOMPARE(v.Doc().Current().Width(), 1200);
    QCOMPARE(v.Title(), QString("300 x 200 pix [0] (wide.bmp)"));
    // A drag in the strip below the drawn picture (300 x 200 in a 300 x 225 window).
    v.Press({10, 205}, Qt::AltModifier);
    v.Move({120, 222});
    v.Release({120, 222}, Qt::AltModifier);
    QCOMPARE(v.Doc().Current().Width(), 1200);
    QCOMPARE(v.Doc().Current().Height(), 800);
    QCOMPARE(v.Doc().CurrentFileName, wide);
    QVERIFY(v.Doc().UndoPicture().Empty());
    QCOMPARE(v.Title(), QString("300 x 200 pix [0] (wide.bmp)"));
  }

  void DragToTheUpperLeftShowsNegativeSizesAndCropsTheSameArea() {
    Folder folder;
    Viewer v(folder.Picture(PictureName("wide"), PatternPicture(1200, 800)));
    v.Press({110, 60}, Qt::AltModifier);
    v.Move({10, 10});
    QCOMPARE(v.Title(), QString("Crop size: -400 x -200 pixs"));
    v.Release({10, 10}, Qt::AltModifier);
    QCOMPARE(v.Doc().Current().Width(), 400);
    QCOMPARE(v.Doc().Current().Height(), 200);
    QVERIFY(IsPatternPart(v.Doc().Current(), 40, 40));
  }

  void SelectionReachingOutsideThePictureIsClipped() {
    Folder folder;
    Viewer v(folder.Picture(PictureName("wide"), PatternPicture(1200, 800)));
    // The picture is drawn 300 x 200; the drag runs below it into the empty band and
    // past the window's edge.
    v.Press({250, 150}, Qt::AltModifier);
    v.Move({320, 240});
    QCOMPARE(v.Title(), QString("Crop size: 280 x 360 pixs"));
    v.Release({320, 240}, Qt::AltModifier);
    QCOMPARE(v.Doc().Current().Width(), 200);
    QCOMPARE(v.Doc().Current().Height(), 200);
    QVERIFY(IsPatternPart(v.Doc().Current(), 1000, 600));
  }

  void PictureMappingNormalisesAndClips() {
    const TRect drawn{0, 0, 300, 200};
    QCOMPARE(SelectionToPicturePixels({10, 10, 110, 60}, drawn, 1200, 800), (TRect{40, 40, 440, 240}));
    QCOMPARE(SelectionToPicturePixels({110, 60, 10, 10}, drawn, 1200, 800), (TRect{40, 40, 440, 240}));
    QCOMPARE(SelectionToPicturePixels({-20, -5, 400, 30}, drawn, 1200, 800), (TRect{0, 0, 1200, 120}));
    QCOMPARE(SelectionToPicturePixels({400, 300, 500, 400}, drawn, 1200, 800), (TRect{1200, 800, 1200, 800}));
    // Drawn with no width: nothing of the picture lies under the selection.
    QCOMPARE(SelectionToPicturePixels({1, 1, 5, 5}, TRect{0, 0, 0, 0}, 1200, 800), (TRect{0, 0, 0, 0}));
  }

  void CropWithFittingOffAndTheWindowScrolled() {
    Folder folder;
    Viewer v(folder.Picture(PictureName("big"), PatternPicture(1000, 800)));
    v.Key(Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(v.form->HasScrollBars());
    v.form->ScrollArea()->horizontalScrollBar()->setValue(200);
    v.form->ScrollArea()->verticalScrollBar()->setValue(100);
    // Control coordinates: the window's (20, 30) lies at control (220, 130).
    v.Press({220, 130}, Qt::AltModifier);
    QCOMPARE(v.form->Selection().SelectionRect, (TRect{20, 30, 20, 30}));
    v.Move({270, 150});
    QCOMPARE(v.form->Selection().SelectionRect, (TRect{20, 30, 70, 50}));
    QCOMPARE(v.form->Img()->SelectionFrame(),
             std::optional<QRect>(QRect(QPoint(220, 130), QPoint(270, 150))));
    QCOMPARE(v.Title(), QString("Crop size: 50 x 20 pixs"));
    v.Release({270, 150}, Qt::AltModifier);
    QCOMPARE(v.Doc().Current().Width(), 50);
    QCOMPARE(v.Doc().Current().Height(), 20);
    QVERIFY(IsPatternPart(v.Doc().Current(), 220, 130));
  }
};

QTEST_MAIN(SelectionTest)
#include "selection_test.moc"
