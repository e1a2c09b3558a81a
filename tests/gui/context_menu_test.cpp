// The "Open with qel Image Tool" entry: its keys in the user's store, the desktop
// entry that file managers read, the check that follows the store across starts, and
// "Latest version".
#include <sys/stat.h>
#include <QAction>
#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include "app/context_menu.h"
#include "app/form1.h"
#include "gui/helpers/desktop_sandbox.h"
#include "gui/helpers/viewer_fixture.h"
#include "platform/atomic_file.h"
#include "platform/desktop_entry_text.h"
#include "platform/path_text.h"
#include "platform/registry.h"
#include "support/peer_tools.h"

using namespace qel;
using namespace qel::test;

namespace {

const std::string kKey = "software\\classes\\*\\shell\\VornResize";
const std::string kCommandKey = kKey + "\\command";

std::string Executable() {
  return PathFromQString(QCoreApplication::applicationFilePath());
}

void Toggle(DesktopViewer& v) {
  v.form->Item("Contextmenu1")->trigger();
}

// The lines of a desktop entry as key -> value.
std::map<std::string, std::string> EntryFields(const std::string& text) {
  std::map<std::string, std::string> fields;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) fields[line.substr(0, equals)] = line.substr(equals + 1);
    start = end + 1;
  }
  return fields;
}

// desktop-file-validate's verdict: empty when the file passes, else its report.
std::string ValidationReport(const std::string& path) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start("desktop-file-validate", {QString::fromStdString(path)});
  if (!process.waitForFinished(60000)) return "desktop-file-validate did not run";
  const std::string output = process.readAll().toStdString();
  if (process.exitCode() != 0 || output.find("error") != std::string::npos) return output + "(failed)";
  return output;
}

}  // namespace

class ContextMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void CheckingInstallsAndUncheckingRemovesAcrossRestarts() {
    QEL_QSKIP_WITHOUT("desktop-file-validate");
    DesktopSandbox desktop;
    {
      DesktopViewer v;
      QVERIFY(!v.form->Checked("Contextmenu1"));
      Toggle(v);
      QVERIFY(v.form->Checked("Contextmenu1"));
      QVERIFY(v.Messages().empty());
    }
    const std::unique_ptr<Registry> store = MakeUserRegistry();
    QCOMPARE(store->ReadDefaultValue(kKey), std::optional<std::string>("Open with qel Image Tool"));
    QCOMPARE(store->ReadDefaultValue(kCommandKey), std::optional<std::string>(Executable() + " \"%1\""));
    QVERIFY(FileExists(desktop.KeyFile()));
    // The desktop entry, and the desktop's database refreshed over its folder.
    const std::map<std::string, std::string> fields = EntryFields(FileBytes(desktop.DesktopFile()));
    // File managers show it as "Open with qel Image Tool".
    QCOMPARE(fields.at("Name"), std::string("qel Image Tool"));
    QCOMPARE(fields.at("Type"), std::string("Application"));
    QCOMPARE(fields.at("NoDisplay"), std::string("true"));
    QCOMPARE(fields.at("Exec"), *ExecArgument(Executable()) + " %f");
    for (const char* type :
         {"image/jpeg;", "image/png;", "image/x-tga;", "image/vnd.zbrush.pcx;", "image/tiff;"})
      QVERIFY2(fields.at("MimeType").find(type) != std::string::npos, type);
    QCOMPARE(ValidationReport(desktop.DesktopFile()), std::string());
    QCOMPARE(desktop.Calls("update-desktop-database"),
             std::vector<std::vector<std::string>>({{desktop.DataHome() + "/applications"}}));
    {
      DesktopViewer v;  // a restart: the check follows the store
      QVERIFY(v.form->Checked("Contextmenu1"));
      Toggle(v);
      QVERIFY(!v.form->Checked("Contextmenu1"));
    }
    QVERIFY(!store->KeyExists(kKey) && !store->KeyExists(kCommandKey));
    QVERIFY(!FileExists(desktop.DesktopFile()));
    QCOMPARE(desktop.Calls("update-desktop-database").size(), std::size_t(2));
    DesktopViewer v;
    QVERIFY(!v.form->Checked("Contextmenu1"));
  }

  void AnExistingEntryStaysAsItIs() {
    DesktopSandbox desktop;
    const std::unique_ptr<Registry> store = MakeUserRegistry();
    QVERIFY(store->CreateKey(kCommandKey) && store->WriteDefaultValue(kCommandKey, "/opt/other \"%1\""));
    QVERIFY(MakeUserDesktopEntries()->Install(std::string(kOpenWithDesktopFile), "[Desktop Entry]\nmine\n"));
    DesktopViewer v;
    QVERIFY(v.form->Checked("Contextmenu1"));
    InstallContextMenu(*store, MakeUserDesktopEntries().get(), kContextMenuKeyName, {Executable(), {"jpg"}});
    QCOMPARE(store->ReadDefaultValue(kCommandKey), std::optional<std::string>("/opt/other \"%1\""));
    QCOMPARE(FileBytes(desktop.DesktopFile()), std::string("[Desktop Entry]\nmine\n"));
  }

  void StoreFailuresAreSilent() {
    DesktopSandbox desktop;
    // A damaged store reads as empty; installing replaces it and keeps the old one aside.
    QVERIFY(MakeFolders(desktop.ConfigHome() + "/qel-image-tool", 0700));
    WriteFileBytes(desktop.KeyFile(), std::string("\x00\xFF[software\\", 11));
    {
      DesktopViewer v;
      QVERIFY(!v.form->Checked("Contextmenu1"));
      Toggle(v);
      QVERIFY(v.Messages().empty());
    }
    QVERIFY(MakeUserRegistry()->KeyExists(kKey));
    QCOMPARE(FileBytes(desktop.KeyFile() + ".damaged"), std::string("\x00\xFF[software\\", 11));
    // A store that cannot be written: the check shows the choice, a restart the truth.
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(desktop.KeyFile()));
    {
      DesktopViewer v;
      QVERIFY(!v.form->Checked("Contextmenu1"));
      Toggle(v);
      QVERIFY(v.form->Checked("Contextmenu1"));
      QVERIFY(v.Messages().empty());
    }
    DesktopViewer v;
    QVERIFY(!v.form->Checked("Contextmenu1"));
  }

  void ExecQuotesAnyExecutablePath() {
    QEL_QSKIP_WITHOUT("desktop-file-validate");
    DesktopSandbox desktop;
    const std::pair<std::string, std::string> cases[] = {
        {"/opt/my tools/qel", "\"/opt/my tools/qel\" %f"},
        // Quoting escapes " ` $ \ with a backslash and doubles %; then every backslash
        // is doubled once more as the string value is written.
        {"/opt/a\"b`c$d\\e%f'g/qel", "\"/opt/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e%%f'g/qel\" %f"},
        {"/opt/bild;ein&aus/\xC3\xA9t\xC3\xA9", "\"/opt/bild;ein&aus/\xC3\xA9t\xC3\xA9\" %f"},
    };
    for (const auto& [path, exec] : cases) {
      const std::optional<std::string> text = OpenWithDesktopEntry("qel Image Tool", path, {"image/png"});
      QVERIFY(text.has_value());
      QCOMPARE(EntryFields(*text).at("Exec"), exec);
      const std::string file = desktop.TempFolder() + "/check.desktop";
      WriteFileBytes(file, *text);
      QCOMPARE(ValidationReport(file), std::string());
    }
    // Paths no entry can carry give no entry.
    QVERIFY(!OpenWithDesktopEntry("x", "/opt/\xFF/qel", {}).has_value());
    QVERIFY(!OpenWithDesktopEntry("x", "/opt/line\nbreak/qel", {}).has_value());
  }

  void LatestVersionOpensTheMakersPage() {
    DesktopSandbox desktop;
    desktop.StandIn("xdg-open", 0);
    DesktopViewer v;
    v.form->Item("Latest1")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(desktop.Calls("xdg-open").size(), std::size_t(1), 10000);
    const std::string address = desktop.Calls("xdg-open").front().at(0);
    QVERIFY(address.starts_with("https://") && address.ends_with("/QEL.html"));
    QVERIFY(v.Messages().empty());
  }
};

QTEST_MAIN(ContextMenuTest)
#include "context_menu_test.moc"
