// The options window: its controls, the proportion-keeping size boxes, the "Resize"
// button, the colour swatches and how the main window opens it.
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "gui/helpers/options_fixture.h"
#include "imaging/resample.h"
#include "imaging/sharpen.h"
#include "options/color_swatch.h"
#include "options/number_box.h"

using namespace qel;
using namespace qel::test;

namespace {

void Type(QWidget* box, const QString& text) {
  static_cast<QAbstractSpinBox*>(box)->selectAll();
  QTest::keyClicks(box, text);
}

QPair<int, int> Sizes(const TBorderForm& form) {
  return {form.WBx->Value(), form.HBx->Value()};
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint global, Qt::MouseButton button,
               Qt::MouseButtons held) {
  const QPoint local = target->mapFromGlobal(global);
  QMouseEvent event(type, QPointF(local), QPointF(global), button, held, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

// The picture after the resize the options window should have made.
Picture Resized(Picture picture, int width, int height, int filter, bool sharpen) {
  ResizeToRect(picture, TRect{0, 0, width, height}, filter);
  if (sharpen) SharpenPicture(picture, 2.0f);
  return picture;
}

}  // namespace

class OptionsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void TheWindowAndItsControls() {
    OptionsViewer o;
    TBorderForm& f = *o.options;
    QVERIFY(!f.isVisible());
    QCOMPARE(f.windowTitle(), QString("Options"));
    QVERIFY(f.windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(f.font().pixelSize(), 12);
    if (QFontDatabase::families().contains("Arial Unicode MS"))
      QCOMPARE(f.font().family(), QString("Arial Unicode MS"));
    else
      QCOMPARE(f.font().family(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    // One ampersand shows.
    QCOMPARE(f.GroupBox1->title(), QString("Borders && Files"));
    QVERIFY(f.FilterBx->isEditable());

    // The focus starts on the frame width; Tab walks the boxes in their order.
    o.ShowOptions();
    QTRY_VERIFY(f.SpinEdit1->hasFocus());
    QStringList order;
    for (int i = 0; i < 10; ++i) {
      QWidget* focused = QApplication::focusWidget();
      // The control that holds the focused widget (a box's own line edit, say).
      while (focused && !qobject_cast<QGroupBox*>(focused->parentWidget())) focused = focused->parentWidget();
      order << (focused ? focused->objectName() : QString());
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order, QStringList({"SpinEdit1", "OWBx", "FilterBx", "SharpBx", "WBx", "HBx", "Pbx", "ComboBox1",
                                 "ComboBox2", "Button1"}));
    f.close();
  }

  void ShowingFillsTheSizes() {
    OptionsViewer o;
    o.SetPicture(PatternPicture(1600, 1200));
    o.ShowOptions();
    QCOMPARE(o.options->Label5->text(), QString("Current size: 1600 x 1200 pixs"));
    QCOMPARE(Sizes(*o.options), qMakePair(1600, 1200));
    QCOMPARE(o.options->Pbx->Value(), 100);
    QCOMPARE(o.options->ShownWidth, 1600);
    o.options->close();

    // Sizes beyond the boxes' range are shown clamped.
    o.SetPicture(PatternPicture(6000, 2));
    o.ShowOptions();
    QCOMPARE(Sizes(*o.options), qMakePair(5000, 2));
    QCOMPARE(o.options->Label5->text(), QString("Current size: 6000 x 2 pixs"));
    o.options->close();
  }

  void TypedSizesKeepTheProportions() {
    OptionsViewer o;
    o.SetPicture(PatternPicture(1600, 1200));
    o.ShowOptions();
    TBorderForm& f = *o.options;
    o.Focus(f.WBx);
    Type(f.WBx, "800");
    QCOMPARE(Sizes(f), qMakePair(800, 600));
    o.Focus(f.HBx);
    Type(f.HBx, "300");
    QCOMPARE(Sizes(f), qMakePair(400, 300));
    QCOMPARE(f.Pbx->Value(), 100);

    // A typed value beyond the range counts as typed until the focus leaves the box.
    o.Focus(f.WBx);
    Type(f.WBx, "6000");
    QCOMPARE(Sizes(f), qMakePair(6000, 4500));
    o.Focus(f.Pbx);
    QCOMPARE(Sizes(f), qMakePair(5000, 4500));
    // Text without a number reads as the minimum.
    o.Focus(f.HBx);
    f.HBx->selectAll();
    QTest::keyClick(f.HBx, Qt::Key_Backspace);
    QCOMPARE(f.HBx->Value(), 1);
    QCOMPARE(f.WBx->Value(), 1);
    QTest::keyClicks(f.HBx, "-");
    QCOMPARE(f.HBx->Value(), 1);
    // Letters never reach the box.
    QTest::keyClicks(f.HBx, "x9");
    QCOMPARE(f.HBx->Value(), -9);
    o.Focus(f.Pbx);
    QCOMPARE(f.HBx->Value(), 1);
    // Set by the program: clamped at once.
    f.SpinEdit1->SetValue(0);
    QCOMPARE(f.SpinEdit1->Value(), 1);
    f.SpinEdit1->SetValue(51);
    QCOMPARE(f.SpinEdit1->Value(), 50);
    f.close();
  }

  void StandardSizesAndPercentages() {
    OptionsViewer o;
    TBorderForm& f = *o.options;
    o.SetPicture(PatternPicture(1600, 1200));
    o.ShowOptions();
    emit f.ComboBox1->activated(7);
    QCOMPARE(Sizes(f), qMakePair(1024, 768));
    emit f.ComboBox2->activated(0);
    QCOMPARE(Sizes(f), qMakePair(640, 480));
    QCOMPARE(f.Pbx->Value(), 100);
    f.close();

    o.SetPicture(PatternPicture(1001, 333));
    o.ShowOptions();
    o.Focus(f.Pbx);
    Type(f.Pbx, "50");
    QCOMPARE(Sizes(f), qMakePair(501, 167));
    f.close();

    o.SetPicture(PatternPicture(30, 20));
    o.ShowOptions();
    f.Pbx->SetValue(1);
    QCOMPARE(Sizes(f), qMakePair(1, 1));
    // Back to 100 at the next showing, which sets the sizes again.
    f.close();
    o.ShowOptions();
    QCOMPARE(f.Pbx->Value(), 100);
    QCOMPARE(Sizes(f), qMakePair(30, 20));
    f.close();
  }

  void AnEmptyPictureShowsZeroAndResizeDoesNothing() {
    OptionsViewer o;
    TBorderForm& f = *o.options;
    o.ShowOptions();
    QCOMPARE(f.Label5->text(), QString("Current size: 0 x 0 pixs"));
    QCOMPARE(Sizes(f), qMakePair(1, 1));
    f.Pbx->SetValue(50);
    emit f.ComboBox1->activated(3);
    QCOMPARE(Sizes(f), qMakePair(720, 1));
    QTest::mouseClick(f.Button1, Qt::LeftButton);
    QVERIFY(f.isVisible());
    QVERIFY(o.Doc().Current().Empty());
    QVERIFY(o.Messages().empty());
    f.close();
  }

  void ResizeUsesTheFilterHeldWhenTheWindowOpened() {
    OptionsViewer o;
    TBorderForm& f = *o.options;
    const Picture original = PatternPicture(64, 48);
    o.SetPicture(original);
    o.Doc().CurrentFileName = "/pictures/p.bmp";
    o.ShowOptions();
    f.FilterBx->setCurrentIndex(0);
    f.WBx->SetValue(40);
    f.HBx->SetValue(30);
    QTest::mouseClick(f.Button1, Qt::LeftButton);
    QVERIFY(!f.isVisible());
    QVERIFY(SamePixels(o.Doc().Current(), Resized(original, 40, 30, kFilterLanczos3, true)));
    QVERIFY(SamePixels(o.Doc().UndoPicture(), original));
    QCOMPARE(o.Doc().UndoFileName, std::string("/pictures/p.bmp"));
    QCOMPARE(o.viewer->Title(), QString("40 x 30 pix [0] (p.bmp)"));
    // The close pushed Box; sharpening off takes effect from the next close too.
    QCOMPARE(o.Doc().Options.Filter, kFilterBox);
    const Picture before = o.Doc().Current();
    o.ShowOptions();
    f.SharpBx->setChecked(false);
    f.WBx->SetValue(20);
    f.HBx->SetValue(10);
    QTest::mouseClick(f.Button1, Qt::LeftButton);
    QVERIFY(SamePixels(o.Doc().Current(), Resized(before, 20, 10, kFilterBox, true)));
    QVERIFY(!o.Doc().Options.Sharpen);
  }

  void ASharpenRefusingTheResizedPictureKeepsTheWindowOpen() {
    OptionsViewer o;
    TBorderForm& f = *o.options;
    const Picture original = PatternPicture(10, 10);
    o.SetPicture(original);
    o.ShowOptions();
    f.WBx->SetValue(2);
    f.HBx->SetValue(2);
    QTest::mouseClick(f.Button1, Qt::LeftButton);
    QCOMPARE(o.Messages(), std::vector<std::string>({"Bitmap must be at least 3x3"}));
    QVERIFY(f.isVisible());
    QVERIFY(SamePixels(o.Doc().Current(), Resized(original, 2, 2, kFilterLanczos3, false)));
    QVERIFY(SamePixels(o.Doc().UndoPicture(), original));
    QCOMPARE(o.viewer->Title(), QString("2 x 2 pix [0] ()"));
    f.close();
  }

  void FilterTextMatchingNoItemPushesNoFilter() {
    OptionsViewer o;
    TBorderForm& f = *o.options;
    o.ShowOptions();
    f.FilterBx->setEditText("Sinc");
    QCOMPARE(f.FilterIndex(), -1);
    f.close();
    QCOMPARE(o.Doc().Options.Filter, -1);
    o.ShowOptions();
    f.FilterBx->setEditText("bspline");
    f.close();
    QCOMPARE(o.Doc().Options.Filter, kFilterBSpline);
  }

  void ColourSwatches() {
    OptionsViewer o;
    TBorderForm& f = *o.options;
    ScriptedPlatform& services = o.viewer->services;
    o.ShowOptions();
    // Right button: the colour dialog, preset to the swatch; cancel leaves the colour.
    const QPoint on_line = f.BColor->mapToGlobal(QPoint(5, 5));
    SendMouse(f.BColor, QEvent::MouseButtonPress, on_line, Qt::RightButton, Qt::RightButton);
    SendMouse(f.BColor, QEvent::MouseButtonRelease, on_line, Qt::RightButton, Qt::NoButton);
    QCOMPARE(services.colors->initial_colors, std::vector<TColor>({0x808080}));
    QCOMPARE(f.BColor->Color(), TColor(0x808080));
    services.colors->answers.push_back(TColor(0x123456));
    SendMouse(f.BColor, QEvent::MouseButtonPress, on_line, Qt::RightButton, Qt::RightButton);
    QCOMPARE(f.BColor->Color(), TColor(0x123456));
    // A move with the right button held picks nothing.
    SendMouse(f.BColor, QEvent::MouseMove, on_line, Qt::NoButton, Qt::RightButton);
    QCOMPARE(services.screen->grabs.size(), std::size_t(0));
    SendMouse(f.BColor, QEvent::MouseButtonRelease, on_line, Qt::RightButton, Qt::NoButton);

    // Left-drag from the frame swatch over a red area of the screen picks red.
    services.screen->screen = PlainPicture(50, 40, RGBColor(255, 0, 0));
    services.screen->origin = QPoint(2000, 1500);
    const QPoint on_frame = f.FColor->mapToGlobal(QPoint(5, 5));
    SendMouse(f.FColor, QEvent::MouseButtonPress, on_frame, Qt::LeftButton, Qt::LeftButton);
    QVERIFY(f.Picking);
    SendMouse(f.FColor, QEvent::MouseMove, QPoint(2010, 1510), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(f.FColor->Color(), RGBColor(255, 0, 0));
    QCOMPARE(services.screen->grabs.back(), QRect(2010, 1510, 1, 1));
    // Off the red area the screen is black here.
    SendMouse(f.FColor, QEvent::MouseMove, QPoint(1990, 1510), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(f.FColor->Color(), RGBColor(0, 0, 0));
    SendMouse(f.FColor, QEvent::MouseMove, QPoint(2001, 1501), Qt::NoButton, Qt::LeftButton);
    SendMouse(f.FColor, QEvent::MouseButtonRelease, QPoint(2001, 1501), Qt::LeftButton, Qt::NoButton);
    QVERIFY(!f.Picking);
    SendMouse(f.FColor, QEvent::MouseMove, QPoint(1990, 1510), Qt::NoButton, Qt::NoButton);
    QCOMPARE(f.FColor->Color(), RGBColor(255, 0, 0));
    // The main window sees the colours from the close onward.
    QCOMPARE(o.Doc().Options.FrameColor, TColor(0xFFFFFF));
    f.close();
    QCOMPARE(o.Doc().Options.FrameColor, RGBColor(255, 0, 0));
    QCOMPARE(o.Doc().Options.BorderColor, TColor(0x123456));
  }

  void TheMainWindowShowsItModally() {
    OptionsViewer o;
    TBorderForm& f = *o.options;
    int shown = 0;
    auto close_when_shown = [&] {
      QTimer::singleShot(0, [&] {
        if (QApplication::activeModalWidget() == &f) ++shown;
        f.close();
      });
    };
    // "Options" also with an empty picture, through its shortcut and the top-right corner.
    close_when_shown();
    o.viewer->Key(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(shown, 1);
    close_when_shown();
    o.viewer->DoubleClick({299, 0});
    QCOMPARE(shown, 2);
    // "Resize to...." only with a picture.
    o.Form().CallHandlerByName("Resizeto1Click");
    QCOMPARE(shown, 2);
    o.SetPicture(PatternPicture(90, 60));
    o.Form().PopupMenu1Popup();
    close_when_shown();
    o.Form().Item("Resizeto1")->trigger();
    QCOMPARE(shown, 3);
    QCOMPARE(f.Label5->text(), QString("Current size: 90 x 60 pixs"));
    QVERIFY(o.Messages().empty());
  }
};

QTEST_MAIN(OptionsTest)
#include "options_test.moc"
