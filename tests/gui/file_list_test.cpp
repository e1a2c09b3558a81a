// Loading, dropped files and folders, the open dialog and stepping through the list.
#include <QAction>
#include <QTest>
#include <algorithm>

#include "app/form1.h"
#include "app/open_filter.h"
#include "gui/helpers/desktop_sandbox.h"
#include "gui/helpers/viewer_fixture.h"
#include "imaging/file_list.h"
#include "imaging/picture_container.h"
#include "output/save_picture_file.h"
#include "platform/filter_text.h"

using namespace qel;
using namespace qel::test;

namespace {

std::vector<std::string> Names(const std::vector<std::string>& paths) {
  std::vector<std::string> names;
  for (const std::string& path : paths) names.push_back(ExtractFileName(path));
  return names;
}

// Three pictures of different sizes, named a, b and c, so that the title tells them apart.
struct ThreeFiles {
  Folder folder;
  std::string a = folder.Picture(PictureName("a"), PatternPicture(30, 20));
  std::string b = folder.Picture(PictureName("b"), PatternPicture(40, 20));
  std::string c = folder.Picture(PictureName("c"), PatternPicture(50, 20));
};

}  // namespace

class FileListTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void ContainsNoCaseIsASubstringTest() {
    const std::string filter = PictureFilterText();
    QVERIFY(ContainsNoCase(".JPG", filter));
    QVERIFY(ContainsNoCase(".jpg", filter));
    QVERIFY(ContainsNoCase(".jp", filter));
    QVERIFY(!ContainsNoCase(".txt", filter));
    QVERIFY(!ContainsNoCase("", filter));
    QVERIFY(!ContainsNoCase("", ""));
  }

  void DroppedFolderKeepsPictureFilesDirectlyInsideItInNameOrder() {
    // Real JPEG and PNG files, read by their own readers.
    Folder folder;
    SavePictureFile(folder.Path("a.jpg"), PatternPicture(60, 30), true);
    folder.TextFile("b.txt");
    SavePictureFile(folder.Path("c.PNG"), PatternPicture(10, 10), true);
    for (const char* name : {"img10.bmp", "img2.bmp", "IMG3.bmp", "Img1.bmp"})
      folder.Picture(name, PatternPicture(10, 10));
    folder.Picture(".cover.jpg", PatternPicture(10, 10));
    const std::string sub = folder.SubFolder("more");
    WritePictureFile(sub + "/d.jpg", PatternPicture(10, 10));
    folder.TextFile("noextension");
    Viewer v;
    v.Drop({folder.Root()});

    // Letters without regard to case, numbers by value, whatever order the folder yields.
    QCOMPARE(Names(v.Doc().FileList),
             std::vector<std::string>({"a.jpg", "c.PNG", "Img1.bmp", "img2.bmp", "IMG3.bmp", "img10.bmp"}));
    QCOMPARE(v.Doc().ListIndex, 1);
    QCOMPARE(v.Doc().CurrentFileName, v.Doc().FileList.front());
    QVERIFY(v.Doc().UndoPicture().Empty());
    QCOMPARE(v.Title(), QString("60 x 30 pix [6] (a.jpg)"));
  }

  void DroppedFilesReplaceTheListInDropOrder() {
    ThreeFiles files;
    Viewer v(files.c);
    const std::string missing = files.folder.Path(PictureName("gone"));
    v.Drop({files.b, files.folder.TextFile("x.txt"), missing, files.a});
    QCOMPARE(Names(v.Doc().FileList), std::vector<std::string>({"b.bmp", "a.bmp"}));
    QCOMPARE(v.Title(), QString("40 x 20 pix [2] (b.bmp)"));
    // No undo copy for a drop.
    QVERIFY(v.Doc().UndoPicture().Empty());
  }

  void DroppedPathsAreKeptWhole() {
    Folder folder;
    std::string relative = "a-rather-long-folder-name";
    while (folder.Root().size() + relative.size() < 300) relative += "/a-rather-long-folder-name";
    const std::string deep = folder.SubFolder(relative);
    const std::string path = deep + "/" + PictureName("deep");
    WritePictureFile(path, PatternPicture(7, 5));
    QVERIFY(path.size() > 255);
    Viewer v;
    v.Drop({path});
    QCOMPARE(v.Doc().FileList, std::vector<std::string>({path}));
    QCOMPARE(v.Doc().CurrentFileName, path);
    QCOMPARE(v.Title(), QString("7 x 5 pix [1] (deep.bmp)"));
  }

  void DroppingOnlyUnreadableFilesEmptiesTheListAndNothingElse() {
    ThreeFiles files;
    Viewer v(files.a);
    v.Doc().FileList = {files.a, files.b};
    const QString title = v.Title();
    v.Drop({files.folder.TextFile("x.txt"), files.folder.TextFile("noext")});
    QVERIFY(v.Doc().FileList.empty());
    QCOMPARE(v.Doc().CurrentFileName, files.a);
    QCOMPARE(v.Title(), title);
    QVERIFY(v.Messages().empty());
  }

  void AFailedLoadLeavesTheDocumentAsItWas() {
    ThreeFiles files;
    Viewer v(files.a);
    // A damaged file with a writable extension: a later "Save" must not write over it.
    const std::string broken = files.folder.Path("broken.png");
    WriteFileBytes(broken, "not a picture");
    v.Drop({broken});
    QCOMPARE(v.Doc().FileList, std::vector<std::string>({broken}));
    QCOMPARE(v.Messages().size(), std::size_t(1));
    QCOMPARE(v.Doc().CurrentFileName, files.a);
    QCOMPARE(v.Title(), QString("30 x 20 pix [1] (a.bmp)"));
    v.form->SetOptionValues(v.Doc().Options, true);
    v.Key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(FileBytes(broken), std::string("not a picture"));
    // Stepping onto it, or choosing it in the dialog, leaves the undo slot alone too.
    v.Doc().SetFileList({files.b, broken});
    v.Key(Qt::Key_Up);
    QCOMPARE(v.Doc().ListIndex, 2);
    QVERIFY(v.Doc().UndoPicture().Empty());
    v.services.dialogs->open_answers.push_back({broken});
    v.form->Item("Loadimage1")->trigger();
    QVERIFY(v.Doc().UndoPicture().Empty());
    QCOMPARE(v.Messages().size(), std::size_t(3));
    QCOMPARE(v.Doc().CurrentFileName, files.a);
    QCOMPARE(v.Doc().Current().Width(), 30);
    // "Reload image" reads the current file, not the one that failed.
    v.Key(Qt::Key_L, Qt::ControlModifier);
    QCOMPARE(v.Messages().size(), std::size_t(3));
  }

  void StepsWithWrapAroundAndTakesAnUndoCopy() {
    ThreeFiles files;
    Viewer v;
    v.Doc().SetFileList({files.a, files.b, files.c});
    v.Doc().ListIndex = 2;
    v.form->LoadImage(files.b);
    v.Key(Qt::Key_Up);
    QCOMPARE(v.Title(), QString("50 x 20 pix [3] (c.bmp)"));
    v.Key(Qt::Key_Up);
    QCOMPARE(v.Title(), QString("30 x 20 pix [3] (a.bmp)"));
    // Undo brings back the picture before the step and its name; undo again redoes.
    v.Key(Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(v.Title(), QString("50 x 20 pix [3] (c.bmp)"));
    v.Key(Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(v.Title(), QString("30 x 20 pix [3] (a.bmp)"));
    v.Key(Qt::Key_Down);
    QCOMPARE(v.Title(), QString("50 x 20 pix [3] (c.bmp)"));
    // Modifiers do not matter for the step keys.
    v.Key(Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(v.Title(), QString("40 x 20 pix [3] (b.bmp)"));
    v.Key(Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(v.Title(), QString("50 x 20 pix [3] (c.bmp)"));
  }

  void DeleteKeepsTheCursorNumber() {
    ThreeFiles files;
    Viewer v;
    v.Doc().SetFileList({files.a, files.b, files.c});
    v.Doc().ListIndex = 2;
    v.form->LoadImage(files.b);
    v.Key(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(Names(v.Doc().FileList), std::vector<std::string>({"a.bmp", "c.bmp"}));
    QCOMPARE(v.Title(), QString("40 x 20 pix [2] (b.bmp)"));
    QCOMPARE(v.Doc().ListIndex, 2);
    // Cursor 2 is not less than 2: Up wraps to a. Down from 2 also gives a.
    v.Key(Qt::Key_Up);
    QCOMPARE(v.Title(), QString("30 x 20 pix [2] (a.bmp)"));
    v.Doc().ListIndex = 2;
    v.Key(Qt::Key_Down);
    QCOMPARE(v.Title(), QString("30 x 20 pix [2] (a.bmp)"));
    // Past the end after deleting the last entry: Delete does nothing more.
    v.Doc().ListIndex = 2;
    v.Key(Qt::Key_Delete);
    QCOMPARE(v.Doc().ListIndex, 2);
    v.Key(Qt::Key_Delete);
    QCOMPARE(Names(v.Doc().FileList), std::vector<std::string>({"a.bmp"}));
  }

  void ClearListLeavesPictureAndCursorAndStopsStepping() {
    ThreeFiles files;
    Viewer v;
    v.Doc().SetFileList({files.a, files.b});
    v.form->LoadImage(files.a);
    v.Key(Qt::Key_X, Qt::AltModifier);
    QVERIFY(v.Doc().FileList.empty());
    QCOMPARE(v.Doc().ListIndex, 1);
    QCOMPARE(v.Title(), QString("30 x 20 pix [0] (a.bmp)"));
    v.Key(Qt::Key_Up);
    v.Key(Qt::Key_Down);
    v.Key(Qt::Key_Delete);
    QCOMPARE(v.Title(), QString("30 x 20 pix [0] (a.bmp)"));
    QVERIFY(v.Doc().UndoPicture().Empty());
  }

  void LoadImageTakesTheDialogsFilesUnfilteredInNameOrder() {
    ThreeFiles files;
    Viewer v(files.a);
    const std::string no_extension = files.folder.Path("plain");
    WritePictureFile(no_extension, PatternPicture(3, 3));
    v.services.dialogs->open_answers.push_back({files.c, no_extension, files.b});
    v.form->Item("Loadimage1")->trigger();
    QCOMPARE(v.services.dialogs->last_open_filter, OpenPictureFilter());
    QCOMPARE(Names(v.Doc().FileList), std::vector<std::string>({"b.bmp", "c.bmp", "plain"}));
    QCOMPARE(v.Title(), QString("40 x 20 pix [3] (b.bmp)"));
    QCOMPARE(v.Doc().UndoFileName, files.a);
    v.Key(Qt::Key_Up);
    QCOMPARE(v.Title(), QString("50 x 20 pix [3] (c.bmp)"));
    // The file without extension is in the list; loading it fails with the loader's error.
    v.Key(Qt::Key_Up);
    QCOMPARE(v.Messages(), std::vector<std::string>({"Unknown picture file extension (.)"}));
    QCOMPARE(v.Doc().ListIndex, 3);
    QCOMPARE(v.Title(), QString("50 x 20 pix [3] (c.bmp)"));
    QCOMPARE(v.Doc().UndoFileName, files.b);
    // A cancelled dialog changes nothing.
    v.form->Item("Loadimage1")->trigger();
    QCOMPARE(v.Doc().FileList.size(), std::size_t(3));
  }

  void ReloadReadsTheCurrentFileAgain() {
    ThreeFiles files;
    Viewer v(files.a);
    WritePictureFile(files.a, PatternPicture(33, 11));
    v.Key(Qt::Key_L, Qt::ControlModifier);
    QCOMPARE(v.Title(), QString("33 x 11 pix [0] (a.bmp)"));
    QVERIFY(v.Doc().UndoPicture().Empty());
  }

  void OpenFilterKeepsItsFiftySevenEntriesThenTheNewerFormats() {
    const std::string filter = OpenPictureFilter();
    const std::vector<FilterEntry> all_entries = ParseFilterText(filter);
    QVERIFY(all_entries.size() > 57);
    // The fixed entries first, as they always were.
    const std::vector<FilterEntry> entries(all_entries.begin(), all_entries.begin() + 57);
    QVERIFY(filter.starts_with("All (*.gif;*.pcx;*.cur;*.gif;*.ani;*.png;"));
    QVERIFY(filter.find("|Enhanced Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf|") != std::string::npos);
    QCOMPARE(entries[35].description, std::string("Truevision images (*.tga)"));
    for (std::size_t i = 1; i < entries.size(); ++i)
      QCOMPARE(entries[i].patterns, std::vector<std::string>({entries[0].patterns[i - 1]}));
    // Then the formats read beyond the table: one entry over them all, one for each.
    const std::vector<std::string>& added = all_entries[57].patterns;
    QCOMPARE(all_entries.size(), 58 + added.size());
    for (const char* pattern : {"*.webp", "*.avif", "*.heic", "*.jxl", "*.dng", "*.svg"})
      QVERIFY2(std::find(added.begin(), added.end(), pattern) != added.end(), pattern);
    // Qt's form keeps the descriptions and lists the patterns with blanks.
    QCOMPARE(QtFilterFromFilterText("All (*.a;*.b)|*.a;*.b|Alpha (*.a)|*.a|Beta|*.b"),
             std::string("All (*.a;*.b) (*.a *.b);;Alpha (*.a);;Beta (*.b)"));
    QCOMPARE(QString::fromStdString(QtFilterFromFilterText(filter)).split(";;").size(),
             int(all_entries.size()));
  }
};

QTEST_MAIN(FileListTest)
#include "file_list_test.moc"
