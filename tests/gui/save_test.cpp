// "Save" and "Save as....": which file is written, when the dialog opens, and that
// the document keeps naming the file the picture came from.
#include <QAction>
#include <QTest>

#include "app/form1.h"
#include "app/save_targets.h"
#include "gui/helpers/desktop_sandbox.h"
#include "gui/helpers/viewer_fixture.h"
#include "output/writer_table.h"
#include "platform/filter_text.h"

using namespace qel;
using namespace qel::test;

namespace {

bool IsJpeg(const std::string& path) {
  return FileBytes(path).starts_with("\xFF\xD8\xFF");
}
bool IsPng(const std::string& path) {
  return FileBytes(path).starts_with("\x89PNG");
}

void SetOverwrite(Viewer& v, bool on) {
  v.form->SetOptionValues(v.Doc().Options, on);
}

}  // namespace

class SaveTest : public QObject {
  Q_OBJECT

 private slots:
  // The BMP reader opens these extensions too, so the files start as BMP data.
  void initTestCase() { RegisterFormats({"jpg", "jpeg", "png", "jp", "tif"}); }

  void SaveWritesTheCurrentFileInPlaceOrBesideIt() {
    Folder folder;
    const std::string photo = folder.Picture("photo.JPG", PatternPicture(40, 30));
    Viewer v(photo);
    v.Doc().FileList = {photo, photo};
    v.form->FormResize();
    const QString title = v.Title();
    // Overwrite off: a free name beside it; the title and the name stay.
    SetOverwrite(v, false);
    const std::string before = FileBytes(photo);
    v.Key(Qt::Key_S, Qt::ControlModifier);
    QVERIFY(IsJpeg(folder.Path("photo[1].JPG")));
    QCOMPARE(FileBytes(photo), before);
    QCOMPARE(v.Doc().CurrentFileName, photo);
    QCOMPARE(v.Title(), title);
    QCOMPARE(v.Doc().FileList.size(), std::size_t(2));
    // Overwrite on: the file itself, as JPEG whatever the case of its extension.
    SetOverwrite(v, true);
    v.form->Item("Save1")->trigger();
    QVERIFY(IsJpeg(photo));
    QCOMPARE(FolderNames(folder.Root()), std::vector<std::string>({"photo.JPG", "photo[1].JPG"}));
    QVERIFY(v.services.dialogs->save_requests.empty());
    QVERIFY(v.Messages().empty());
  }

  void SaveAsksForANameWhenTheWriterDoesNotKnowTheExtension() {
    Folder folder;
    const std::string photo = folder.Picture("photo.jpeg", PatternPicture(40, 30));
    Viewer v(photo);
    SetOverwrite(v, true);
    v.form->Item("Save1")->trigger();  // the dialog is cancelled
    QCOMPARE(v.services.dialogs->save_requests.size(), std::size_t(1));
    const FileDialogs::SaveRequest& request = v.services.dialogs->save_requests.front();
    QCOMPARE(request.filter, std::string(kSavePictureFilter));
    QCOMPARE(request.default_extension, std::string("jpg"));
    QCOMPARE(request.initial_folder, folder.Root());
    QCOMPARE(request.file_name, photo);
    QCOMPARE(FolderNames(folder.Root()), std::vector<std::string>({"photo.jpeg"}));
    // A picture no file holds: the dialog too, with no folder and no name.
    v.services.clipboard->content = PatternPicture(8, 8);
    v.form->Pasteimage1Click();
    v.services.dialogs->save_answers.push_back(folder.Path("pasted.png"));
    v.form->Item("Save1")->trigger();
    QCOMPARE(v.services.dialogs->save_requests.back().initial_folder, std::string());
    QCOMPARE(v.services.dialogs->save_requests.back().file_name, std::string());
    QVERIFY(IsPng(folder.Path("pasted.png")));
    QVERIFY(v.Doc().CurrentFileName.empty());
  }

