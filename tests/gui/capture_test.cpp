// Capturing the screen under the window on a scripted screen, and the translucency
// the wheel adjusts.
#include <QAction>
#include <QElapsedTimer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <cstdlib>

#include "app/form1.h"
#include "app/image_rect.h"
#include "gui/helpers/viewer_fixture.h"
#include "imaging/errors.h"

using namespace qel;
using namespace qel::test;

namespace {

// The part of the scripted screen inside the rectangle.
Picture ScreenPart(const Picture& screen, const QRect& area) {
  Picture part = NewPicture(area.width(), area.height(), kNoColor);
  for (int y = 0; y < area.height(); ++y) {
    for (int x = 0; x < area.width(); ++x) part.SetPixel(x, y, screen.Pixel(area.x() + x, area.y() + y));
  }
  return part;
}

void Wheel(Viewer& v, int turns) {
  const QPoint at(100, 100);
  for (int i = 0; i < std::abs(turns); ++i) {
    QWheelEvent event(QPointF(at), QPointF(v.form->mapToGlobal(at)), QPoint(),
                      QPoint(0, turns < 0 ? -120 : 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(v.form->windowHandle(), &event);
  }
}

}  // namespace

class CaptureTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void CaptureCopiesTheScreenUnderTheClientArea() {
    Folder folder;
    const std::string path = folder.Picture("before.bmp", PatternPicture(64, 48));
    Viewer v(path);
    v.form->move(150, 120);
    QTRY_COMPARE(v.form->pos(), QPoint(150, 120));
    v.services.screen->screen = PatternPicture(1024, 768);
    bool hidden_while_grabbing = false;
    v.services.screen->on_grab = [&] { hidden_while_grabbing = !v.form->isVisible(); };
    v.form->Item("Alphablend1")->trigger();
    QVERIFY(v.form->AlphaBlend());

    QElapsedTimer clock;
    clock.start();
    v.Key(Qt::Key_C, Qt::AltModifier);
    QVERIFY(clock.elapsed() >= 200);
    const QRect client(v.form->mapToGlobal(QPoint(0, 0)), QSize(300, 225));
    QCOMPARE(v.services.screen->grabs, std::vector<QRect>({client}));
    QVERIFY(hidden_while_grabbing);
    QVERIFY(v.form->isVisible());
    QCOMPARE(v.form->size(), QSize(300, 225));
    QVERIFY(SamePixels(v.Doc().Current(), ScreenPart(v.services.screen->screen, client)));
    QCOMPARE(v.Title(), QString("300 x 225 pix [0] ()"));
    QVERIFY(v.Doc().CurrentFileName.empty());
    QVERIFY(!v.form->AlphaBlend());
    QVERIFY(!v.form->Checked("Alphablend1"));
    QCOMPARE(v.form->windowOpacity(), 1.0);

    v.Key(Qt::Key_U, Qt::ControlModifier);
    QVERIFY(SamePixels(v.Doc().Current(), PatternPicture(64, 48)));
    QCOMPARE(v.Title(), QString("64 x 48 pix [0] (before.bmp)"));
  }

  void TheBlockIsTheClientAreaAlsoWhenScrolled() {
    Folder folder;
    Viewer v(folder.Picture("big.bmp", PatternPicture(900, 700)));
    v.Key(Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(v.form->HasScrollBars());
    v.form->ScrollArea()->horizontalScrollBar()->setValue(200);
    v.form->ScrollArea()->verticalScrollBar()->setValue(100);
    v.form->Capture1Click();
    const QSize client = v.form->ClientSize();
    QCOMPARE(v.services.screen->grabs.back(),
             QRect(v.form->ScrollArea()->viewport()->mapToGlobal(QPoint(0, 0)), client));
    QCOMPARE(v.Doc().Current().Width(), client.width());
    QCOMPARE(v.Doc().Current().Height(), client.height());
  }

  void AFailedGrabShowsTheWindowAgain() {
    Folder folder;
    Viewer v(folder.Picture("keep.bmp", PatternPicture(30, 20)));
    v.services.screen->on_grab = [] { throw EOutOfResources("The screen could not be read."); };
    v.Key(Qt::Key_C, Qt::AltModifier);
    QCOMPARE(v.Messages(), std::vector<std::string>({"The screen could not be read."}));
    QVERIFY(v.form->isVisible());
    QVERIFY(SamePixels(v.Doc().Current(), PatternPicture(30, 20)));
  }

  void TheWheelStepsTheOpacityOnlyWhileBlending() {
    Folder folder;
    const std::string a = folder.Picture("a.bmp", PatternPicture(30, 20));
    const std::string b = folder.Picture("b.bmp", PatternPicture(40, 20));
    Viewer v;
    v.Drop({a, b});
    Wheel(v, -3);
    QCOMPARE(v.form->AlphaBlendValue(), 200);
    QCOMPARE(v.form->windowOpacity(), 1.0);

    v.form->Item("Alphablend1")->trigger();
    QCOMPARE(v.form->windowOpacity(), 200 / 255.0);
    Wheel(v, -11);
    QCOMPARE(v.form->AlphaBlendValue(), 150);
    QCOMPARE(v.form->windowOpacity(), 150 / 255.0);
    Wheel(v, 20);
    QCOMPARE(v.form->AlphaBlendValue(), 250);
    Wheel(v, 1);
    QCOMPARE(v.form->AlphaBlendValue(), 250);
    Wheel(v, -1);
    // The value is kept while blending is off.
    v.form->Item("Alphablend1")->trigger();
    QCOMPARE(v.form->windowOpacity(), 1.0);
    v.form->Item("Alphablend1")->trigger();
    QCOMPARE(v.form->windowOpacity(), 245 / 255.0);
    // The wheel never steps through the file list.
    QCOMPARE(v.Doc().ListIndex, 1);
    QCOMPARE(v.Title(), QString("30 x 20 pix [2] (a.bmp)"));
  }
};

QTEST_MAIN(CaptureTest)
#include "capture_test.moc"
