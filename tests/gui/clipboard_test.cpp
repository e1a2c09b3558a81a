// Copy, paste, clear and the one level of undo; the desktop clipboard's conversions.
#include <QAction>
#include <QTest>

#include "app/form1.h"
#include "gui/helpers/viewer_fixture.h"
#include "platform/picture_image.h"
#include "platform/qt_services.h"

using namespace qel;
using namespace qel::test;

class ClipboardTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void SwapUndoHasFourOutcomes() {
    Folder folder;
    const std::string a = folder.Picture(PictureName("a"), PatternPicture(30, 20));
    const std::string b = folder.Picture(PictureName("b"), PatternPicture(40, 20));
    // Both empty: nothing changes, the title is refreshed.
    Viewer v;
    v.form->setWindowTitle("stale");
    v.form->Undolastchange1Click();
    QCOMPARE(v.Title(), QString("0 x 0 pix [0] ()"));
    QVERIFY(v.Doc().UndoPicture().Empty());
    // Current only: the slot receives a copy, the picture stays.
    v.form->LoadImage(a);
    v.form->Undolastchange1Click();
    QCOMPARE(v.Title(), QString("30 x 20 pix [0] (a.bmp)"));
    QCOMPARE(v.Doc().UndoFileName, a);
    QVERIFY(SamePixels(v.Doc().UndoPicture(), v.Doc().Current()));
    // Both: pictures and names change places.
    v.form->LoadImage(b);
    v.form->Undolastchange1Click();
    QCOMPARE(v.Title(), QString("30 x 20 pix [0] (a.bmp)"));
    QCOMPARE(v.Doc().UndoFileName, b);
    QCOMPARE(v.Doc().UndoPicture().Width(), 40);
    // Current empty: the slot's picture comes back and the slot keeps it.
    v.form->Clearimage1Click();
    v.form->Clearimage1Click();
    QCOMPARE(v.Doc().UndoFileName, a);
    v.form->Undolastchange1Click();
    QCOMPARE(v.Title(), QString("30 x 20 pix [0] (a.bmp)"));
    QCOMPARE(v.Doc().UndoPicture().Width(), 30);
    QCOMPARE(v.Doc().UndoFileName, a);
  }

  void CopyClearPasteBringsThePictureBackWithoutAName() {
    Folder folder;
    const Picture picture = PatternPicture(64, 48);
    Viewer v(folder.Picture(PictureName("photo"), picture));
    v.Key(Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(v.services.clipboard->set_calls, 1);
    QCOMPARE(v.Doc().CurrentFileName, folder.Path(PictureName("photo")));
    QVERIFY(v.Doc().UndoPicture().Empty());
    v.Key(Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(v.Title(), QString("0 x 0 pix [0] ()"));
    v.Key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(v.Title(), QString("64 x 48 pix [0] ()"));
    QVERIFY(SamePixels(v.Doc().Current(), picture));
    // Copy of an empty picture puts nothing on the clipboard.
    v.services.clipboard->content.reset();
    v.form->Clearimage1Click();
    v.form->Copyimage1Click();
    QVERIFY(!v.services.clipboard->content.has_value());
  }

  void PasteWithAnEmptyClipboardDoesNothing() {
    Folder folder;
    Viewer v(folder.Picture(PictureName("photo"), PatternPicture(64, 48)));
    v.form->Pasteimage1Click();
    v.Key(Qt::Key_V, Qt::ControlModifier);
    v.DoubleClick({3, 3});
    QCOMPARE(v.Title(), QString("64 x 48 pix [0] (photo.bmp)"));
    QVERIFY(v.Doc().UndoPicture().Empty());
  }

  void DesktopClipboardCarriesThePicture() {
    const std::unique_ptr<Clipboard> clipboard = MakeQtClipboard();
    const Picture picture = PatternPicture(33, 7);
    clipboard->SetBitmap(picture);
    QVERIFY(clipboard->HasBitmap());
    const std::optional<Picture> back = clipboard->GetBitmap();
    QVERIFY(back.has_value());
    QVERIFY(SamePixels(*back, picture));
  }

  void ImagesBecomeOpaquePictures() {
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(0, 0, 255, 255));
    image.setPixel(1, 0, qRgba(0, 0, 0, 0));
    const Picture picture = PictureFromImage(image);
    QCOMPARE(picture.Pixel(0, 0), RGBColor(0, 0, 255));
    QCOMPARE(picture.Pixel(1, 0), RGBColor(255, 255, 255));
    QVERIFY(PictureFromImage(QImage()).Empty());
    const QImage round = ImageFromPicture(PlainPicture(3, 2, RGBColor(10, 20, 30)));
    QCOMPARE(round.size(), QSize(3, 2));
    QCOMPARE(round.pixel(2, 1), qRgb(10, 20, 30));
  }
};

QTEST_MAIN(ClipboardTest)
#include "clipboard_test.moc"
