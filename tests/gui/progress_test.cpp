// The progress bar along the window's bottom edge: shown only for a command that takes
// a while, painted from the progress notifications without running other events, and
// gone again when the command ends, with the title as it would be without it.
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "app/form1.h"
#include "app/image_rect.h"
#include "app/progress_bar.h"
#include "gui/helpers/viewer_fixture.h"
#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "support/peer_tools.h"

using namespace qel;
using namespace qel::test;
using namespace std::chrono_literals;

namespace {

// A reader that takes its time: ten steps of 40 ms, each announced with a progress
// notification, then a 64 x 48 gray picture. The file's content is not looked at.
class TSlowGraphic final : public TGraphic {
 public:
  static const GraphicClass& StaticClass() {
    static const GraphicClass cls("TSlowGraphic", &TGraphic::StaticClass(), &MakeGraphic<TSlowGraphic>);
    return cls;
  }
  const GraphicClass& Class() const override { return StaticClass(); }
  void LoadFromStream(TStream&) override {
    Progress(ProgressStage::kStarting, 0, {}, "Preparing...");
    for (int step = 1; step <= 10; ++step) {
      std::this_thread::sleep_for(40ms);
      Progress(ProgressStage::kRunning, step * 10, {0, 0, 64, step}, "Transfering...");
    }
    Progress(ProgressStage::kEnding, 100, {}, "Transfering...");
  }
  int Width() const override { return 64; }
  int Height() const override { return 48; }
  void Draw(Picture& target, int, int) const override { FillPicture(target, 0x808080); }
};

// Records what the bar showed each time it was painted, and whether an event that was
// queued before the command ran before the bar's last paint.
class PaintLog : public QObject {
 public:
  explicit PaintLog(TProgressBar* bar) : bar_(bar) {
    bar->installEventFilter(this);
    QTimer::singleShot(0, this, [this] { queued_event_ran = true; });
  }
  std::vector<int> values;
  bool queued_event_ran = false;
  bool event_ran_while_painting = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == bar_ && event->type() == QEvent::Paint) {
      values.push_back(bar_->Value());
      event_ran_while_painting = event_ran_while_painting || queued_event_ran;
    }
    return false;
  }

 private:
  TProgressBar* bar_;
};

}  // namespace

class ProgressTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    RegisterFormats();
    PictureFormats().Register("slow", "Slow test pictures", TSlowGraphic::StaticClass());
  }

  void ASlowLoadShowsTheBarAndHidesItAfterwards() {
    Folder folder;
    const std::string path = folder.TextFile("big.slow");
    Viewer v;
    TProgressBar* bar = v.form->ProgressBar();
    QVERIFY(bar && bar->isHidden());
    PaintLog log(bar);
    v.form->LoadImage(path);
    // Nothing before 200 ms (the first 5 steps at most), then the notifications.
    QVERIFY2(!log.values.empty(), "the bar was never painted");
    QVERIFY(log.values.front() >= 50);
    QCOMPARE(log.values.back(), 100);
    QVERIFY(std::is_sorted(log.values.begin(), log.values.end()));
    QVERIFY2(!log.event_ran_while_painting, "an event ran in the middle of the load");
    QVERIFY(bar->isHidden());
    QCOMPARE(v.Title(), QString("64 x 48 pix [0] (big.slow)"));
    QVERIFY(log.queued_event_ran || QTest::qWaitFor([&] { return log.queued_event_ran; }, 1000));
  }

  void AQuickLoadNeverShowsTheBar() {
    Folder folder;
    const std::string path = folder.Picture(PictureName("small"), PatternPicture(40, 30));
    Viewer v;
    PaintLog log(v.form->ProgressBar());
    v.form->LoadImage(path);
    QVERIFY(log.values.empty());
    QVERIFY(v.form->ProgressBar()->isHidden());
  }

  void TiffLoadsAndResizesFollowTheirNotifications() {
    QEL_QSKIP_WITHOUT("convert");
    // Whether a real load or resize takes longer than the delay depends on the
    // machine; without a delay the bar must follow them every time.
    Folder folder;
    const std::string path = folder.Path("photo.tif");
    const std::string command =
        "/usr/bin/convert -size 800x600 gradient:red-blue -depth 8 -type TrueColor -compress LZW '" + path +
        "'";
    if (std::system(command.c_str()) != 0) QSKIP("ImageMagick could not make the picture");
    Viewer v;
    TProgressBar* bar = v.form->ProgressBar();
    bar->SetDelay(0ms);
    {
      PaintLog log(bar);
      v.form->LoadImage(path);
      QVERIFY(!log.values.empty());
      QVERIFY(std::is_sorted(log.values.begin(), log.values.end()));
      QVERIFY(!log.event_ran_while_painting);
      QVERIFY(bar->isHidden());
      QVERIFY(v.Messages().empty());
      QCOMPARE(v.Title(), QString("300 x 225 pix [0] (photo.tif)"));
    }
    {
      PaintLog log(bar);
      v.form->ResizePictureTo(400, 300);
      QVERIFY(!log.values.empty());
      QVERIFY(std::is_sorted(log.values.begin(), log.values.end()));
      QVERIFY(!log.event_ran_while_painting);
      QVERIFY(bar->isHidden());
      QCOMPARE(v.Doc().Current().Width(), 400);
      QCOMPARE(v.Title(), QString("300 x 225 pix [0] (photo.tif)"));
    }
  }

  void WorkWithoutNotificationsShowsABusyBarAndPassesItsErrorOn() {
    Viewer v;
    TProgressBar* bar = v.form->ProgressBar();
    PaintLog log(bar);
    {
      TCommandProgress progress(bar);
      QCOMPARE(progress.RunAside([] {
        std::this_thread::sleep_for(400ms);
        return 7;
      }),
               7);
      QVERIFY(bar->isVisible());
    }
    QVERIFY(bar->isHidden());
    QVERIFY(log.values.size() >= 2);
    QVERIFY(
        std::all_of(log.values.begin(), log.values.end(), [](int v) { return v == TProgressBar::kBusy; }));
    QVERIFY(!log.event_ran_while_painting);

    bool thrown = false;
    try {
      TCommandProgress progress(bar);
      progress.RunAside([] { throw Error("Disk full"); });
    } catch (const Error& error) {
      thrown = std::string(error.what()) == "Disk full";
    }
    QVERIFY(thrown);
    QVERIFY(bar->isHidden());
  }

  void TheBarLiesOverTheWindowWithoutChangingIt() {
    Folder folder;
    Viewer v(folder.Picture(PictureName("wide"), PatternPicture(1200, 800)));
    const QString title = v.Title();
    const TRect drawn = v.form->Img()->DrawRect();
    const QRect img_geometry = v.form->Img()->geometry();
    TProgressBar* bar = v.form->ProgressBar();
    bar->SetValue(40);
    bar->ShowNow();
    QCOMPARE(bar->geometry(), QRect(0, v.form->height() - TProgressBar::kThickness, v.form->width(),
                                    TProgressBar::kThickness));
    QVERIFY(bar->testAttribute(Qt::WA_TransparentForMouseEvents));
    QCOMPARE(v.Title(), title);
    QVERIFY(v.form->Img()->DrawRect() == drawn);
    QCOMPARE(v.form->Img()->geometry(), img_geometry);
    // The bar's pixels: the done part in the highlight colour, the rest in the track's.
    const QImage image = bar->grab().toImage();
    const QColor done = bar->palette().color(QPalette::Highlight);
    QCOMPARE(image.pixelColor(image.width() / 4, 1), done);
    QVERIFY(image.pixelColor(image.width() * 3 / 4, 1) != done);
    bar->hide();
  }
};

QTEST_MAIN(ProgressTest)
#include "progress_test.moc"
