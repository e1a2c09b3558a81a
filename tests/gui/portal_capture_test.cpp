// Capture in sessions where the direct screen grab sees nothing (Wayland): through a
// scripted desktop portal on a private bus, the whole desktop cut to the window's area
// (in device pixels too), and "not available" whenever no portal answers, with the
// document left as it was. The colour picker follows the same rule.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "app/form1.h"
#include "gui/helpers/options_fixture.h"
#include "gui/helpers/viewer_fixture.h"
#include "options/color_swatch.h"
#include "platform/portal_screenshot.h"

using namespace qel;
using namespace qel::test;

namespace {

constexpr std::chrono::milliseconds kShortAnswerTime{500};

// A bus of our own: no service is started on demand, so a portal exists only when the
// test registers one.
class PrivateBus {
 public:
  PrivateBus() {
    const QString config = dir_.filePath("bus.conf");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(("<busconfig><type>session</type><listen>unix:dir=" + dir_.path().toUtf8() +
                "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>"));
    file.close();
    daemon_.start("dbus-daemon", {"--config-file=" + config, "--nofork", "--print-address=1"});
    if (!daemon_.waitForStarted() || !daemon_.waitForReadyRead(5000)) return;
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
  }
  ~PrivateBus() {
    for (const QString& name : connections_) QDBusConnection::disconnectFromBus(name);
    daemon_.kill();
    daemon_.waitForFinished();
  }
  // A new connection to the bus (Qt keeps connections by name until they are ended).
  QDBusConnection Connect(const QString& name) {
    connections_.push_back(name + address_);
    return QDBusConnection::connectToBus(address_, connections_.back());
  }
  bool Running() const { return !address_.isEmpty(); }

 private:
  QTemporaryDir dir_;
  QProcess daemon_;
  QString address_;
  QStringList connections_;
};

// The portal's screenshot service as a script: answers with the file it is given, or
// cancels, or never answers.
class ScriptedPortal : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")

 public:
  enum class Answer { kFile, kCancel, kSilence };

  ScriptedPortal(QDBusConnection bus, QString file, Answer answer)
      : bus_(std::move(bus)), file_(std::move(file)), answer_(answer) {}
  bool Register() {
    return bus_.registerObject("/org/freedesktop/portal/desktop", this, QDBusConnection::ExportAllSlots) &&
           bus_.registerService("org.freedesktop.portal.Desktop");
  }
  int calls = 0;
  QVariantMap last_options;

 public slots:
  QDBusObjectPath Screenshot(const QString&, const QVariantMap& options, const QDBusMessage& message) {
    ++calls;
    last_options = options;
    const QString sender = message.service().mid(1).replace('.', '_');
    const QString handle =
        "/org/freedesktop/portal/desktop/request/" + sender + "/" + options.value("handle_token").toString();
    if (answer_ != Answer::kSilence) {
      QTimer::singleShot(10, this, [this, handle] {
        QDBusMessage response = QDBusMessage::createSignal(handle, "org.freedesktop.portal.Request", "Response");
        const bool file = answer_ == Answer::kFile;
        response << uint(file ? 0 : 1)
                 << QVariantMap{{"uri", file ? QUrl::fromLocalFile(file_).toString() : QString()}};
        bus_.send(response);
      });
    }
    return QDBusObjectPath(handle);
  }

 private:
  QDBusConnection bus_;
  QString file_;
  Answer answer_;
};

// A direct grab that sees a black desktop, as the X server of a Wayland session does.
class BlackScreen final : public ScreenGrabber {
 public:
  int* grabs;
  explicit BlackScreen(int* counter) : grabs(counter) {}
  Picture Grab(const QRect& area) override {
    ++*grabs;
    return NewPicture(area.width(), area.height(), RGBColor(0, 0, 0));
  }
};

// The desktop of the offscreen platform (its one screen), as a pattern, saved as the
// portal's PNG at the given device-pixel scale (each pixel a scale x scale block).
QString WriteDesktopShot(const QString& folder, int scale) {
  const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
  QImage image(desktop.size() * scale, QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const int px = x / scale, py = y / scale;
      image.setPixel(x, y, qRgb(px % 256, py % 256, (px + py) % 256));
    }
  }
  const QString path = folder + "/shot.png";
  image.save(path);
  return path;
}

Picture DesktopPart(const QRect& area) {
  const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
  Picture part = NewPicture(area.width(), area.height(), kNoColor);
  for (int y = 0; y < area.height(); ++y) {
    for (int x = 0; x < area.width(); ++x) {
      const int px = area.x() + x - desktop.x(), py = area.y() + y - desktop.y();
      part.SetPixel(x, y, RGBColor(std::uint8_t(px), std::uint8_t(py), std::uint8_t(px + py)));
    }
  }
  return part;
}

}  // namespace

class PortalCaptureTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    RegisterFormats();
    if (QStandardPaths::findExecutable("dbus-daemon").isEmpty()) QSKIP("dbus-daemon is not installed");
  }

  void ThePortalsDesktopIsCutToTheArea_data() {
    QTest::addColumn<int>("scale");
    QTest::addColumn<bool>("wayland");
    QTest::newRow("Wayland session") << 1 << true;
    QTest::newRow("device pixels") << 2 << true;
    QTest::newRow("X grab sees a black desktop") << 1 << false;
  }

  void ThePortalsDesktopIsCutToTheArea() {
    QFETCH(int, scale);
    QFETCH(bool, wayland);
    PrivateBus bus;
    QVERIFY(bus.Running());
    QTemporaryDir folder;
    ScriptedPortal portal(bus.Connect("portal"), WriteDesktopShot(folder.path(), scale),
                          ScriptedPortal::Answer::kFile);
    QVERIFY(portal.Register());
    int direct_grabs = 0;
    const std::unique_ptr<ScreenGrabber> grabber = MakeSessionScreenGrabber(
        std::make_unique<BlackScreen>(&direct_grabs), MakePortalScreenshot(bus.Connect("client")), wayland);
    const QRect area(100, 50, 300, 225);
    QVERIFY(SamePixels(grabber->Grab(area), DesktopPart(area)));
    QCOMPARE(grabber->ReadsLive(), false);
    // Reaching past the desktop: black there.
    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    const Picture edge = grabber->Grab(QRect(desktop.right() - 1, 10, 4, 2));
    QCOMPARE(edge.Pixel(1, 0), DesktopPart(QRect(desktop.right(), 10, 1, 1)).Pixel(0, 0));
    QCOMPARE(edge.Pixel(2, 1), RGBColor(0, 0, 0));
    QCOMPARE(portal.calls, 2);
    QCOMPARE(portal.last_options.value("interactive").toBool(), false);
    // The direct grab was asked for the area and, as that was black, for the whole
    // desktop, which was black too; then never again. In a Wayland session not at all.
    QCOMPARE(direct_grabs, wayland ? 0 : 2);
  }

  void ASeeingDirectGrabIsKept() {
    ScriptedScreen* screen = nullptr;
    auto direct = std::make_unique<ScriptedScreen>();
    screen = direct.get();
    screen->screen = PatternPicture(300, 200);
    const std::unique_ptr<ScreenGrabber> grabber = MakeSessionScreenGrabber(std::move(direct), nullptr, false);
    QVERIFY(grabber->ReadsLive());
    // A black area on a desktop that shows something is what the screen shows.
    QVERIFY(SamePixels(grabber->Grab(QRect(500, 500, 20, 10)), PlainPicture(20, 10, RGBColor(0, 0, 0))));
    QVERIFY(SamePixels(grabber->Grab(QRect(0, 0, 30, 20)), [] {
      Picture p = NewPicture(30, 20, kNoColor);
      for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) p.SetPixel(x, y, PatternPicture(300, 200).Pixel(x, y));
      return p;
    }()));
  }

  void WithoutAnAnsweringPortalCaptureSaysSoAndChangesNothing_data() {
    QTest::addColumn<int>("portal_answer");
    QTest::newRow("no portal") << -1;
    QTest::newRow("cancelled") << int(ScriptedPortal::Answer::kCancel);
    QTest::newRow("no answer") << int(ScriptedPortal::Answer::kSilence);
  }

  void WithoutAnAnsweringPortalCaptureSaysSoAndChangesNothing() {
    QFETCH(int, portal_answer);
    PrivateBus bus;
    QVERIFY(bus.Running());
    std::unique_ptr<ScriptedPortal> portal;
    if (portal_answer >= 0) {
      portal = std::make_unique<ScriptedPortal>(bus.Connect("portal"), QString(),
                                                ScriptedPortal::Answer(portal_answer));
      QVERIFY(portal->Register());
    }
    Folder folder;
    const std::string path = folder.Picture("keep.bmp", PatternPicture(30, 20));
    ScriptedPlatform services;
    int direct_grabs = 0;
    services.platform.screen = MakeSessionScreenGrabber(
        std::make_unique<BlackScreen>(&direct_grabs), MakePortalScreenshot(bus.Connect("client"), kShortAnswerTime),
        true);
    TForm1 form(std::move(services.platform), path);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::keyClick(&form, Qt::Key_C, Qt::AltModifier);
    QCOMPARE(services.messages->shown, std::vector<std::string>({kCaptureUnavailable}));
    QVERIFY(form.isVisible());
    QVERIFY(SamePixels(form.Document().Current(), PatternPicture(30, 20)));
    QCOMPARE(form.windowTitle(), QString("30 x 20 pix [0] (keep.bmp)"));
    QVERIFY(form.Document().UndoPicture().Empty());
  }

  void TheColourPickerReadsOnePictureOfTheDesktopOrSaysItCannot() {
    OptionsViewer o;
    TBorderForm& f = *o.options;
    ScriptedScreen& screen = *o.viewer->services.screen;
    screen.reads_live = false;
    screen.screen = PlainPicture(50, 40, RGBColor(255, 0, 0));
    screen.origin = QPoint(20, 30);
    o.ShowOptions();
    const QPoint on_frame = f.FColor->mapToGlobal(QPoint(5, 5));
    auto mouse = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
      QMouseEvent event(type, QPointF(f.FColor->mapFromGlobal(at)), QPointF(at), button, buttons, Qt::NoModifier);
      QApplication::sendEvent(f.FColor, &event);
    };
    mouse(QEvent::MouseButtonPress, on_frame, Qt::LeftButton, Qt::LeftButton);
    QVERIFY(f.Picking);
    mouse(QEvent::MouseMove, QPoint(30, 40), Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(60, 60), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(f.FColor->Color(), RGBColor(255, 0, 0));
    // One picture of the desktop, taken at the press.
    QCOMPARE(screen.grabs, std::vector<QRect>({QGuiApplication::primaryScreen()->virtualGeometry()}));
    mouse(QEvent::MouseButtonRelease, QPoint(60, 60), Qt::LeftButton, Qt::NoButton);

    screen.on_grab = [] { throw ECaptureUnavailable(); };
    mouse(QEvent::MouseButtonPress, on_frame, Qt::LeftButton, Qt::LeftButton);
    QVERIFY(!f.Picking);
    QCOMPARE(o.Messages(), std::vector<std::string>({kCaptureUnavailable}));
    mouse(QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(f.FColor->Color(), RGBColor(255, 0, 0));
  }
};

QTEST_MAIN(PortalCaptureTest)
#include "portal_capture_test.moc"
