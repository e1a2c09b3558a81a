// Dispatch of menu items, shortcuts, keys, double-click corners and handler names,
// and the top-level error handler.
#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>

#include "app/form1.h"
#include "app/image_rect.h"
#include "gui/helpers/viewer_fixture.h"
#include "imaging/errors.h"

using namespace qel;
using namespace qel::test;

namespace {

// Counts the calls of a handler connected by name, and the items that invoked it.
struct Probe {
  int calls = 0;
  std::vector<std::string> senders;
  void Connect(TForm1& form, const std::string& name) {
    form.ConnectHandler(name, TForm1::Handler([this](std::string_view sender) {
                          ++calls;
                          senders.emplace_back(sender);
                        }));
  }
};

}  // namespace

class CommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void ShortcutOfADisabledItemDoesNothing() {
    Viewer v;
    Probe resize;
    resize.Connect(*v.form, "Resizeimage1Click");
    v.Key(Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(resize.calls, 0);
    v.services.clipboard->content = PatternPicture(8, 8);
    v.Key(Qt::Key_V, Qt::ControlModifier);
    v.Key(Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(resize.calls, 1);
    QCOMPARE(resize.senders, std::vector<std::string>({"Resizeimage1"}));
    // Shift makes it another shortcut, which no item has.
    v.Key(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(resize.calls, 1);
    Probe right;
    right.Connect(*v.form, "Rotateright1Click");
    v.Key(Qt::Key_Right, Qt::ControlModifier);
    v.Key(Qt::Key_Right);
    QCOMPARE(right.calls, 1);
  }

  void SharedHandlerLearnsWhichItemInvokedIt() {
    Viewer v;
    Probe save;
    save.Connect(*v.form, "Save1Click");
    v.services.clipboard->content = PatternPicture(8, 8);
    v.form->Pasteimage1Click();
    v.Key(Qt::Key_S, Qt::ControlModifier);
    v.form->Item("Saveas1")->trigger();
    v.form->CallHandlerByName("Save1Click");
    QCOMPARE(save.senders, std::vector<std::string>({"Save1", "Saveas1", ""}));
  }

  void CtrlVPastesOnce() {
    Folder folder;
    Viewer v(folder.Picture(PictureName("first"), PatternPicture(60, 40)));
    v.services.clipboard->content = PlainPicture(30, 10, 0x0000FF);
    v.Key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(v.Title(), QString("30 x 10 pix [0] ()"));
    // A second paste would have put the pasted picture into the undo slot.
    QCOMPARE(v.Doc().UndoPicture().Width(), 60);
    QCOMPARE(v.Doc().UndoFileName, folder.Path(PictureName("first")));
  }

  void SwitchesToggleWithoutAHandler() {
    Viewer v;
    v.form->Item("Alphablend1")->trigger();
    QVERIFY(v.form->Checked("Alphablend1"));
    // "Overwrite files" needs a picture: its check stays while it is disabled.
    v.form->PopupMenu1Popup();
    v.form->Item("OWFiles")->trigger();
    QVERIFY(!v.form->Checked("OWFiles"));
  }

  void EscapeClosesTheWindow() {
    Viewer v;
    QVERIFY(v.form->isVisible());
    v.Key(Qt::Key_Escape);
    QVERIFY(!v.form->isVisible());
  }

  void DoubleClickCorners() {
    Viewer v;
    Probe options, resize;
    options.Connect(*v.form, "Bordersettings1Click");
    resize.Connect(*v.form, "Resizeimage1Click");
    const int cw = 300, ch = 225;
    // The corners do not ask the enabling rule: the handler sees the empty picture.
    v.DoubleClick({cw - 1, ch - 1});
    QCOMPARE(resize.calls, 1);
    // Top-left pastes only with a bitmap on the clipboard.
    v.DoubleClick({3, 3});
    QVERIFY(v.Doc().Current().Empty());
    v.services.clipboard->content = PatternPicture(20, 10);
    v.DoubleClick({3, 3});
    QCOMPARE(v.Title(), QString("20 x 10 pix [0] ()"));
    // Just left of the bottom-right square nothing happens.
    v.DoubleClick({cw - 26, ch - 1});
    QCOMPARE(resize.calls, 1);
    v.DoubleClick({cw - 25, 24});
    QCOMPARE(options.calls, 1);
    v.DoubleClick({cw - 25, 25});
    QCOMPARE(options.calls, 1);
    // Bottom-left undoes: Clear image put the pasted picture into the undo slot.
    v.Key(Qt::Key_X, Qt::ControlModifier);
    QVERIFY(v.Doc().Current().Empty());
    v.DoubleClick({24, ch - 25});
    QCOMPARE(v.Title(), QString("20 x 10 pix [0] ()"));
    v.DoubleClick({25, ch - 25});
    QCOMPARE(resize.calls + options.calls, 2);
    QVERIFY(v.Messages().empty());
  }

  void CallHandlerByNameIgnoresUnknownNames() {
    Viewer v;
    v.form->CallHandlerByName("NoSuchHandler");
    v.form->CallHandlerByName("");
    v.form->CallHandlerByName(std::string(300, 'x'));
    QVERIFY(v.Messages().empty());
    Probe probe;
    probe.Connect(*v.form, "Undolastchange1Click");
    v.form->CallHandlerByName("Undolastchange1Click");
    QCOMPARE(probe.calls, 1);
  }

  void ErrorsEscapingAHandlerAreShownAndTheProgramGoesOn() {
    Folder folder;
    Viewer v(folder.Picture(PictureName("keep"), PatternPicture(90, 60)));
    v.form->ConnectHandler("Resizeimage1Click", [] { throw EInvalidGraphic("Bitmap must be at least 3x3"); });
    v.form->ConnectHandler("Bordersettings1Click", [] { throw std::bad_alloc(); });
    v.Key(Qt::Key_R, Qt::ControlModifier);
    v.DoubleClick({299, 0});
    QCOMPARE(v.Messages(), std::vector<std::string>({"Bitmap must be at least 3x3", "Out of memory."}));
    QCOMPARE(v.Title(), QString("90 x 60 pix [0] (keep.bmp)"));
    QVERIFY(v.form->isVisible());
    v.Key(Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(v.Title(), QString("0 x 0 pix [0] ()"));
  }

  void OpeningTheMenuRunsTheEnablingRule() {
    Viewer v;
    v.form->Item("Resizeimage1")->setEnabled(true);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(50, 50), v.form->mapToGlobal(QPoint(50, 50)));
    QApplication::sendEvent(v.form.get(), &event);
    QTRY_VERIFY(v.form->PopupMenu1()->isVisible());
    QVERIFY(!v.form->Item("Resizeimage1")->isEnabled());
    QVERIFY(v.form->Item("Loadimage1")->isEnabled());
    v.form->PopupMenu1()->close();
    // With Alt held the press belongs to a selection and no menu opens.
    QContextMenuEvent alt(QContextMenuEvent::Mouse, QPoint(50, 50), v.form->mapToGlobal(QPoint(50, 50)),
                          Qt::AltModifier);
    QApplication::sendEvent(v.form.get(), &alt);
    QVERIFY(!v.form->PopupMenu1()->isVisible());
  }
};

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
