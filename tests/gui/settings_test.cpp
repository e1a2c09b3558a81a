// The settings file beside the executable of a copy in a folder of its own, or in the
// user's configuration folder for an installed copy: its name, the values read at
// start, the six keys written at every close of the options window with every other
// line kept, the removable-drive rule and the failed write.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QTest>

#include "base/paths.h"
#include "gui/helpers/desktop_sandbox.h"
#include "gui/helpers/options_fixture.h"
#include "options/color_swatch.h"
#include "options/number_box.h"
#include "options/settings_file.h"

using namespace qel;
using namespace qel::test;

namespace {

const std::string kDefaultsWritten =
    "[Settings]\n"
    "FrameColor=16777215\n"
    "BorderColor=8421504\n"
    "BorderWidth=10\n"
    "Filter=5\n"
    "Sharpen=1\n"
    "OverWrite=0\n";

// An empty file system mounted read-only on a temporary folder.
struct ReadOnlyFolder {
  Folder folder;
  bool mounted =
      ::geteuid() == 0 && ::mount("qel-test", folder.Root().c_str(), "tmpfs", MS_RDONLY, "size=16k") == 0;
  ~ReadOnlyFolder() {
    if (mounted) ::umount(folder.Root().c_str());
  }
  bool Mounted() const { return mounted; }
  std::string Path() const { return folder.Root(); }
};

}  // namespace

class SettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void FileNameAndPathTests() {
    QCOMPARE(SettingsFilePath("/opt/qel/build/qel-image-tool"),
             std::string("/opt/qel/build/qel-image-tool.dat"));
    QCOMPARE(SettingsFilePath("/opt/qel/tool.exe"), std::string("/opt/qel/tool.dat"));
    // A dot in a folder name is no extension.
    QCOMPARE(SettingsFilePath("/opt/v1.2/tool"), std::string("/opt/v1.2/tool.dat"));
    QCOMPARE(SettingsFilePath("tool"), std::string("tool.dat"));
    QVERIFY(IsUsbPath("/media/USB-stick/tool"));
    QVERIFY(IsUsbPath("/home/me/usb-apps/tool"));
    QVERIFY(IsUsbPath("/home/me/bin/myUsbTool"));
    QVERIFY(!IsUsbPath("/home/me/u-s-b/tool"));
  }

  void IntegerTexts() {
    QCOMPARE(ParseIniInteger("0x20"), std::optional<std::int32_t>(32));
    QCOMPARE(ParseIniInteger("0X1f"), std::optional<std::int32_t>(31));
    QCOMPARE(ParseIniInteger("$10"), std::optional<std::int32_t>(16));
    QCOMPARE(ParseIniInteger("0xFFFFFFFF"), std::optional<std::int32_t>(-1));
    QCOMPARE(ParseIniInteger("-5"), std::optional<std::int32_t>(-5));
    QCOMPARE(ParseIniInteger("+7"), std::optional<std::int32_t>(7));
    QCOMPARE(ParseIniInteger("007"), std::optional<std::int32_t>(7));
    QCOMPARE(ParseIniInteger("-2147483648"), std::optional<std::int32_t>(INT32_MIN));
    for (const char* bad :
         {"", "0x", "$", "abc", "12abc", "1 2", "2147483648", "0x100000000", "0xg", "-", "$-1"})
      QVERIFY2(!ParseIniInteger(bad), bad);
  }

  void FirstStartGivesTheDefaultsAndACloseWritesTheSixKeys() {
    OptionsViewer o;
    QCOMPARE(o.options->FColor->Color(), TColor(0xFFFFFF));
    QCOMPARE(o.options->BColor->Color(), TColor(0x808080));
    QCOMPARE(o.options->SpinEdit1->Value(), 10);
    QCOMPARE(o.options->FilterBx->currentText(), QString("Lanczos3"));
    QVERIFY(o.options->SharpBx->isChecked());
    QVERIFY(!o.options->OWBx->isChecked());
    // The values reached the main window; nothing was written yet.
    const TOptionValues expected{0x808080, 0xFFFFFF, 10, true, 5};
    QVERIFY(o.Doc().Options == expected);
    QVERIFY(!o.Form().OverwriteFiles());
    QCOMPARE(ReadTextFile(o.SettingsPath()), std::nullopt);

    o.ShowOptions();
    o.options->close();
    QCOMPARE(ReadTextFile(o.SettingsPath()), std::optional<std::string>(kDefaultsWritten));

    // Changed values are written as decimals, "1" and "0".
    o.ShowOptions();
    o.options->FColor->SetColor(0x0000FF);
    o.options->SpinEdit1->SetValue(25);
    o.options->FilterBx->setCurrentIndex(0);
    o.options->SharpBx->setChecked(false);
    o.options->OWBx->setChecked(true);
    o.options->close();
    QCOMPARE(ReadTextFile(o.SettingsPath()),
             std::optional<std::string>("[Settings]\nFrameColor=255\nBorderColor=8421504\nBorderWidth=25\n"
                                        "Filter=0\nSharpen=0\nOverWrite=1\n"));
    QVERIFY(o.Form().OverwriteFiles());
    QCOMPARE(o.Doc().Options.Filter, 0);
    QVERIFY(o.Messages().empty());
  }

  void ValuesAreReadWithHexadecimalAndDefaults() {
    OptionsViewer o("qel-image-tool",
                    "[settings]\n"
                    "BorderWidth=0x20\n"
                    " filter = abc \n"
                    "Sharpen=2\n"
                    "FrameColor=$0000FF\n"
                    "OverWrite=\"1\"\n");
    QCOMPARE(o.options->SpinEdit1->Value(), 32);
    QCOMPARE(o.options->FilterBx->currentIndex(), 5);
    QVERIFY(o.options->SharpBx->isChecked());
    QCOMPARE(o.options->FColor->Color(), TColor(0xFF));
    QCOMPARE(o.options->BColor->Color(), TColor(0x808080));
    QVERIFY(o.options->OWBx->isChecked());
    QVERIFY(o.Form().OverwriteFiles());
    QCOMPARE(o.Doc().Options.BorderWidth, 32);
  }

  void OutOfRangeValuesAreClampedOrLeaveNoFilter() {
    OptionsViewer o("qel-image-tool", "[Settings]\nBorderWidth=80\nFilter=9\nSharpen=0\nBorderColor=-1\n");
    QCOMPARE(o.options->SpinEdit1->Value(), 50);
    QCOMPARE(o.options->FilterBx->currentIndex(), -1);
    QCOMPARE(o.Doc().Options.Filter, -1);
    QCOMPARE(o.Doc().Options.BorderWidth, 50);
    QVERIFY(!o.Doc().Options.Sharpen);
    // A colour keeps only its red, green and blue bytes.
    QCOMPARE(o.options->BColor->Color(), TColor(0xFFFFFF));
    o.ShowOptions();
    o.options->close();
    const std::string written = *ReadTextFile(o.SettingsPath());
    QVERIFY(written.find("BorderWidth=50\n") != std::string::npos);
    QVERIFY(written.find("Filter=-1\n") != std::string::npos);
  }

  void EveryOtherLineOfTheFileIsKept() {
    const std::string before =
        "; written by hand\r\n"
        "[Other]\r\n"
        "FrameColor=1\r\n"
        "\r\n"
        "[SETTINGS]\r\n"
        "sharpen = 0\r\n"
        "Comment line without equals\r\n"
        "BorderWidth=12\r\n"
        "\r\n"
        "[Last]\r\n"
        "Key=Value";
    OptionsViewer o("qel-image-tool", before);
    QCOMPARE(o.options->SpinEdit1->Value(), 12);
    QVERIFY(!o.options->SharpBx->isChecked());
    // The [Other] section's FrameColor is not ours.
    QCOMPARE(o.options->FColor->Color(), TColor(0xFFFFFF));
    o.ShowOptions();
    o.options->SpinEdit1->SetValue(7);
    o.options->close();
    const std::string after =
        "; written by hand\r\n"
        "[Other]\r\n"
        "FrameColor=1\r\n"
        "\r\n"
        "[SETTINGS]\r\n"
        "Sharpen=0\r\n"
        "Comment line without equals\r\n"
        "BorderWidth=7\r\n"
        "FrameColor=16777215\r\n"
        "BorderColor=8421504\r\n"
        "Filter=5\r\n"
        "OverWrite=0\r\n"
        "\r\n"
        "[Last]\r\n"
        "Key=Value";
    QCOMPARE(ReadTextFile(o.SettingsPath()), std::optional<std::string>(after));

    // A file without the section gets it at its end, after a line end of its own.
    WriteTextFile(o.SettingsPath(), "[Other]\nA=1");
    o.ShowOptions();
    o.options->close();
    QCOMPARE(ReadTextFile(o.SettingsPath()),
             std::optional<std::string>("[Other]\nA=1\n[Settings]\n"
                                        "FrameColor=16777215\nBorderColor=8421504\n"
                                        "BorderWidth=7\nFilter=5\nSharpen=0\n"
                                        "OverWrite=0\n"));
  }

  void ARemovableDrivePathNeverTouchesTheFile() {
    const std::string stored = "[Settings]\nBorderWidth=30\nSharpen=1\nFilter=0\n";
    OptionsViewer o("USB-apps/qel-image-tool", stored);
    // The window's own values, with sharpen off.
    QCOMPARE(o.options->SpinEdit1->Value(), 10);
    QCOMPARE(o.options->FilterBx->currentIndex(), 5);
    QVERIFY(!o.options->SharpBx->isChecked());
    QVERIFY(!o.Doc().Options.Sharpen);
    o.ShowOptions();
    o.options->SpinEdit1->SetValue(40);
    o.options->close();
    QCOMPARE(o.Doc().Options.BorderWidth, 40);
    QCOMPARE(ReadTextFile(o.SettingsPath()), std::optional<std::string>(stored));

    OptionsViewer fresh("apps/qelusb");
    fresh.ShowOptions();
    fresh.options->close();
    QCOMPARE(ReadTextFile(fresh.SettingsPath()), std::nullopt);
    QVERIFY(fresh.Messages().empty());
  }

  void AFailedWriteIsReportedAndTheWindowStillCloses() {
    // The executable's folder does not exist, so the file cannot be made.
    OptionsViewer missing("qel-image-tool");
    QDir(QFile::decodeName(missing.folder.Root().c_str())).removeRecursively();
    missing.ShowOptions();
    missing.options->SpinEdit1->SetValue(20);
    missing.options->close();
    QVERIFY(!missing.options->isVisible());
    QCOMPARE(missing.Doc().Options.BorderWidth, 20);
    QCOMPARE(missing.Messages(), std::vector<std::string>({"Unable to write to " + missing.SettingsPath()}));

    // A folder where the file should be stays a folder.
    OptionsViewer blocked;
    blocked.folder.SubFolder("qel-image-tool.dat");
    blocked.ShowOptions();
    blocked.options->close();
    QVERIFY(!blocked.options->isVisible());
    QCOMPARE(blocked.Messages(), std::vector<std::string>({"Unable to write to " + blocked.SettingsPath()}));
    QVERIFY(QFileInfo(QFile::decodeName(blocked.SettingsPath().c_str())).isDir());
  }

  void AnInstalledProgramKeepsItsOptionsInTheUsersConfigurationFolder() {
    // A program folder that cannot be written, not even by the superuser.
    const ReadOnlyFolder program;
    if (!program.Mounted()) QSKIP("cannot mount a read-only file system here (needs the superuser)");
    DesktopSandbox desktop;
    const std::string settings = desktop.ConfigHome() + "/qel-image-tool/qel-image-tool.dat";
    {
      OptionsViewer o(program.Path() + "/qel-image-tool");
      QCOMPARE(o.SettingsPath(), settings);
      o.ShowOptions();
      o.options->SpinEdit1->SetValue(25);
      o.options->close();
      QVERIFY(o.Messages().empty());
      QVERIFY(ReadTextFile(settings).value_or("").find("BorderWidth=25\n") != std::string::npos);
    }
    // The next start reads them from there.
    OptionsViewer again(program.Path() + "/qel-image-tool");
    QCOMPARE(again.options->SpinEdit1->Value(), 25);
  }

  void AnInstalledCopyKeepsItsOptionsInTheConfigurationFolder() {
    // Also for the superuser, whom the kernel lets write any folder: a copy in a
    // prefix's bin folder, or in a folder whose mode lets nobody write, is installed.
    // (tests/x11/installed_copy_test.sh runs an installed viewer.)
    DesktopSandbox desktop;
    const std::string config_file = desktop.ConfigHome() + "/qel-image-tool/qel-image-tool.dat";
    struct Case {
      const char* executable;
      unsigned folder_mode;
      bool installed;
    };
    for (const Case c : {Case{"usr/bin/tool", 0755, true}, Case{"home/.local/bin/tool", 0700, true},
                         Case{"closed/tool", 0555, true}, Case{"portable/tool", 0755, false}}) {
      Folder root;
      const std::string executable = root.Path(c.executable);
      QVERIFY(QDir().mkpath(QFile::decodeName(FolderOf(executable).c_str())));
      QVERIFY(::chmod(FolderOf(executable).c_str(), c.folder_mode) == 0);
      QCOMPARE(IsInstalledCopy(executable), c.installed);
      const SettingsLocation location = FindSettingsLocation(executable);
      QCOMPARE(location.path, c.installed ? config_file : SettingsFilePath(executable));
      ::chmod(FolderOf(executable).c_str(), 0755);
    }
  }

  void TheMenuSwitchFollowsIntoTheBoxButIsStoredOnlyAtClose() {
    const std::string stored = "[Settings]\nOverWrite=0\n";
    OptionsViewer o("qel-image-tool", stored);
    o.Form().Item("OWFiles")->trigger();
    QVERIFY(o.Form().OverwriteFiles());
    QVERIFY(o.options->OWBx->isChecked());
    o.Form().Item("OWFiles")->trigger();
    QVERIFY(!o.options->OWBx->isChecked());
    o.Form().Item("OWFiles")->trigger();
    // Quitting without opening the options window stores nothing.
    const std::string path = o.SettingsPath();
    o.viewer.reset();
    QCOMPARE(ReadTextFile(path), std::optional<std::string>(stored));
  }
};

QTEST_MAIN(SettingsTest)
#include "settings_test.moc"
