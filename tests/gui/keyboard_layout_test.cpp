// Every letter shortcut of the menu under a Cyrillic layout: the key that carries the
// Latin letter counts, whatever the layout writes on it, whether the platform reports
// the Latin keysym or only the key's code.
#include <QKeyEvent>
#include <QTest>
#include <algorithm>

#include "app/command_table.h"
#include "app/form1.h"
#include "app/shortcut_keys.h"
#include "gui/helpers/viewer_fixture.h"

using namespace qel;
using namespace qel::test;

namespace {

// The keys of the shortcuts' letters under a Russian layout: the Latin letter, the
// Cyrillic one the layout writes there, the key's X code.
struct RussianKey {
  char latin;
  char16_t cyrillic;
  std::uint32_t scan_code;
};
constexpr RussianKey kRussianKeys[] = {
    {'B', u'\u0418', 56}, {'C', u'\u0421', 54}, {'E', u'\u0423', 26}, {'F', u'\u0410', 41},
    {'L', u'\u0414', 46}, {'O', u'\u0429', 32}, {'R', u'\u041a', 27}, {'S', u'\u042b', 39},
    {'U', u'\u0413', 30}, {'V', u'\u041c', 55}, {'X', u'\u0427', 53},
};

}  // namespace

class KeyboardLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void EveryShortcutWorksUnderACyrillicLayout_data() {
    QTest::addColumn<bool>("latin_keysym");
    QTest::newRow("key code") << false;
    QTest::newRow("Latin keysym") << true;
  }

  void EveryShortcutWorksUnderACyrillicLayout() {
    QFETCH(bool, latin_keysym);
    Folder folder;
    const std::string a = folder.Picture("a.bmp", PatternPicture(40, 30));
    Viewer v;
    v.Drop({a, a});  // a current file and a list: every item is enabled
    v.services.clipboard->content = PatternPicture(4, 4);
    std::vector<std::string> ran;
    for (const CommandItem& item : CommandTable()) {
      if (!item.handler.empty())
        v.form->ConnectHandler(std::string(item.handler), [&ran, &item] { ran.emplace_back(item.handler); });
    }
    int letters = 0;
    for (const CommandItem& item : CommandTable()) {
      const char latin = char(item.shortcut & 0xFF);
      if (latin < 'A' || latin > 'Z') continue;
      ++letters;
      const RussianKey& key = *std::find_if(std::begin(kRussianKeys), std::end(kRussianKeys),
                                            [latin](const RussianKey& k) { return k.latin == latin; });
      const QChar letter(key.cyrillic);
      Qt::KeyboardModifiers modifiers;
      if (item.shortcut & kShortcutCtrl) modifiers |= Qt::ControlModifier;
      if (item.shortcut & kShortcutAlt) modifiers |= Qt::AltModifier;
      // The keysym: the Latin letter's, or the Unicode keysym of the Cyrillic one.
      const std::uint32_t keysym =
          latin_keysym ? std::uint32_t(latin - 'A' + 'a') : 0x1000000 + letter.toLower().unicode();
      QKeyEvent press(QEvent::KeyPress, letter.unicode(), modifiers, latin_keysym ? 0 : key.scan_code, keysym,
                      0, QString(letter.toLower()));
      ran.clear();
      QApplication::sendEvent(v.form.get(), &press);
      QVERIFY2(ran == std::vector<std::string>({std::string(item.handler)}), item.name.data());
    }
    QCOMPARE(letters, 14);
    // Keys without a letter of their own stay as they are, or unbound.
    QCOMPARE(VirtualKeyOfPress({Qt::Key_Up, 0xff52, 111}), vk::kUp);
    QCOMPARE(VirtualKeyOfPress({Qt::Key_F1, 0xffbe, 67}), std::uint16_t(0));
    QCOMPARE(VirtualKeyOfPress({0x42E, 0x6c0, 59}), std::uint16_t(0));  // no US letter on that key
  }
};

QTEST_MAIN(KeyboardLayoutTest)
#include "keyboard_layout_test.moc"
