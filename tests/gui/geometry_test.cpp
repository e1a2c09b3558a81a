// The drawn rectangle, the fit and oversize switches and the coordinate scaling.
#include <QAction>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "app/form1.h"
#include "app/image_rect.h"
#include "gui/helpers/viewer_fixture.h"

using namespace qel;
using namespace qel::test;

namespace {

QString Drawn(int w, int h, int cw, int ch, bool stretch, bool proportional) {
  const TRect r = ComputeDrawRect(w, h, cw, ch, stretch, proportional);
  QString text = QStringLiteral("%1 x %2").arg(r.right).arg(r.bottom);
  if (r.left != 0 || r.top != 0) text += " moved";
  return text;
}

}  // namespace

class GeometryTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void DrawRectScalesDownKeepingTheAspect() {
    QCOMPARE(Drawn(1200, 800, 300, 225, false, true), QString("300 x 200"));
    // 225 x (800 / 1200) lies just below 150 in extended precision: truncated to 149.
    QCOMPARE(Drawn(800, 1200, 300, 225, false, true), QString("149 x 225"));
    // A square takes the height-first branch.
    QCOMPARE(Drawn(500, 500, 300, 225, false, true), QString("225 x 225"));
    // A tall picture whose scaled width still does not fit.
    QCOMPARE(Drawn(100, 3000, 5, 225, false, true), QString("5 x 150"));
  }

  void DrawRectOfSmallAndEmptyPictures() {
    QCOMPARE(Drawn(200, 100, 300, 225, false, true), QString("200 x 100"));
    QCOMPARE(Drawn(200, 100, 300, 225, true, true), QString("300 x 150"));
    QCOMPARE(Drawn(0, 0, 300, 225, true, true), QString("300 x 225"));
    QCOMPARE(Drawn(0, 0, 300, 225, false, true), QString("0 x 0"));
    // Stretch without proportion fills the control.
    QCOMPARE(Drawn(10, 10, 300, 225, true, false), QString("300 x 225"));
  }

  void TitleShowsTheDrawnSizeInTheWindow() {
    Folder folder;
    Viewer v(folder.Picture(PictureName("tall"), PatternPicture(800, 1200)));
    QCOMPARE(v.Title(), QString("149 x 225 pix [0] (tall.bmp)"));
    v.form->LoadImage(folder.Picture(PictureName("small"), PatternPicture(200, 100)));
    QCOMPARE(v.Title(), QString("200 x 100 pix [0] (small.bmp)"));
    // Oversize repaints but leaves the title until the next refresh.
    v.form->Item("Allowoversize1")->trigger();
    QVERIFY(v.form->Img()->Stretch());
    QCOMPARE(v.Title(), QString("200 x 100 pix [0] (small.bmp)"));
    v.SetClientSize(400, 225);
    QCOMPARE(v.Title(), QString("400 x 200 pix [0] (small.bmp)"));
  }

  void FittingOffShowsThePictureWithScrollBars() {
    Folder folder;
    Viewer v(folder.Picture(PictureName("big"), PatternPicture(1600, 1200)));
    QCOMPARE(v.Title(), QString("300 x 225 pix [0] (big.bmp)"));
    QVERIFY(!v.form->HasScrollBars());
    v.Key(Qt::Key_F, Qt::ControlModifier);
    QVERIFY(!v.form->Checked("Fittowindow1"));
    QCOMPARE(v.form->Img()->size(), QSize(1600, 1200));
    QCOMPARE(v.Title(), QString("1600 x 1200 pix [0] (big.bmp)"));
    QTRY_VERIFY(v.form->HasScrollBars());
    // A new picture gives the control its size; an empty one leaves it as it was.
    v.form->LoadImage(folder.Picture(PictureName("mid"), PatternPicture(500, 400)));
    QCOMPARE(v.form->Img()->size(), QSize(500, 400));
    v.form->Clearimage1Click();
    QCOMPARE(v.form->Img()->size(), QSize(500, 400));
    QCOMPARE(v.Title(), QString("0 x 0 pix [0] ()"));
    v.form->Undolastchange1Click();
    v.Key(Qt::Key_F, Qt::ControlModifier);
    QVERIFY(v.form->Checked("Fittowindow1"));
    QCOMPARE(v.form->Img()->size(), QSize(300, 225));
    QCOMPARE(v.Title(), QString("281 x 225 pix [0] (mid.bmp)"));
    QTRY_VERIFY(!v.form->HasScrollBars());
  }

  void FittingOffWithAnEmptyPictureGivesAnEmptyControl() {
    Viewer v;
    v.form->Item("Fittowindow1")->trigger();
    QCOMPARE(v.form->Img()->size(), QSize(0, 0));
    QCOMPARE(v.Title(), QString("0 x 0 pix [0] ()"));
  }
};

QTEST_MAIN(GeometryTest)
#include "geometry_test.moc"
