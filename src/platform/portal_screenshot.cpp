#include "platform/portal_screenshot.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEventLoop>
#include <QImage>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <algorithm>
#include <optional>

namespace qel {

namespace {

constexpr const char* kPortalService = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kScreenshotInterface = "org.freedesktop.portal.Screenshot";
constexpr const char* kRequestInterface = "org.freedesktop.portal.Request";
constexpr const char* kRequestPathPrefix = "/org/freedesktop/portal/desktop/request/";
// How long the user may take to pick an area in the desktop's screenshot tool.
constexpr std::chrono::milliseconds kPickTime{300000};
// The portal's answer: 0 success, 1 cancelled by the user, 2 ended otherwise.
constexpr uint kResponseSuccess = 0;

}  // namespace

// One request's Response signal, which ends the wait.
class PortalResponse final : public QObject {
  Q_OBJECT

 public:
  std::optional<QString> uri;
  bool answered = false;

 signals:
  void Answered();

 public slots:
  void OnResponse(uint response, const QVariantMap& results) {
    answered = true;
    if (response == kResponseSuccess) uri = results.value(QStringLiteral("uri")).toString();
    emit Answered();
  }
};

namespace {

class PortalScreenshot final : public ScreenshotSource {
 public:
  PortalScreenshot(QDBusConnection bus, std::chrono::milliseconds answer_time)
      : bus_(std::move(bus)), answer_time_(answer_time) {}

  QImage TakeScreenshot(bool interactive) override {
    if (!bus_.isConnected()) return {};
    // The request's object path is known before the call, so that its answer cannot
    // come before we listen for it: the sender's name without ':' and with '.' as '_',
    // then a token of our own.
    const QString token = QStringLiteral("qel%1").arg(++requests_);
    const QString sender = bus_.baseService().mid(1).replace('.', '_');
    QString handle = kRequestPathPrefix + sender + '/' + token;

    PortalResponse response;
    QEventLoop wait;
    QObject::connect(&response, &PortalResponse::Answered, &wait, &QEventLoop::quit);
    Listen(handle, &response);

    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kScreenshotInterface,
                                                       QStringLiteral("Screenshot"));
    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("modal"), false},
                              {QStringLiteral("interactive"), interactive}};
    call << QString() << options;
    const int call_timeout = int(answer_time_.count());
    QDBusPendingCallWatcher watcher(bus_.asyncCall(call, call_timeout));
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &wait, [&] {
      const QDBusPendingReply<QDBusObjectPath> reply = watcher;
      if (reply.isError()) {
        wait.quit();
        return;
      }
      // Older portals chose the path themselves.
      const QString path = reply.value().path();
      if (path != handle && !response.answered) {
        Unlisten(handle, &response);
        handle = path;
        Listen(handle, &response);
      }
    });
    // Picking an area takes the user a while.
    QTimer::singleShot(interactive ? std::max(answer_time_, kPickTime) : answer_time_, &wait,
                       &QEventLoop::quit);
    if (!response.answered) wait.exec(QEventLoop::ExcludeUserInputEvents);
    Unlisten(handle, &response);

    if (!response.uri) return {};
    const QUrl url(*response.uri);
    if (!url.isLocalFile()) return {};
    return QImage(url.toLocalFile());
  }

 private:
  void Listen(const QString& handle, PortalResponse* response) {
    bus_.connect(kPortalService, handle, kRequestInterface, QStringLiteral("Response"), response,
                 SLOT(OnResponse(uint, QVariantMap)));
  }
  void Unlisten(const QString& handle, PortalResponse* response) {
    bus_.disconnect(kPortalService, handle, kRequestInterface, QStringLiteral("Response"), response,
                    SLOT(OnResponse(uint, QVariantMap)));
  }

  QDBusConnection bus_;
  std::chrono::milliseconds answer_time_;
  unsigned requests_ = 0;
};

}  // namespace

std::unique_ptr<ScreenshotSource> MakePortalScreenshot(QDBusConnection bus,
                                                       std::chrono::milliseconds answer_time) {
  return std::make_unique<PortalScreenshot>(std::move(bus), answer_time);
}

}  // namespace qel

#include "portal_screenshot.moc"
