// Capture where the direct screen grab sees nothing (Wayland): through a scripted
// desktop portal on a private bus, the whole desktop cut to the area (from device
// pixels too), and "not available" whenever no portal answers, with the document as it
// was. The colour picker follows the same rule.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "gui/helpers/options_fixture.h"
#include "options/color_swatch.h"
#include "platform/portal_screenshot.h"
#include "support/peer_tools.h"

using namespace qel;
using namespace qel::test;

namespace {

// A bus of our own that starts no services: a portal exists only when a test adds one.
class PrivateBus {
 public:
  PrivateBus() {
    QFile config(dir_.filePath("bus.conf"));
    if (!config.open(QIODevice::WriteOnly)) return;
    config.write("<busconfig><type>session</type><listen>unix:dir=" + dir_.path().toUtf8() +
                 "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                 "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
    config.close();
    daemon_.start("dbus-daemon", {"--config-file=" + config.fileName(), "--nofork", "--print-address=1"});
    if (daemon_.waitForStarted() && daemon_.waitForReadyRead(5000))
      address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
  }
  ~PrivateBus() {
    for (const QString& name : names_) QDBusConnection::disconnectFromBus(name);
    daemon_.kill();
    daemon_.waitForFinished();
  }
  bool Running() const { return !address_.isEmpty(); }
  QDBusConnection Connect(const QString& name) {
    names_.push_back(name + address_);  // Qt keeps a connection by name until it is ended
    return QDBusConnection::connectToBus(address_, names_.back());
  }

 private:
  QTemporaryDir dir_;
  QProcess daemon_;
  QString address_;
  QStringList names_;
};

// The portal's screenshot service: answers with a file, or cancels, or stays silent.
class ScriptedPortal : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")

 public:
  enum Answer { kFile, kCancel, kSilence };
  ScriptedPortal(QDBusConnection bus, QString file, Answer answer) : bus_(bus), file_(file), answer_(answer) {
    bus_.registerObject("/org/freedesktop/portal/desktop", this, QDBusConnection::ExportAllSlots);
    bus_.registerService("org.freedesktop.portal.Desktop");
  }
  int calls = 0;
  bool interactive = false;

