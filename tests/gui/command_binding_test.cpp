// Every menu command has its handler from the moment the window exists, and handler
// names lead to the commands whose items carry them.
#include <QTest>
#include <stdexcept>

#include "app/command_table.h"
#include "app/form1.h"
#include "gui/helpers/viewer_fixture.h"

using namespace qel;
using namespace qel::test;

class CommandBindingTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void EveryCommandIsBoundWhenTheWindowIsBuilt() {
    Viewer v;
    QStringList unbound;
    for (CommandId id : v.form->UnboundCommands()) unbound << QString::fromUtf8(CommandItemOf(id).handler);
    QVERIFY2(unbound.isEmpty(), qPrintable("Without a handler: " + unbound.join(", ")));
  }

  void EachCommandHasItsOwnItem() {
    int commands = 0;
    for (const CommandItem& item : CommandTable()) {
      if (!item.command) continue;
      ++commands;
      QVERIFY(&CommandItemOf(*item.command) == &item);
      QVERIFY(FindHandler(item.handler)->handler == item.handler);
    }
    QCOMPARE(commands, int(kCommandCount));
    QVERIFY(FindHandler("Save1Click")->name == "Save1");
    QVERIFY(!FindHandler(""));
  }

  void ConnectingAHandlerNoItemNamesFails() {
    Viewer v;
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, v.form->ConnectHandler("Resizeimage1Clik", [] {}));
    QVERIFY(v.form->UnboundCommands().empty());
  }
};

QTEST_MAIN(CommandBindingTest)
#include "command_binding_test.moc"
