// "Send to email client": the file written before the hand-off, the hand-off itself
// through xdg-email, and the failure message.
#include <unistd.h>
#include <QAction>
#include <QDir>
#include <QTest>

#include "app/form1.h"
#include "gui/helpers/desktop_sandbox.h"
#include "gui/helpers/viewer_fixture.h"

using namespace qel;
using namespace qel::test;

namespace {

using Calls = std::vector<std::vector<std::string>>;

bool IsJpeg(const std::string& path) {
  return FileBytes(path).starts_with("\xFF\xD8\xFF");
}
bool IsPng(const std::string& path) {
  return FileBytes(path).starts_with("\x89PNG");
}

void SetOverwrite(DesktopViewer& v, bool on) {
  v.form->SetOptionValues(v.Doc().Options, on);
}

// The hand-offs have been answered.
bool Answered(DesktopViewer& v) {
  return QTest::qWaitFor([&] { return v.form->GetPlatform().mail->Pending() == 0; }, 15000);
}

void Start(DesktopViewer& v) {
  v.form->PopupMenu1Popup();
  v.form->Item("Sendtoemail1")->trigger();
}

// Sends and waits for the mail client's answer.
bool Send(DesktopViewer& v) {
  Start(v);
  return Answered(v);
}

}  // namespace

class MailTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats({"png", "pcx"}); }

  void APictureWithoutAFileGoesAsQELjpgInTheTemporaryFolder() {
    DesktopSandbox desktop;
    desktop.StandIn("xdg-email", 0);
    const std::string mail_file = desktop.TempFolder() + "/QEL.jpg";
    DesktopViewer v;
    v.services.clipboard->content = PatternPicture(30, 20);
    v.form->Pasteimage1Click();
    QVERIFY(Send(v));
    QVERIFY(IsJpeg(mail_file));
    const std::string first = FileBytes(mail_file);
    // The next picture replaces the earlier mail copy.
    v.services.clipboard->content = PlainPicture(64, 64, 0x0000FF);
    v.form->Pasteimage1Click();
    QTest::keyClick(v.form.get(), Qt::Key_E, Qt::ControlModifier);
    QVERIFY(Answered(v));
    QVERIFY(IsJpeg(mail_file) && FileBytes(mail_file) != first);
    QCOMPARE(FolderNames(desktop.TempFolder()), std::vector<std::string>({"QEL.jpg"}));
    QCOMPARE(desktop.Calls("xdg-email"), Calls({{"--attach", mail_file}, {"--attach", mail_file}}));
    QVERIFY(v.Doc().CurrentFileName.empty());
    QVERIFY(v.Messages().empty());
  }

  void ALinkInTheMailFilesPlaceIsReplacedNotFollowed() {
    DesktopSandbox desktop;
    desktop.StandIn("xdg-email", 0);
    Folder elsewhere;
    const std::string victim = elsewhere.TextFile("notes.txt");
    const std::string mail_file = desktop.TempFolder() + "/QEL.jpg";
    QCOMPARE(::symlink(victim.c_str(), mail_file.c_str()), 0);
    DesktopViewer v;
    v.services.clipboard->content = PatternPicture(10, 10);
    v.form->Pasteimage1Click();
    QVERIFY(Send(v));
    QCOMPARE(FileBytes(victim), std::string("text\n"));
    QVERIFY(IsJpeg(mail_file));
    QCOMPARE(desktop.Calls("xdg-email").size(), std::size_t(1));
  }

  void AWritableFormatIsWrittenInPlaceOrBesideIt() {
    DesktopSandbox desktop;
    desktop.StandIn("xdg-email", 0);
    Folder folder;
    // Commas separate nothing: the path reaches the mail client whole.
    const std::string sub = folder.SubFolder("a,b");
    const std::string photo = sub + "/holiday, beach.png";
    WritePictureFile(photo, PatternPicture(40, 30));
    DesktopViewer v(photo);
    const QString title = v.form->windowTitle();
    // Overwrite on: the edit goes over the file, which is mailed.
    SetOverwrite(v, true);
    QVERIFY(Send(v));
    QVERIFY(IsPng(photo));
    // Overwrite off: a new free name beside it, and that file is mailed.
    SetOverwrite(v, false);
    QVERIFY(Send(v));
    const std::string beside = sub + "/holiday, beach[1].png";
    QVERIFY(IsPng(beside));
    QCOMPARE(desktop.Calls("xdg-email"), Calls({{"--attach", photo}, {"--attach", beside}}));
    QCOMPARE(v.Doc().CurrentFileName, photo);
    QCOMPARE(v.form->windowTitle(), title);
  }

  void OtherFormatsGoAsJpegWithoutReplacingAFile() {
    DesktopSandbox desktop;
    desktop.StandIn("xdg-email", 0);
    Folder folder;
    const std::string scan = folder.Picture("scan.pcx", PatternPicture(40, 30));
    DesktopViewer v(scan);
    SetOverwrite(v, true);  // does not apply to the .jpg copy
    QVERIFY(Send(v));
    QVERIFY(Send(v));
    QVERIFY(IsJpeg(folder.Path("scan.jpg")) && IsJpeg(folder.Path("scan[1].jpg")));
    QCOMPARE(desktop.Calls("xdg-email"),
             Calls({{"--attach", folder.Path("scan.jpg")}, {"--attach", folder.Path("scan[1].jpg")}}));
    QCOMPARE(v.Doc().CurrentFileName, scan);
  }

  void FailuresAreReported() {
    DesktopSandbox desktop;
    desktop.StandIn("xdg-email", 1);
    Folder folder;
    const std::string sub = folder.SubFolder("gone");
    const std::string scan = sub + "/scan.pcx";
    WritePictureFile(scan, PatternPicture(12, 12));
    DesktopViewer v(scan);
    QVERIFY(Send(v));
    QCOMPARE(v.Messages(), std::vector<std::string>({"Sending to email client failed!"}));
    // The copy made for the mail goes again.
    QCOMPARE(FolderNames(sub), std::vector<std::string>({"scan.pcx"}));
    // No mail program at all.
    desktop.RemoveStandIn("xdg-email");
    QVERIFY(Send(v));
    QCOMPARE(v.Messages().size(), std::size_t(2));
    QCOMPARE(v.Messages().back(), std::string("Sending to email client failed!"));
    // A write error passes on, and nothing is handed over.
    desktop.StandIn("xdg-email", 0);
    QVERIFY(QDir(QString::fromStdString(sub)).removeRecursively());
    QVERIFY(Send(v));
    QCOMPARE(v.Messages().size(), std::size_t(3));
    QVERIFY(v.Messages().back().starts_with("Cannot create file \"" + sub + "/scan.jpg\"."));
    QCOMPARE(desktop.Calls("xdg-email").size(), std::size_t(1));
    // The user's own file, written over for the mail, stays.
    desktop.StandIn("xdg-email", 1);
    const std::string photo = folder.Picture("photo.png", PatternPicture(12, 12));
    v.form->LoadImage(photo);
    SetOverwrite(v, true);
    QVERIFY(Send(v));
    QVERIFY(IsPng(photo));
    QCOMPARE(v.Messages().size(), std::size_t(4));
    // An empty picture sends nothing.
    v.form->Clearimage1Click();
    v.form->Sendtoemail1Click();
    QVERIFY(Answered(v));
    QCOMPARE(desktop.Calls("xdg-email").size(), std::size_t(2));
  }

  void TheWindowGoesOnWhileTheMailClientHasTheRequest() {
    DesktopSandbox desktop;
    Folder folder;
    // A mail program that keeps the request until the user closes it, then fails.
    desktop.StandIn("xdg-email", 1, folder.Path("closed"));
    DesktopViewer v(folder.Picture("scan.pcx", PatternPicture(40, 30)));
    Start(v);
    QTRY_COMPARE(desktop.Calls("xdg-email"), Calls({{"--attach", folder.Path("scan.jpg")}}));
    // The window answers meanwhile; the answer, when it comes, still decides the
    // message, and the mail copy goes.
    v.form->Rotateright1Click();
    QCOMPARE(v.Doc().Current().Width(), 30);
    QVERIFY(v.Messages().empty());
    WriteFileBytes(folder.Path("closed"), "");
    QVERIFY(Answered(v));
    QCOMPARE(v.Messages(), std::vector<std::string>({"Sending to email client failed!"}));
    QVERIFY(!FileExists(folder.Path("scan.jpg")));
  }
};

QTEST_MAIN(MailTest)
#include "mail_test.moc"