 public slots:
  QDBusObjectPath Screenshot(const QString&, const QVariantMap& options, const QDBusMessage& message) {
    ++calls;
    interactive = options.value("interactive").toBool();
    const QString handle = "/org/freedesktop/portal/desktop/request/" +
                           message.service().mid(1).replace('.', '_') + "/" +
                           options.value("handle_token").toString();
    if (answer_ != kSilence) {
      QTimer::singleShot(10, this, [this, handle] {
        QDBusMessage response =
            QDBusMessage::createSignal(handle, "org.freedesktop.portal.Request", "Response");
        response << uint(answer_ == kFile ? 0 : 1)
                 << QVariantMap{{"uri", QUrl::fromLocalFile(file_).toString()}};
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

// The desktop of the offscreen platform as a pattern: the point (x, y) has red x,
// green y, blue x + y (modulo 256), shot at scale device pixels a point.
QString WriteDesktopShot(const QString& folder, int scale) {
  QImage image(QGuiApplication::primaryScreen()->virtualGeometry().size() * scale, QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x)
      image.setPixel(x, y, qRgb(x / scale % 256, y / scale % 256, (x / scale + y / scale) % 256));
  }
  image.save(folder + "/shot.png");
  return folder + "/shot.png";
}

}  // namespace

class PortalCaptureTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { RegisterFormats(); }

  void TheWindowsAreaIsCutFromThePortalsDesktop_data() {
    QTest::addColumn<int>("scale");
    QTest::newRow("Wayland session") << 1;
    QTest::newRow("device pixels") << 2;
  }

  void TheWindowsAreaIsCutFromThePortalsDesktop() {
    QEL_QSKIP_WITHOUT("dbus-daemon");
    QFETCH(int, scale);
    PrivateBus bus;
    QVERIFY(bus.Running());
    QTemporaryDir folder;
    ScriptedPortal portal(bus.Connect("portal"), WriteDesktopShot(folder.path(), scale),
                          ScriptedPortal::kFile);
    auto black = std::make_unique<ScriptedScreen>();
    const std::vector<QRect>& direct_grabs = black->grabs;
    const std::unique_ptr<ScreenGrabber> grabber = MakeSessionScreenGrabber(
        std::move(black), MakePortalScreenshot(bus.Connect("client")), SessionKind::kXwayland);
    const Picture shot = grabber->Grab(QRect(100, 50, 300, 225));
    QCOMPARE(shot.Pixel(0, 0), RGBColor(100, 50, 150));
    QCOMPARE(shot.Pixel(299, 224), RGBColor(399 % 256, 274 % 256, (399 + 274) % 256));
    QVERIFY(!grabber->ReadsLive());
    QVERIFY(grabber->KnowsWindowPlace());
    // The X server of a Wayland session sees none of the other windows: never asked.
    QVERIFY(direct_grabs.empty());
    QCOMPARE(portal.calls, 1);
    QVERIFY(!portal.interactive);
  }

  // The session decides, never the pixels (an X desktop may be black: the end-to-end
  // capture check shows it).
  void TheSessionComesFromThePlatformAndTheEnvironment() {
    QCOMPARE(SessionKindOf("xcb", "", "x11"), SessionKind::kX11);
    QCOMPARE(SessionKindOf("xcb", "", "wayland"), SessionKind::kXwayland);
    QCOMPARE(SessionKindOf("xcb", "wayland-1", ""), SessionKind::kXwayland);
    QCOMPARE(SessionKindOf("wayland-egl", "", ""), SessionKind::kWayland);
  }

  // Through Wayland itself the window does not know where it is: the capture lets the
  // user pick the area in the desktop's tool.
  void ThroughWaylandTheUserPicksTheArea() {
    PrivateBus bus;
    QVERIFY(bus.Running());
    QTemporaryDir folder;
    ScriptedPortal portal(bus.Connect("portal"), WriteDesktopShot(folder.path(), 1), ScriptedPortal::kFile);
    Folder pictures;
    ScriptedPlatform services;
    services.platform.screen =
        MakeSessionScreenGrabber(std::make_unique<ScriptedScreen>(),
                                 MakePortalScreenshot(bus.Connect("client")), SessionKind::kWayland);
    TForm1 form(std::move(services.platform), pictures.Picture("keep.bmp", PatternPicture(30, 20)));
    form.show();
    QTest::keyClick(&form, Qt::Key_C, Qt::AltModifier);
    QVERIFY(services.messages->shown.empty());
    QCOMPARE(portal.calls, 1);
    QVERIFY(portal.interactive);
    const QSize desktop = QGuiApplication::primaryScreen()->virtualGeometry().size();
    QCOMPARE(form.Document().Current().Width(), desktop.width());
    QCOMPARE(form.Document().Current().Pixel(7, 5), RGBColor(7, 5, 12));
    QVERIFY(SamePixels(form.Document().UndoPicture(), PatternPicture(30, 20)));
  }

  void WithoutAnAnsweringPortalCaptureSaysSoAndChangesNothing_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("no portal") << -1;
    QTest::newRow("cancelled") << int(ScriptedPortal::kCancel);
    QTest::newRow("no answer") << int(ScriptedPortal::kSilence);
  }

  void WithoutAnAnsweringPortalCaptureSaysSoAndChangesNothing() {
    QEL_QSKIP_WITHOUT("dbus-daemon");
    QFETCH(int, answer);
    PrivateBus bus;
    QVERIFY(bus.Running());
    std::unique_ptr<ScriptedPortal> portal;
    if (answer >= 0)
      portal = std::make_unique<ScriptedPortal>(bus.Connect("portal"), "", ScriptedPortal::Answer(answer));
    Folder folder;
    ScriptedPlatform services;
    services.platform.screen = MakeSessionScreenGrabber(
        std::make_unique<ScriptedScreen>(),
        MakePortalScreenshot(bus.Connect("client"), std::chrono::milliseconds(500)), SessionKind::kXwayland);
    TForm1 form(std::move(services.platform), folder.Picture("keep.bmp", PatternPicture(30, 20)));
    form.show();
    QTest::keyClick(&form, Qt::Key_C, Qt::AltModifier);
    QCOMPARE(services.messages->shown, std::vector<std::string>({kCaptureUnavailable}));
    QVERIFY(form.isVisible());
    QVERIFY(SamePixels(form.Document().Current(), PatternPicture(30, 20)));
    QCOMPARE(form.windowTitle(), QString("30 x 20 pix [0] (keep.bmp)"));
    QVERIFY(form.Document().UndoPicture().Empty());
  }

  void TheColourPickerReadsOnePictureOfTheDesktopOrSaysItCannot() {
    OptionsViewer o;
    TColorSwatch* swatch = o.options->FColor;
    ScriptedScreen& screen = *o.viewer->services.screen;
    screen.reads_live = false;
    screen.screen = PlainPicture(50, 40, RGBColor(255, 0, 0));
    o.ShowOptions();
    auto mouse = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
      QMouseEvent event(type, QPointF(swatch->mapFromGlobal(at)), QPointF(at), button, held, Qt::NoModifier);
      QApplication::sendEvent(swatch, &event);
    };
    const QPoint on_swatch = swatch->mapToGlobal(QPoint(5, 5));
    mouse(QEvent::MouseButtonPress, on_swatch, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(30, 20), Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(40, 30), Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, QPoint(40, 30), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(swatch->Color(), RGBColor(255, 0, 0));
    QCOMPARE(screen.grabs, std::vector<QRect>({QGuiApplication::primaryScreen()->virtualGeometry()}));

    screen.on_grab = [] { throw ECaptureUnavailable(); };
    mouse(QEvent::MouseButtonPress, on_swatch, Qt::LeftButton, Qt::LeftButton);
    QVERIFY(!o.options->Picking);
    QCOMPARE(o.Messages(), std::vector<std::string>({kCaptureUnavailable}));
  }
};

QTEST_MAIN(PortalCaptureTest)
#include "portal_capture_test.moc"
