// The picture commands through the real window: which operation each calls with
// which values, the undo copy, the title refresh, and nothing on an empty picture.
#include <QAction>
#include <QTest>
#include <functional>

#include "app/form1.h"
#include "gui/helpers/viewer_fixture.h"
#include "imaging/border.h"
#include "imaging/resample.h"
#include "imaging/rotate.h"
#include "imaging/sharpen.h"
#include "imaging/tone.h"

using namespace qel;
using namespace qel::test;

namespace {

struct PictureCommand {
  const char* item;
  bool undo_copy;
  bool refreshes_title;
  std::function<void(Picture&, const TOptionValues&)> expected;
};

const std::vector<PictureCommand>& Commands() {
  static const std::vector<PictureCommand> commands = {
      {"Resizeimage1", true, true,
       [](Picture& p, const TOptionValues& o) {
         ResizeToRect(p, TRect{0, 0, 300, 200}, o.Filter);
         SharpenPicture(p, 2.0f);
       }},
      {"Rotateright1", false, true, [](Picture& p, const TOptionValues&) { RotateRight(p); }},
      {"Rotateleft1", false, true, [](Picture& p, const TOptionValues&) { RotateLeft(p); }},
      {"Border1", true, false,
       [](Picture& p, const TOptionValues& o) { DrawBorder(p, o.FrameColor, o.BorderColor, o.BorderWidth); }},
      {"Makeborder1", true, false,
       [](Picture& p, const TOptionValues& o) { AddBorder(p, o.FrameColor, o.BorderColor, o.BorderWidth); }},
      {"Lightenimage1", true, true, [](Picture& p, const TOptionValues&) { LightenPicture(p, 10); }},
      {"Darkenimage1", true, true, [](Picture& p, const TOptionValues&) { DarkenPicture(p, 5); }},
      {"Contrastimage1", true, true, [](Picture& p, const TOptionValues&) { ContrastPicture(p, 10); }},
      {"Contrastimage2", true, true, [](Picture& p, const TOptionValues&) { ContrastPicture(p, -10); }},
      {"Sharpenimage1", true, false, [](Picture& p, const TOptionValues&) { SharpenPicture(p, 2.0f); }},
      {"Antialiasimage1", true, true, [](Picture& p, const TOptionValues&) { AntiAliasPicture(p); }},
      {"Grayimage1", true, true, [](Picture& p, const TOptionValues&) { GrayPicture(p); }},
      {"Sepiaimage1", true, true, [](Picture& p, const TOptionValues&) { SepiaPicture(p, 30); }},
  };
  return commands;
}

}  // namespace

class PictureCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void EachCommandCallsItsOperationWithTheOptionValues() {
    Folder folder;
    // A picture larger than the window, so that "Resize image" has work to do.
    const Picture original = PatternPicture(600, 400);
    const std::string path = folder.Picture("p.bmp", original);
    TOptionValues options;
    options.FrameColor = RGBColor(255, 0, 0);
    options.BorderColor = RGBColor(0, 0, 255);
    options.BorderWidth = 7;
    options.Filter = kFilterMitchell;
    for (const PictureCommand& command : Commands()) {
      Viewer v(path);
      v.form->SetOptionValues(options, false);
      v.form->setWindowTitle("unchanged");
      v.form->PopupMenu1Popup();
      v.form->Item(command.item)->trigger();
      Picture expected = original;
      command.expected(expected, options);
      QVERIFY2(SamePixels(v.Doc().Current(), expected), command.item);
      QVERIFY2(SamePixels(v.Doc().UndoPicture(), command.undo_copy ? original : Picture()), command.item);
      if (command.undo_copy) QCOMPARE(v.Doc().UndoFileName, path);
      QCOMPARE(v.Title(), command.refreshes_title ? v.form->TitleText() : QString("unchanged"));
      QCOMPARE(v.Doc().CurrentFileName, path);
      QVERIFY(v.Messages().empty());
      // Undo brings the picture back, except after a rotation, which took no copy.
      v.Key(Qt::Key_U, Qt::ControlModifier);
      if (command.undo_copy) QVERIFY2(SamePixels(v.Doc().Current(), original), command.item);
    }
  }

  void RotationTakesNoUndoCopy() {
    Folder folder;
    const Picture original = PatternPicture(40, 30);
    Viewer v(folder.Picture("p.bmp", original));
    v.form->PopupMenu1Popup();
    v.form->Item("Lightenimage1")->trigger();
    v.Key(Qt::Key_Right, Qt::ControlModifier);
    QCOMPARE(v.Title(), QString("30 x 40 pix [0] (p.bmp)"));
    v.Key(Qt::Key_U, Qt::ControlModifier);
    QVERIFY(SamePixels(v.Doc().Current(), original));
    QCOMPARE(v.Title(), QString("40 x 30 pix [0] (p.bmp)"));
  }

  void NothingHappensToAnEmptyPicture() {
    Viewer v;
    // The undo slot holds a picture that must stay there.
    v.services.clipboard->content = PatternPicture(20, 10);
    v.Key(Qt::Key_V, Qt::ControlModifier);
    v.Key(Qt::Key_X, Qt::ControlModifier);
    QVERIFY(v.Doc().Current().Empty());
    for (const PictureCommand& command : Commands())
      v.form->CallHandlerByName(std::string(command.item) + "Click");
    // The bottom-right double-click corner resizes without asking the enabling rule.
    v.DoubleClick({299, 224});
    QVERIFY(v.Doc().Current().Empty());
    QCOMPARE(v.Doc().Current().Width(), 0);
    QVERIFY(SamePixels(v.Doc().UndoPicture(), PatternPicture(20, 10)));
    QCOMPARE(v.Title(), QString("0 x 0 pix [0] ()"));
    QVERIFY(v.Messages().empty());
  }

  void ResizeImageUsesTheDrawnSize() {
    Folder folder;
    const Picture original = PatternPicture(1200, 800);
    Viewer v(folder.Picture("wide.bmp", original));
    v.Key(Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(v.Title(), QString("300 x 200 pix [0] (wide.bmp)"));
    QCOMPARE(v.Doc().Current().Width(), 300);

    // With fitting off the drawn size is the picture's own: same size, still an undo
    // copy, still sharpened.
    Picture small = PatternPicture(200, 100);
    Viewer fit_off(folder.Picture("small.bmp", small));
    fit_off.Key(Qt::Key_F, Qt::ControlModifier);
    fit_off.form->SetOptionValues(TOptionValues{0x808080, 0xFFFFFF, 10, true, kFilterTriangle}, false);
    fit_off.Key(Qt::Key_R, Qt::ControlModifier);
    Picture expected = small;
    ResizeToRect(expected, TRect{0, 0, 200, 100}, kFilterTriangle);
    SharpenPicture(expected, 2.0f);
    QVERIFY(SamePixels(fit_off.Doc().Current(), expected));
    QVERIFY(SamePixels(fit_off.Doc().UndoPicture(), small));
    // Without a filter chosen the resampler's fallback applies.
    fit_off.form->SetOptionValues(TOptionValues{0x808080, 0xFFFFFF, 10, false, -1}, false);
    fit_off.Key(Qt::Key_R, Qt::ControlModifier);
    Picture fallback = expected;
    ResizeToRect(fallback, TRect{0, 0, 200, 100}, kFallbackFilter);
    QVERIFY(SamePixels(fit_off.Doc().Current(), fallback));
  }

  void FailuresAreShownAfterTheUndoCopy() {
    Folder folder;
    const Picture narrow = PatternPicture(2, 10);
    Viewer v(folder.Picture("narrow.bmp", narrow));
    v.form->PopupMenu1Popup();
    v.form->Item("Sharpenimage1")->trigger();
    QCOMPARE(v.Messages(), std::vector<std::string>({"Bitmap must be at least 3x3"}));
    QVERIFY(SamePixels(v.Doc().Current(), narrow));
    QVERIFY(SamePixels(v.Doc().UndoPicture(), narrow));

    // A picture drawn one pixel high: the resize stands, the sharpen refuses it, and
    // the title reports the new size.
    const Picture strip = PatternPicture(1000, 4);
    Viewer s(folder.Picture("strip.bmp", strip));
    QCOMPARE(s.Title(), QString("300 x 1 pix [0] (strip.bmp)"));
    s.Key(Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(s.Messages(), std::vector<std::string>({"Bitmap must be at least 3x3"}));
    QCOMPARE(s.Doc().Current().Width(), 300);
    QCOMPARE(s.Doc().Current().Height(), 1);
    QCOMPARE(s.Title(), QString("300 x 1 pix [0] (strip.bmp)"));
    s.Key(Qt::Key_U, Qt::ControlModifier);
    QVERIFY(SamePixels(s.Doc().Current(), strip));
  }
};

QTEST_MAIN(PictureCommandsTest)
#include "picture_commands_test.moc"
