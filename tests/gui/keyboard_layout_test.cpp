// Every shortcut of the menu, and the keys of the key handler, under a Cyrillic
// layout: the key that carries the Latin letter counts, whatever the layout writes on
// it, whether the platform reports the Latin key symbol or only the key's code.
#include <QKeyEvent>
#include <QTest>
#include <map>

#include "app/command_table.h"
#include "app/form1.h"
#include "app/shortcut_keys.h"
#include "gui/helpers/viewer_fixture.h"

using namespace qel;
using namespace qel::test;

namespace {

// What a Russian layout writes on the keys of the US letters, with the keys' X codes.
struct RussianKey {
  char16_t letter;       // upper case, as Qt reports it
  std::uint32_t keysym;  // the X keysym of the lower-case letter
  std::uint32_t scan_code;
};
const std::map<char, RussianKey>& RussianKeys() {
  static const std::map<char, RussianKey> keys = {
      {'B', {u'\u0418', 0x6c9, 56}}, {'C', {u'\u0421', 0x6d3, 54}}, {'E', {u'\u0423', 0x6d5, 26}},
      {'F', {u'\u0410', 0x6c1, 41}}, {'L', {u'\u0414', 0x6c4, 46}}, {'O', {u'\u0429', 0x6dd, 32}},
      {'R', {u'\u041a', 0x6cb, 27}}, {'S', {u'\u042b', 0x6d9, 39}}, {'U', {u'\u0413', 0x6c7, 30}},
      {'V', {u'\u041c', 0x6cd, 55}}, {'X', {u'\u0427', 0x6de, 53}},
  };
  return keys;
}

Qt::KeyboardModifiers ModifiersOf(std::uint16_t code) {
  Qt::KeyboardModifiers modifiers;
  if (code & kShortcutShift) modifiers |= Qt::ShiftModifier;
  if (code & kShortcutCtrl) modifiers |= Qt::ControlModifier;
  if (code & kShortcutAlt) modifiers |= Qt::AltModifier;
  return modifiers;
}

// A press of the key that carries the shortcut's letter with the Russian layout active.
// latin_keysym: the platform reports the Latin key symbol (as some do for shortcuts);
// otherwise only the Cyrillic keysym and the key's code.
void PressRussian(TForm1& form, std::uint16_t code, bool latin_keysym) {
  const char latin = char(code & 0xFF);
  const RussianKey& key = RussianKeys().at(latin);
  const QString text(QChar(key.letter).toLower());
  const std::uint32_t keysym = latin_keysym ? std::uint32_t(latin - 'A' + 'a') : key.keysym;
  const std::uint32_t scan_code = latin_keysym ? 0 : key.scan_code;
  QKeyEvent press(QEvent::KeyPress, int(key.letter), ModifiersOf(code), scan_code, keysym, 0, text);
  QApplication::sendEvent(&form, &press);
}

}  // namespace

class KeyboardLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void PressesCountByTheKeyNotByTheLetterOnIt() {
    const std::pair<KeyPress, std::uint16_t> cases[] = {
        {{Qt::Key_R, 'r', 27}, 'R'},              // a Latin layout
        {{0x41A, 0x6cb, 27}, 'R'},                // Cyrillic: the key's code
        {{0x41A, 'r', 0}, 'R'},                   // Cyrillic with the Latin keysym
        {{0x3A1, 0x7f1, 27}, 'R'},                // Greek rho on the same key
        {{0x5E8, 0xcf8, 27}, 'R'},                // Hebrew resh
        {{0x642, 0x5d2, 27}, 'R'},                // Arabic qaf
        {{0x417, 0x6fa, 33}, 'P'},                // the top row's end
        {{0x42C, 0x6d8, 58}, 'M'},                // the bottom row's end
        {{Qt::Key_Exclam, '!', 10}, '1'},         // Shift+1 counts as the digit's key
        {{Qt::Key_Up, 0xff52, 111}, vk::kUp},     // keys without a letter keep theirs
        {{Qt::Key_F1, 0xffbe, 67}, 0},            // unbound keys stay unbound
        {{Qt::Key_Shift, 0xffe1, 50}, 0},
        {{0x417, 0x6fa, 0}, 0},                   // no code, no Latin keysym: unknown
        {{0x42E, 0x6c0, 59}, 0},                  // a key with no US letter
    };
    for (const auto& [press, key] : cases) QCOMPARE(VirtualKeyOfPress(press), key);
  }

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
    v.Drop({a, a});
    v.services.clipboard->content = PatternPicture(4, 4);
    std::vector<std::string> ran;
    for (const CommandItem& item : CommandTable()) {
      if (!item.handler.empty())
        v.form->ConnectHandler(std::string(item.handler), [&ran, &item] { ran.emplace_back(item.handler); });
    }
    int letters = 0;
    for (const CommandItem& item : CommandTable()) {
      const char key = char(item.shortcut & 0xFF);
      if (item.shortcut == 0 || key < 'A' || key > 'Z') continue;
      ++letters;
      ran.clear();
      PressRussian(*v.form, item.shortcut, latin_keysym);
      QVERIFY2(ran == std::vector<std::string>({std::string(item.handler)}), item.name.data());
    }
    QCOMPARE(letters, 14);
  }
};

QTEST_MAIN(KeyboardLayoutTest)
#include "keyboard_layout_test.moc"
