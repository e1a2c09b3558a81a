// The viewer under load: a dropped folder of 5,000 picture files, a thousand steps
// through them and a thousand undos keep the process's memory flat, and a damaged file
// among them only shows its message: the picture, its name and the undo slot stay as
// they were. The resident sizes measured are printed for the record.
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/form1.h"
#include "gui/helpers/viewer_fixture.h"
#include "imaging/picture_container.h"
#include "output/save_picture_file.h"

using namespace qel;
using namespace qel::test;

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 5000;
constexpr int kSteps = 1000;
constexpr int kUndos = 1000;
// Growth of the resident size allowed once the first pictures have been through the
// allocator: far below what keeping even a tenth of the pictures would take.
constexpr long kAllowedGrowthKb = 24 * 1024;

// The process's resident size in KB, from /proc/self/status.
long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// A picture that differs from file to file, so that nothing can be shared.
Picture Sample(int index) {
  Picture picture = NewPicture(640, 480, kNoColor);
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x)
      picture.SetPixel(x, y,
                       RGBColor(std::uint8_t(x + index), std::uint8_t(y * 3 + index), std::uint8_t(x ^ y)));
  return picture;
}

// The folder: a few distinct files in the written formats, the rest of the 5,000
// names hard links to them (the list and the loads do not care), and one damaged PNG.
struct BigFolder {
  Folder folder;
  std::string damaged;

  BigFolder() {
    const char* const extensions[] = {".png", ".bmp", ".gif", ".jpg", ".tga"};
    std::vector<std::string> originals;
    for (int i = 0; i < 20; ++i) {
      const std::string name = folder.Path("original" + std::to_string(i) + extensions[i % 5]);
      originals.push_back(SavePictureFile(name, Sample(i), true));
    }
    for (int i = 0; i < kFiles; ++i) {
      const std::string& original = originals[std::size_t(i) % originals.size()];
      char name[32];
      std::snprintf(name, sizeof name, "p%05d", i);
      fs::create_hard_link(original, folder.Path(name + fs::path(original).extension().string()));
    }
    for (const std::string& original : originals) fs::remove(original);
    // A PNG cut off before its first row (a file cut later loads what it holds, with a
    // warning).
    damaged = folder.Path("p00007-damaged.png");
    fs::copy_file(folder.Path("p00000.png"), damaged);
    fs::resize_file(damaged, 40);
  }
};

}  // namespace

class ViewerLoadTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void SteppingAndUndoingKeepMemoryFlat() {
    BigFolder big;
    Viewer v;
    const long at_start = ResidentKb();
    v.Drop({big.folder.Root()});
    QCOMPARE(v.Doc().FileList.size(), std::size_t(kFiles + 1));
    QCOMPARE(v.Doc().ListIndex, 1);
    QVERIFY(v.Messages().empty());
    const long after_drop = ResidentKb();

    // Up steps to the next entry. The first steps let the allocator settle; from then on
    // nothing may pile up.
    long settled = 0, highest = 0;
    int failures = 0;
    for (int step = 1; step <= kSteps; ++step) {
      const std::size_t shown_before = v.Messages().size();
      v.Key(Qt::Key_Up);
      if (v.Messages().size() != shown_before) ++failures;
      if (step == 100) settled = ResidentKb();
      if (step > 100) highest = std::max(highest, ResidentKb());
    }
    // The damaged file, when the steps came by it, and nothing else.
    const auto& list = v.Doc().FileList;
    const long damaged_index = long(std::find(list.begin(), list.end(), big.damaged) - list.begin()) + 1;
    QCOMPARE(failures, damaged_index >= 2 && damaged_index <= kSteps + 1 ? 1 : 0);
    // The cursor went a thousand entries on, and the picture shown is the one there.
    QCOMPARE(v.Doc().ListIndex, kSteps + 1);
    if (damaged_index != kSteps + 1) QCOMPARE(v.Doc().CurrentFileName, list[std::size_t(kSteps)]);
    const long after_steps = ResidentKb();
    QVERIFY2(highest - settled < kAllowedGrowthKb,
             qPrintable(
                 QString("resident size grew from %1 KB to %2 KB while stepping").arg(settled).arg(highest)));

    long undo_highest = 0;
    for (int undo = 0; undo < kUndos; ++undo) {
      v.Key(Qt::Key_U, Qt::ControlModifier);
      undo_highest = std::max(undo_highest, ResidentKb());
    }
    QVERIFY2(undo_highest - after_steps < kAllowedGrowthKb,
             qPrintable(QString("resident size grew from %1 KB to %2 KB while undoing")
                            .arg(after_steps)
                            .arg(undo_highest)));
    qInfo(
        "resident KB: start %ld, after dropping %d files %ld, after 100 steps %ld, highest over %d steps "
        "%ld, "
        "highest over %d undos %ld",
        at_start, kFiles, after_drop, settled, kSteps, highest, kUndos, undo_highest);
  }

  void DamagedFileInTheListLeavesTheDocumentAsItStood() {
    BigFolder big;
    Viewer v;
    v.Drop({big.folder.Root()});
    const auto& list = v.Doc().FileList;
    const auto damaged = std::find(list.begin(), list.end(), big.damaged);
    QVERIFY(damaged != list.end());
    const int damaged_index = int(damaged - list.begin()) + 1;
    QVERIFY(damaged_index > 1);
    // The entry before it, shown the way stepping shows it.
    v.Doc().ListIndex = damaged_index - 2;
    v.Key(Qt::Key_Up);
    QCOMPARE(v.Doc().ListIndex, damaged_index - 1);
    QVERIFY(v.Messages().empty());
    const Picture before = v.Doc().Current();
    const std::string name_before = v.Doc().CurrentFileName;
    const QString title_before = v.Title();

    v.Key(Qt::Key_Up);
    QCOMPARE(v.Doc().ListIndex, damaged_index);
    QCOMPARE(v.Messages().size(), std::size_t(1));
    QVERIFY2(v.Messages().front().find("PNG") != std::string::npos, v.Messages().front().c_str());
    QVERIFY(SamePixels(v.Doc().Current(), before));
    QCOMPARE(v.Doc().CurrentFileName, name_before);
    QCOMPARE(v.Title(), title_before);
    // Undo still works on what was there, and stepping on leaves the damaged file behind.
    v.Key(Qt::Key_Up);
    QCOMPARE(v.Messages().size(), std::size_t(1));
    QVERIFY(v.Doc().CurrentFileName != name_before);
    v.Key(Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(v.Doc().CurrentFileName, name_before);
    QVERIFY(SamePixels(v.Doc().Current(), before));
  }
};

QTEST_MAIN(ViewerLoadTest)
#include "viewer_load_test.moc"
