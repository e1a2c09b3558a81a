// The view around the specified display: zoom (fit, 100 %, in and out around the
// pointer with + and - or Ctrl+wheel), panning by drag, the picture centred, full
// screen, the key help and the first-start hint. A view the user never zooms keeps the
// specified titles and geometry.
#include <QAction>
#include <QLabel>
#include <QScrollArea>
#include <QTest>
#include <QWheelEvent>

#include "app/command_table.h"
#include "app/image_rect.h"
#include "app/key_help.h"
#include "app/shortcut_keys.h"
#include "app/start_hint.h"
#include "app/view_keys.h"
#include "gui/helpers/options_fixture.h"

using namespace qel;
using namespace qel::test;

namespace {

// The picture pixel under a point of the drawing surface (Qt's coordinates).
QPointF PicturePixelAt(TImageRect* img, QPoint widget_point) {
  const TPoint c = img->ControlPoint(widget_point);
  const TRect d = img->DrawRect();
  const Picture& p = *img->GetPicture();
  return {double(c.x) * p.Width() / d.Width(), double(c.y) * p.Height() / d.Height()};
}

void CtrlWheel(Viewer& v, QPoint at, int angle) {
  QWidget* client = v.form->ScrollArea()->viewport();
  QWheelEvent event(QPointF(at), QPointF(client->mapToGlobal(at)), QPoint(), QPoint(0, angle), Qt::NoButton,
                    Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(v.form->windowHandle(), &event);
}

}  // namespace

class ViewTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void ZoomKeysChangeTheScaleAndTheTitleSaysSoOnlyWhenZoomed() {
    Folder folder;
    Viewer v(folder.Picture(PictureName("wide"), PatternPicture(1200, 800)));
    QCOMPARE(v.Title(), QString("300 x 200 pix [0] (wide.bmp)"));
    v.Key(Qt::Key_1);
    QCOMPARE(v.Title(), QString("1200 x 800 pix [0] (wide.bmp) - 100%"));
    QVERIFY(v.form->Img()->Zoomed());
    QCOMPARE(v.form->Img()->size(), v.form->ClientSize());
    v.Key(Qt::Key_Plus);
    QCOMPARE(v.Title(), QString("1500 x 1000 pix [0] (wide.bmp) - 125%"));
    v.Key(Qt::Key_Minus);
    v.Key(Qt::Key_Minus);
    QCOMPARE(v.Title(), QString("800 x 533 pix [0] (wide.bmp) - 67%"));
    v.Key(Qt::Key_Equal);
    QCOMPARE(v.Title(), QString("1200 x 800 pix [0] (wide.bmp) - 100%"));
    // Zoom to fit brings the specified view back, also with fitting switched off.
    v.Key(Qt::Key_0);
    QCOMPARE(v.Title(), QString("300 x 200 pix [0] (wide.bmp)"));
    QVERIFY(!v.form->Img()->Zoomed());
    v.Key(Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(v.Title(), QString("1200 x 800 pix [0] (wide.bmp)"));
    v.Key(Qt::Key_Plus);
    QCOMPARE(v.Title(), QString("1500 x 1000 pix [0] (wide.bmp) - 125%"));
    QVERIFY(!v.form->HasScrollBars());
    v.Key(Qt::Key_0);
    QVERIFY(v.form->Checked("Fittowindow1"));
    QCOMPARE(v.Title(), QString("300 x 200 pix [0] (wide.bmp)"));
    // A new file is shown fitted; an empty picture does not zoom.
    v.Key(Qt::Key_1);
    v.form->LoadImage(folder.Picture(PictureName("tall"), PatternPicture(800, 1200)));
    QCOMPARE(v.Title(), QString("149 x 225 pix [0] (tall.bmp)"));
    v.Key(Qt::Key_X, Qt::ControlModifier);
    v.Key(Qt::Key_Plus);
    QCOMPARE(v.Title(), QString("0 x 0 pix [0] ()"));
    QVERIFY(v.Messages().empty());
  }

