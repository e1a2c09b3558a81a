// The per-user key store: its operations, its text form, and a damaged or unusable
// file, which reads as empty and never takes the program down.
#include <sys/stat.h>
#include <unistd.h>
#include <QTemporaryDir>
#include <QTest>

#include "gui/helpers/desktop_sandbox.h"
#include "platform/key_store.h"
#include "platform/registry.h"

using namespace qel;
using namespace qel::test;

class KeyStoreTest : public QObject {
  Q_OBJECT

 private slots:
  void KeysAreCreatedWithParentsAndDeletedWithChildren() {
    KeyStore store;
    QVERIFY(store.CreateKey("Software\\Classes\\*\\shell\\Name\\command"));
    // Parents exist, names compare without case, values belong to existing keys only.
    QVERIFY(store.KeyExists("software\\classes\\*\\SHELL\\name"));
    QVERIFY(store.KeyExists("software"));
    QVERIFY(!store.KeyExists("software\\classes\\*\\shell\\Nam"));
    QVERIFY(!store.WriteDefaultValue("software\\other", "x"));
    QVERIFY(store.WriteDefaultValue("software\\classes\\*\\shell\\name", "Open"));
    QCOMPARE(store.ReadDefaultValue("SOFTWARE\\classes\\*\\shell\\Name"), std::optional<std::string>("Open"));
    QVERIFY(!store.ReadDefaultValue("software\\classes").has_value());
    // A sibling whose name starts like the key stays when the key goes.
    QVERIFY(store.CreateKey("software\\classes\\*\\shell\\Name2"));
    QVERIFY(store.CreateKey("software\\classes\\*\\shell\\Name!"));
    QVERIFY(store.DeleteKey("software\\classes\\*\\shell\\name"));
    QVERIFY(!store.KeyExists("software\\classes\\*\\shell\\Name\\command"));
    QVERIFY(store.KeyExists("software\\classes\\*\\shell\\Name2"));
    QVERIFY(store.KeyExists("software\\classes\\*\\shell\\Name!"));
    QVERIFY(!store.DeleteKey("software\\classes\\*\\shell\\name"));
    // Names that are no keys.
    for (const char* bad : {"", "\\a", "a\\", "a\\\\b", "a\nb", "a\tb"}) {
      QVERIFY2(!store.CreateKey(bad), bad);
      QVERIFY(!store.KeyExists(bad));
    }
  }

  void TheTextFormKeepsEveryValue() {
    KeyStore store;
    const std::string tricky = "/opt/a \"b\"\\c\n\r\t\x01\x7F%1 \xC3\xA9";
    QVERIFY(store.CreateKey("a\\b\\c") && store.WriteDefaultValue("a\\b\\c", tricky));
    QVERIFY(store.CreateKey("a\\empty") && store.CreateKey("z[]"));
    QVERIFY(store.CreateKey("a\\b\\blank") && store.WriteDefaultValue("a\\b\\blank", ""));
    const std::string text = store.Serialize();
    QVERIFY(text.starts_with("; qel Image Tool keys 1\n"));
    // One record a line: no raw control character inside a value.
    QVERIFY(text.find("\x01") == std::string::npos && text.find('\r') == std::string::npos);
    const std::optional<KeyStore> back = KeyStore::Parse(text);
    QVERIFY(back.has_value());
    QCOMPARE(back->ReadDefaultValue("a\\b\\c"), std::optional<std::string>(tricky));
    QCOMPARE(back->ReadDefaultValue("a\\b\\blank"), std::optional<std::string>(""));
    QVERIFY(back->KeyExists("a\\empty") && back->KeyExists("z[]") && back->KeyExists("a\\b"));
    QCOMPARE(back->KeyCount(), store.KeyCount());
    QCOMPARE(back->Serialize(), text);
    // Written on Windows: CR LF line ends are read too.
    std::string crlf;
    for (const char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    QVERIFY(KeyStore::Parse(crlf).has_value());
  }

  void DamagedTextIsRefusedWhole() {
    const std::string head = "; qel Image Tool keys 1\n";
    for (const std::string& bad :
         {std::string(), std::string("[a]\n@=\"x\"\n"), head + "@=\"orphan\"\n", head + "[a]\n@=x\n",
          head + "[a]\n@=\"x\n", head + "[a]\n@=\"\\q\"\n", head + "[a]\n@=\"\\x4\"\n",
          head + "[a]\n@=\"a\"b\"\n", head + "[a\\\\b]\n", head + "[a\n", head + "junk\n",
          head + "[a]\n@=\"\t\"\n", std::string("; qel Image Tool keys 2\n[a]\n")}) {
      QVERIFY2(!KeyStore::Parse(bad).has_value(), bad.c_str());
    }
  }

  void AnUnusableFileReadsAsEmptyAndIsReplacedOnTheNextChange() {
    QTemporaryDir dir;
    const std::string folder = QFile::encodeName(dir.path()).toStdString();
    const std::string path = folder + "/sub/keys";
    std::unique_ptr<Registry> store = MakeFileRegistry(path);
    // No file yet: empty; the first change makes the folder and the file.
    QVERIFY(!store->KeyExists("a"));
    QVERIFY(store->CreateKey("a\\b") && store->WriteDefaultValue("a\\b", "v"));
    QCOMPARE(MakeFileRegistry(path)->ReadDefaultValue("a\\b"), std::optional<std::string>("v"));
    QCOMPARE(FolderNames(folder + "/sub"), std::vector<std::string>({"keys"}));  // no temporary left
    // Too large: empty, and the next change keeps the old file aside.
    WriteFileBytes(path, "; qel Image Tool keys 1\n[a]\n;" + std::string(kMaxKeyStoreSize, 'x') + "\n");
    QVERIFY(!store->KeyExists("a"));
    QVERIFY(store->CreateKey("c"));
    QVERIFY(store->KeyExists("c") && !store->KeyExists("a"));
    QVERIFY(FileExists(path + ".damaged"));
    // A FIFO in the file's place does not block the reader, and is not moved.
    ::unlink(path.c_str());
    QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
    QVERIFY(!store->KeyExists("c"));
    QVERIFY(!store->ReadDefaultValue("c").has_value());
    ::unlink(path.c_str());
    // A folder in the file's place: reads as empty, changes fail, nothing is moved.
    QVERIFY(MakeFileRegistry(folder + "/sub")->CreateKey("x") == false);
    QVERIFY(FileExists(folder + "/sub"));
    // No place at all: every operation reports failure.
    std::unique_ptr<Registry> nowhere = MakeFileRegistry("");
    QVERIFY(!nowhere->CreateKey("a") && !nowhere->KeyExists("a") && !nowhere->DeleteKey("a"));
  }
};

QTEST_MAIN(KeyStoreTest)
#include "key_store_test.moc"