  void AnExtensionNoWriterServesIsReportedAndNothingIsWritten() {
    Folder folder;
    const std::string picture = folder.Picture("picture.jp", PatternPicture(10, 10));
    const std::string scan = folder.Picture("scan.tif", PatternPicture(10, 10));
    const std::string listed = "The extensions written are " + WritableExtensionList();
    Viewer v(picture);
    SetOverwrite(v, false);
    // ".jp" occurs in the list of writable extensions, so "Save" goes straight to the
    // writer, which refuses it.
    v.form->Item("Save1")->trigger();
    QVERIFY(v.services.dialogs->save_requests.empty());
    QCOMPARE(v.Messages().size(), std::size_t(1));
    QCOMPARE(v.Messages().back(), "Cannot save \"" + picture +
                                      "\": no format is written for the extension "
                                      "\".jp\". " +
                                      listed);
    // ".tif" opens the dialog on the same name; accepting it says why nothing is written.
    v.form->LoadImage(scan);
    v.services.dialogs->save_answers.push_back(scan);
    v.form->Item("Save1")->trigger();
    QCOMPARE(v.services.dialogs->save_requests.back().file_name, scan);
    QCOMPARE(v.Messages().size(), std::size_t(2));
    QVERIFY(v.Messages().back().ends_with("\".tif\". " + listed));
    QCOMPARE(FolderNames(folder.Root()), std::vector<std::string>({"picture.jp", "scan.tif"}));
    QCOMPARE(FileBytes(scan), FileBytes(picture));
  }

  void SaveAsReplacesAnExistingFileWithoutAsking() {
    Folder folder;
    const std::string photo = folder.Picture("photo.jpg", PatternPicture(40, 30));
    const std::string other = folder.Picture("other.png", PatternPicture(5, 5));
    Viewer v(photo);
    SetOverwrite(v, false);
    v.services.dialogs->save_answers.push_back(other);
    v.form->Item("Saveas1")->trigger();
    QVERIFY(IsPng(other));
    QCOMPARE(FolderNames(folder.Root()), std::vector<std::string>({"other.png", "photo.jpg"}));
    QCOMPARE(v.services.dialogs->save_requests.front().file_name, photo);
    QCOMPARE(v.Doc().CurrentFileName, photo);
    QCOMPARE(v.Title(), QString("40 x 30 pix [0] (photo.jpg)"));
  }

  void WriterErrorsGoToTheMessageBox() {
    Folder folder;
    const std::string photo = folder.Picture("photo.jpg", PatternPicture(40, 30));
    Viewer v(photo);
    v.services.dialogs->save_answers.push_back(folder.Path("missing/out.png"));
    v.form->Item("Saveas1")->trigger();
    QCOMPARE(v.Messages().size(), std::size_t(1));
    QVERIFY(
        v.Messages().front().starts_with("Cannot create file \"" + folder.Path("missing/out.png") + "\"."));
    QCOMPARE(v.Doc().CurrentFileName, photo);
    // An empty picture: neither a write nor a dialog, also when called by name.
    v.form->Clearimage1Click();
    v.form->CallHandlerByName("Save1Click");
    v.form->Save1Click("Save1");
    QCOMPARE(v.services.dialogs->save_requests.size(), std::size_t(1));
  }

  void TheDialogShowsTheFilterInQtsForm() {
    QCOMPARE(
        QtFilterFromFilterText(std::string(kSavePictureFilter)),
        std::string("Graphic Files (*.jpg *.bmp *.gif *.png *.emf *.jp2 *.tga *.webp);;JPEG Image (*.jpg);;"
                    "Windows Bitmap (*.bmp);;GIF Image (*.gif);;PNG Image (*.png);;"
                    "Enhamced Metafile (*.emf);;JPEG2000 (*.jp2);;Targa Image (*.tga);;"
                    "WebP Image (*.webp)"));
  }
};

QTEST_MAIN(SaveTest)
#include "save_test.moc"