  void ZoomKeepsThePixelUnderThePointerAndADragPans() {
    Folder folder;
    Viewer v(folder.Picture(PictureName("wide"), PatternPicture(1200, 800)));
    TImageRect* img = v.form->Img();
    const QPoint at(200, 150);
    const QPointF before = PicturePixelAt(img, at);
    CtrlWheel(v, at, 120);
    QCOMPARE(v.Title(), QString("400 x 267 pix [0] (wide.bmp) - 33%"));
    QVERIFY((PicturePixelAt(img, at) - before).manhattanLength() < 4);
    // Half a notch does nothing yet, the other half a step; down zooms out.
    CtrlWheel(v, at, 60);
    QVERIFY(v.Title().endsWith("- 33%"));
    CtrlWheel(v, at, 60);
    QVERIFY(v.Title().endsWith("- 50%"));
    CtrlWheel(v, at, -240);
    QVERIFY(v.Title().endsWith("- 25%"));
    QVERIFY((PicturePixelAt(img, at) - before).manhattanLength() < 8);

    // At 100 % a drag moves the picture with the mouse, as far as it goes.
    v.Key(Qt::Key_1);
    const QPoint origin = img->PictureOrigin();
    QTest::mousePress(img, Qt::LeftButton, Qt::NoModifier, QPoint(150, 100));
    QTest::mouseMove(img, QPoint(110, 70));
    QTest::mouseRelease(img, Qt::LeftButton, Qt::NoModifier, QPoint(110, 70));
    QCOMPARE(img->PictureOrigin(), origin + QPoint(-40, -30));
    for (int drag = 0; drag < 3; ++drag) {
      QTest::mousePress(img, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
      QTest::mouseMove(img, QPoint(295, 220));
      QTest::mouseRelease(img, Qt::LeftButton, Qt::NoModifier, QPoint(295, 220));
    }
    QCOMPARE(img->PictureOrigin(), QPoint(0, 0));
    QCOMPARE(v.Title(), QString("1200 x 800 pix [0] (wide.bmp) - 100%"));
  }

  // Unzoomed, the picture sits in the middle of the window; the mouse still works in
  // the specified control coordinates from its top-left corner, and the corners of the
  // window stay the window's.
  void ThePictureIsCentredAndTheGesturesFollowIt() {
    Folder folder;
    Viewer v(folder.Picture(PictureName("small"), PatternPicture(200, 100)));
    TImageRect* img = v.form->Img();
    QCOMPARE(img->PictureOrigin(), QPoint(50, 62));
    QCOMPARE(img->ControlPoint(QPoint(60, 70)), (TPoint{10, 8}));
    v.Press({10, 10}, Qt::AltModifier);
    v.Move({110, 60});
    QCOMPARE(v.form->Selection().SelectionRect, (TRect{60, 72, 160, 122}));
    v.Release({110, 60}, Qt::AltModifier);
    QCOMPARE(v.Doc().Current().Width(), 100);
    QCOMPARE(v.Doc().Current().Pixel(0, 0), PatternPicture(200, 100).Pixel(10, 10));
    // Fitting off: the control has the picture's size and sits in the middle.
    v.Key(Qt::Key_U, Qt::ControlModifier);
    v.Key(Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(img->size(), QSize(200, 100));
    QCOMPARE(img->pos(), QPoint(50, 62));
    // A double click in the margin, in the top-right corner of the window.
    int options = 0;
    v.form->ConnectHandler("Bordersettings1Click", [&] { ++options; });
    v.Key(Qt::Key_F, Qt::ControlModifier);
    v.DoubleClick({290, 5});
    QCOMPARE(options, 1);
  }

  // Zoomed, a selection takes the pixels under it and "Resize image" the size drawn,
  // after which the picture shows at 100 %: the view stays as it was.
  void CropAndResizeWhenZoomed() {
    Folder folder;
    const Picture pattern = PatternPicture(1200, 800);
    Viewer v(folder.Picture(PictureName("wide"), pattern));
    TImageRect* img = v.form->Img();
    v.Key(Qt::Key_Plus);
    QCOMPARE(v.Title(), QString("400 x 267 pix [0] (wide.bmp) - 33%"));
    v.Press({30, 60}, Qt::ShiftModifier);
    v.Move({130, 110});
    QCOMPARE(v.Title(), QString("Crop size: 300 x 150 pixs"));
    v.Release({130, 110}, Qt::ShiftModifier);
    QCOMPARE(v.Doc().Current().Width(), 300);
    QCOMPARE(v.Doc().Current().Pixel(0, 0), pattern.Pixel(90, 180));
    QCOMPARE(v.Title(), QString("100 x 50 pix [0] () - 33%"));
    v.Key(Qt::Key_U, Qt::ControlModifier);
    v.Key(Qt::Key_Minus);
    QCOMPARE(v.Title(), QString("300 x 200 pix [0] (wide.bmp) - 25%"));
    const QPoint origin = img->PictureOrigin();
    v.Key(Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(v.Doc().Current().Width(), 300);
    QCOMPARE(v.Title(), QString("300 x 200 pix [0] (wide.bmp) - 100%"));
    QCOMPARE(img->PictureOrigin(), origin);
  }

  void F11TogglesFullScreenAndF1TheKeyHelp() {
    Viewer v;
    v.Key(Qt::Key_F11);
    QTRY_VERIFY(v.form->isFullScreen());
    v.Key(Qt::Key_F11);
    QTRY_VERIFY(!v.form->isFullScreen());
    QVERIFY(v.form->isVisible());
    v.Key(Qt::Key_F1);
    QWidget* help = v.form->KeyHelp();
    QVERIFY(help && help->isVisible());
    QCOMPARE(help->windowTitle(), QString(kKeyHelpTitle));
    QTest::keyClick(help, Qt::Key_F1);
    QVERIFY(!help->isVisible());
    v.Key(Qt::Key_F1);
    QTest::keyClick(help, Qt::Key_Escape);
    QVERIFY(!help->isVisible());
    QVERIFY(v.form->isVisible());  // Esc in the help closes the help only
  }

  // Every menu shortcut, window key, gesture and view key is listed, each once.
  void TheKeyHelpListsEveryKeyAndGesture() {
    const std::vector<KeyHelpRow> rows = KeyHelpRows();
    QStringList keys;
    for (const KeyHelpRow& row : rows) keys << QString::fromStdString(row.keys);
    QCOMPARE(keys.removeDuplicates(), qsizetype(0));
    QStringList expected = {"Right-click",
                            "Up",
                            "Down",
                            "Delete",
                            "Alt+drag or Shift+drag",
                            "Ctrl+wheel",
                            "Wheel",
                            "Drag",
                            "Drop files or folders"};
    for (const CommandItem& item : CommandTable()) {
      if (item.shortcut)
        expected << KeySequenceFromShortcutCode(item.shortcut).toString(QKeySequence::NativeText);
    }
    for (const ViewKey& key : ViewKeys()) expected << QString::fromStdString(std::string(key.keys));
    for (const char* corner : {"top-left", "bottom-left", "top-right", "bottom-right"})
      expected << QString("Double-click %1 corner").arg(corner);
    for (const QString& key : expected) QVERIFY2(keys.contains(key), qPrintable(key));
    QCOMPARE(keys.size(), expected.size());
    // Every view key does what the list says.
    for (const ViewKey& key : ViewKeys()) {
      const QKeySequence sequence(QString::fromStdString(std::string(key.keys)));
      const int qt_key = sequence[0].key();
      QCOMPARE(ViewActionOfKey(qt_key, VirtualKeyFromQtKey(qt_key), Qt::NoModifier),
               std::optional(key.action));
      QCOMPARE(ViewActionOfKey(qt_key, VirtualKeyFromQtKey(qt_key), Qt::AltModifier), std::nullopt);
    }
  }

  void TheStartHintShowsOnceAndKeepsTheOtherSettings() {
    Folder folder;
    const SettingsLocation fresh{folder.Path("fresh.dat"), false};
    Viewer v;
    QPointer<QLabel> hint = ShowStartHintOnce(v.form.get(), fresh, true);
    QVERIFY(hint && hint->isVisible());
    QCOMPARE(hint->text(), QString("Right-click for the menu"));
    QVERIFY(v.form->rect().contains(hint->geometry()));
    QCOMPARE(v.Title(), QString("0 x 0 pix [0] ()"));
    QVERIFY(!ShowStartHintOnce(v.form.get(), fresh, true));
    // The first key takes it away.
    v.Key(Qt::Key_Down);
    QTRY_VERIFY(hint.isNull());
    // An older file lacks the key: the hint shows once, and the file keeps its lines.
    const std::string older = folder.Path("older.dat");
    WriteTextFile(older, "[Settings]\nFilter=2\nOverWrite=1\n");
    QVERIFY(ShowStartHintOnce(v.form.get(), {older, false}, true));
    QCOMPARE(ReadTextFile(older),
             std::optional<std::string>("[Settings]\nFilter=2\nOverWrite=1\nMenuHintShown=1\n"));
    QVERIFY(!ShowStartHintOnce(v.form.get(), {older, false}, true));
    // Where no settings file is kept, it shows at every start and nothing is written.
    QVERIFY(ShowStartHintOnce(v.form.get(), {folder.Path("usb.dat"), false}, false));
    QVERIFY(!ReadTextFile(folder.Path("usb.dat")));
  }
};

QTEST_MAIN(ViewTest)
#include "view_test.moc"
