// The view around the specified display: zoom (fit, 100 %, in and out around the
// pointer), panning by drag, the picture centred, full screen, the key help and the
// first-start hint. A view the user never zooms keeps the specified titles.
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

class ViewTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void ZoomKeysAndWheelAroundThePointer() {
    Folder folder;
    Viewer v(folder.Picture(PictureName("wide"), PatternPicture(1200, 800)));
    TImageRect* img = v.form->Img();
    const QStringList titles = {"1200 x 800 pix [0] (wide.bmp) - 100%",
                                "1500 x 1000 pix [0] (wide.bmp) - 125%", "800 x 533 pix [0] (wide.bmp) - 67%",
                                "1200 x 800 pix [0] (wide.bmp) - 100%", "300 x 200 pix [0] (wide.bmp)"};
    const Qt::Key keys[] = {Qt::Key_1, Qt::Key_Plus, Qt::Key_Minus, Qt::Key_Equal, Qt::Key_0};
    for (int i = 0; i < titles.size(); ++i) {
      v.Key(keys[i]);
      if (keys[i] == Qt::Key_Minus) v.Key(Qt::Key_Minus);
      QCOMPARE(v.Title(), titles[i]);
    }
    // Ctrl+wheel keeps the picture pixel under the pointer; half notches add up.
    const QPoint at(200, 150);
    const TPoint before = img->ControlPoint(at);
    for (const int angle : {120, 60, 60}) {
      QWidget* client = v.form->ScrollArea()->viewport();
      QWheelEvent wheel(QPointF(at), QPointF(client->mapToGlobal(at)), QPoint(), QPoint(0, angle),
                        Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(v.form->windowHandle(), &wheel);
    }
    QCOMPARE(v.Title(), QString("600 x 400 pix [0] (wide.bmp) - 50%"));
    QVERIFY(std::abs(img->ControlPoint(at).x - before.x * 2) <= 2);
    // A drag moves a picture larger than the window, as far as it goes.
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
    // Fitting off and zoomed: no scroll bars; zoom to fit switches fitting on again. A
    // new file is shown fitted.
    v.Key(Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(v.Title(), QString("1200 x 800 pix [0] (wide.bmp)"));
    v.Key(Qt::Key_Plus);
    QVERIFY(!v.form->HasScrollBars());
    v.Key(Qt::Key_0);
    QVERIFY(v.form->Checked("Fittowindow1"));
    v.Key(Qt::Key_1);
    v.form->LoadImage(folder.Picture(PictureName("tall"), PatternPicture(800, 1200)));
    QCOMPARE(v.Title(), QString("149 x 225 pix [0] (tall.bmp)"));
  }

  // Unzoomed, the picture sits in the middle and the mouse works in the specified
  // control coordinates from its corner; the double-click corners stay the window's.
  // Zoomed, a crop takes the pixels under the selection, and "Resize image" the drawn
  // size, shown at 100 % after it so that the view stays.
  void CentredAndZoomedGeometry() {
    Folder folder;
    const Picture pattern = PatternPicture(200, 100);
    Viewer v(folder.Picture(PictureName("small"), pattern));
    TImageRect* img = v.form->Img();
    QCOMPARE(img->PictureOrigin(), QPoint(50, 62));
    v.Press({10, 10}, Qt::AltModifier);
    v.Move({110, 60});
    QCOMPARE(v.form->Selection().SelectionRect, (TRect{60, 72, 160, 122}));
    v.Release({110, 60}, Qt::AltModifier);
    QCOMPARE(v.Doc().Current().Pixel(0, 0), pattern.Pixel(10, 10));
    int options = 0;
    v.form->ConnectHandler("Bordersettings1Click", [&] { ++options; });
    v.DoubleClick({290, 5});
    QCOMPARE(options, 1);

    v.Key(Qt::Key_U, Qt::ControlModifier);
    v.Key(Qt::Key_Plus);
    QCOMPARE(v.Title(), QString("250 x 125 pix [0] (small.bmp) - 125%"));
    v.Press({25, 50}, Qt::ShiftModifier);
    v.Move({125, 100});
    QCOMPARE(v.Title(), QString("Crop size: 80 x 40 pixs"));
    v.Release({125, 100}, Qt::ShiftModifier);
    QCOMPARE(v.Doc().Current().Pixel(0, 0), pattern.Pixel(20, 40));
    QCOMPARE(v.Title(), QString("100 x 50 pix [0] () - 125%"));
    v.Key(Qt::Key_U, Qt::ControlModifier);
    v.Key(Qt::Key_Minus);
    v.Key(Qt::Key_Minus);
    const QPoint origin = img->PictureOrigin();
    v.Key(Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(v.Title(), QString("133 x 67 pix [0] (small.bmp) - 100%"));
    QCOMPARE(img->PictureOrigin(), origin);
  }

  void FullScreenKeyHelpAndStartHint() {
    Viewer v;
    v.Key(Qt::Key_F11);
    QTRY_VERIFY(v.form->isFullScreen());
    v.Key(Qt::Key_F11);
    QTRY_VERIFY(!v.form->isFullScreen());
    v.Key(Qt::Key_F1);
    QWidget* help = v.form->KeyHelp();
    QVERIFY(help && help->isVisible());
    QTest::keyClick(help, Qt::Key_Escape);  // closes the help only
    QVERIFY(!help->isVisible() && v.form->isVisible());
    // Every menu shortcut, window key, gesture and view key is listed, each once.
    QStringList listed, expected = {"Right-click",
                                    "Up",
                                    "Down",
                                    "Delete",
                                    "Alt+drag or Shift+drag",
                                    "Ctrl+wheel",
                                    "Wheel",
                                    "Drag",
                                    "Drop files or folders"};
    for (const KeyHelpRow& row : KeyHelpRows()) listed << QString::fromStdString(row.keys);
    for (const CommandItem& item : CommandTable())
      if (item.shortcut)
        expected << KeySequenceFromShortcutCode(item.shortcut).toString(QKeySequence::NativeText);
    for (const ViewKey& key : ViewKeys())
      expected << QString::fromUtf8(key.keys.data(), qsizetype(key.keys.size()));
    for (const char* corner : {"top-left", "bottom-left", "top-right", "bottom-right"})
      expected << QString("Double-click %1 corner").arg(corner);
    listed.sort();
    expected.sort();
    QCOMPARE(listed, expected);

    // The hint shows once; a file without its key (an older one) keeps its lines.
    Folder folder;
    const std::string older = folder.Path("older.dat");
    WriteTextFile(older, "[Settings]\nFilter=2\n");
    QPointer<QLabel> hint = ShowStartHintOnce(v.form.get(), {older, false}, true);
    QVERIFY(hint && hint->isVisible() && v.form->rect().contains(hint->geometry()));
    QCOMPARE(hint->text(), QString("Right-click for the menu"));
    QCOMPARE(ReadTextFile(older), std::optional<std::string>("[Settings]\nFilter=2\nMenuHintShown=1\n"));
    QVERIFY(!ShowStartHintOnce(v.form.get(), {older, false}, true));
    v.Key(Qt::Key_Down);  // the first key takes it away
    QTRY_VERIFY(hint.isNull());
  }
};

QTEST_MAIN(ViewTest)
#include "view_test.moc"
