// Start-up of the main window, its document state, the menu and the enabling rule.
#include <QAction>
#include <QMenu>
#include <QScrollArea>
#include <QTest>

#include "app/command_table.h"
#include "app/form1.h"
#include "app/image_rect.h"
#include "gui/helpers/viewer_fixture.h"
#include "imaging/stream.h"
#include "output/picture_writers.h"

using namespace qel;
using namespace qel::test;

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void StartsEmptyWithTheFixedWindowProperties() {
    Viewer v;
    QCOMPARE(v.Title(), QString("0 x 0 pix [0] ()"));
    QCOMPARE(v.form->size(), QSize(300, 225));
    QVERIFY(v.form->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(v.form->palette().color(QPalette::Window), QColor(249, 244, 240));
    QVERIFY(v.Doc().Current().Empty());
    QVERIFY(v.Doc().CurrentFileName.empty() && v.Doc().UndoFileName.empty());
    QVERIFY(v.Doc().FileList.empty());
    QCOMPARE(v.Doc().ListIndex, 0);
    // The option values until the options window pushes its own.
    QCOMPARE(v.Doc().Options.BorderColor, TColor(0x808080));
    QCOMPARE(v.Doc().Options.FrameColor, TColor(0xFFFFFF));
    QCOMPARE(v.Doc().Options.BorderWidth, 10);
    QVERIFY(v.Doc().Options.Sharpen);
    QCOMPARE(v.Doc().Options.Filter, 5);
    QVERIFY(!v.form->Item("Reload1")->isEnabled());
  }

  // A reader's warning does not stop the load: it is shown in its own "Warning" box and
  // the picture loads as far as the data goes.
  void ReaderWarningsAreShownAndTheLoadGoesOn() {
    Folder folder;
    TMemoryStream jpeg;
    WriteJpeg(PatternPicture(320, 240), jpeg);
    std::vector<std::uint8_t> bytes = jpeg.TakeBytes();
    bytes.resize(bytes.size() * 3 / 4);
    const std::string path = folder.Path("cut.jpg");
    {
      TFileStream out(path, TFileStream::Mode::kCreate);
      out.Write(bytes.data(), bytes.size());
      out.Commit();
    }
    Viewer v;
    v.form->LoadImage(path);
    QCOMPARE(v.services.messages->warnings.size(), std::size_t(1));
    QVERIFY(v.Messages().empty());
    QCOMPARE(v.Doc().Current().Width(), 320);
    QCOMPARE(v.Title(), QString("300 x 225 pix [0] (cut.jpg)"));
  }

  void CaptionAtCreationIsTheApplicationTitle() {
    ScriptedPlatform services;
    TForm1 form(std::move(services.platform));
    QCOMPARE(form.windowTitle(), QString("qel Image Tool"));
  }

  void LoadsTheStartFileWithoutTouchingTheList() {
    Folder folder;
    const std::string path = folder.Picture(PictureName("wide"), PatternPicture(1200, 800));
    Viewer v(path);
    QCOMPARE(v.Title(), QString("300 x 200 pix [0] (wide.bmp)"));
    QCOMPARE(v.Doc().CurrentFileName, path);
    QVERIFY(v.Doc().FileList.empty());
    QCOMPARE(v.Doc().ListIndex, 0);
    QVERIFY(v.Doc().UndoPicture().Empty());
    QVERIFY(v.form->Item("Reload1")->isEnabled());
  }

  void AFailingStartFileIsReportedAndLeavesTheWindowEmpty() {
    Folder folder;
    Viewer v(folder.TextFile("notes.xyz"));
    QCOMPARE(v.Messages(), std::vector<std::string>{"Unknown picture file extension (.xyz)"});
    QCOMPARE(v.Title(), QString("0 x 0 pix [0] ()"));
    QVERIFY(v.Doc().CurrentFileName.empty());
  }

  void TitleCountsListEntriesAndFollowsTheWindowSize() {
    Folder folder;
    std::vector<std::string> paths;
    for (int i = 0; i < 12; ++i)
      paths.push_back(folder.Picture(PictureName(std::to_string(i)), PatternPicture(40, 30)));
    const std::string beach = folder.Picture(PictureName("beach"), PatternPicture(1200, 800));
    Viewer v;
    v.Doc().FileList = paths;
    v.form->LoadImage(beach);
    QCOMPARE(v.Title(), QString("300 x 200 pix [12] (beach.bmp)"));
    v.SetClientSize(150, 225);
    QCOMPARE(v.Title(), QString("150 x 100 pix [12] (beach.bmp)"));
  }

  void MenuCaptionsShortcutsAndSwitches() {
    ScriptedPlatform services;
    TForm1 form(std::move(services.platform));
    QCOMPARE(form.PopupMenu1()->actions().size(), 30);
    QStringList effects;
    for (QAction* action : form.Item("EFFECTS1")->menu()->actions()) effects << action->text();
    QCOMPARE(effects, QStringList({"Lighten image", "Darken image", "+ Contrast image", " - Contrast image",
                                   "Sharpen image", "Anti alias image", "Gray image", "Sepia image"}));
    // Captions are shown exactly as written, the shortcut in the menu's second column.
    QCOMPARE(form.Item("Contextmenu1")->text(), QString("Context menu "));
    QCOMPARE(form.Item("Resizeto1")->text(), QString("Resize to...."));
    QCOMPARE(form.Item("Reload1")->text(), QString("Reload image\tCtrl+L"));
    QCOMPARE(form.Item("Rotateright1")->text(), QString("Rotate right\tCtrl+Right"));
    QCOMPARE(form.Item("EXIT1")->text(), QString("EXIT\tEsc"));
    QCOMPARE(FindCommand("Reload1")->shortcut, std::uint16_t(16460));
    QCOMPARE(FindCommand("Capture1")->shortcut, std::uint16_t(32835));
    QCOMPARE(FindCommand("Rotateright1")->shortcut, std::uint16_t(16423));
    QCOMPARE(FindCommand("EXIT1")->shortcut, std::uint16_t(27));
    QVERIFY(form.Checked("Fittowindow1"));
    for (const char* name : {"Allowoversize1", "Alphablend1", "OWFiles", "Contextmenu1"})
      QVERIFY(form.Item(name)->isCheckable() && !form.Checked(name));
  }

  void EnablingRuleFollowsPictureFileClipboardAndList() {
    Folder folder;
    Viewer v;
    auto disabled = [&] {
      v.form->PopupMenu1Popup();
      QStringList names;
      for (QAction* action : v.form->PopupMenu1()->actions())
        if (!action->isSeparator() && !action->isEnabled()) names << action->objectName();
      return names;
    };
    QCOMPARE(disabled(),
             QStringList({"Reload1", "Resizeimage1", "Resizeto1", "Rotateright1", "Rotateleft1", "Border1",
                          "Makeborder1", "Copyimage1", "Pasteimage1", "Clearimage1", "Clearlist1", "EFFECTS1",
                          "Save1", "Saveas1", "OWFiles", "Sendtoemail1"}));
    // A picture no file holds: only the three special items stay off.
    v.services.clipboard->content = PatternPicture(5, 5);
    v.form->Pasteimage1Click();
    v.services.clipboard->content.reset();
    QCOMPARE(disabled(), QStringList({"Reload1", "Pasteimage1", "Clearlist1"}));
    // A file, a list and a bitmap on the clipboard: everything on.
    v.Doc().FileList = {"one"};
    v.form->LoadImage(folder.Picture(PictureName("a"), PatternPicture(4, 4)));
    v.services.clipboard->content = PatternPicture(2, 2);
    QCOMPARE(disabled(), QStringList());
    // "Clear list" follows the list alone, even with an empty picture.
    v.form->Clearimage1Click();
    QVERIFY(disabled().contains("Resizeimage1"));
    QVERIFY(!disabled().contains("Clearlist1"));
  }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
