// A stand-in for the desktop portal's screenshot service on a private bus: every
// request (interactive or not) is answered with the picture file given on the command
// line, and reported on standard output ("screenshot interactive=0|1").
// Usage: scripted_portal PICTURE   (the bus from DBUS_SESSION_BUS_ADDRESS)
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <cstdio>

class Portal : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")

 public:
  explicit Portal(QString file) : file_(std::move(file)) {}

 public slots:
  QDBusObjectPath Screenshot(const QString&, const QVariantMap& options, const QDBusMessage& message) {
    std::printf("screenshot interactive=%d\n", options.value("interactive").toBool() ? 1 : 0);
    std::fflush(stdout);
    const QString handle = "/org/freedesktop/portal/desktop/request/" +
                           message.service().mid(1).replace('.', '_') + "/" +
                           options.value("handle_token").toString();
    QTimer::singleShot(10, this, [this, handle] {
      QDBusMessage response =
          QDBusMessage::createSignal(handle, "org.freedesktop.portal.Request", "Response");
      response << uint(0) << QVariantMap{{"uri", QUrl::fromLocalFile(file_).toString()}};
      QDBusConnection::sessionBus().send(response);
    });
    return QDBusObjectPath(handle);
  }

 private:
  QString file_;
};

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  if (argc != 2) return 2;
  Portal portal(QString::fromLocal8Bit(argv[1]));
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.registerObject("/org/freedesktop/portal/desktop", &portal, QDBusConnection::ExportAllSlots) ||
      !bus.registerService("org.freedesktop.portal.Desktop"))
    return 1;
  std::printf("ready\n");
  std::fflush(stdout);
  return application.exec();
}

#include "scripted_portal.moc"
