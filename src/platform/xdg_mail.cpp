#include <QObject>
#include <QProcess>
#include <QStringList>
#include <memory>

#include "platform/mail.h"
#include "platform/path_text.h"

namespace qel {

namespace {

class XdgMail final : public Mail {
 public:
  ~XdgMail() override {
    // A hand-off still open when the window goes is not answered: the helper is ended
    // (the mail client it started stays), and its answer must not reach a window that
    // is going.
    for (QProcess* process : owner_.findChildren<QProcess*>()) process->disconnect();
  }

  void SendToMailClient(const std::string& path, Answer answer) override {
    auto* process = new QProcess(&owner_);  // deleted with owner_, or once answered
    process->setProgram(QStringLiteral("xdg-email"));
    process->setArguments({QStringLiteral("--attach"), QStringFromPath(path)});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    ++pending_;
    // Answers once, whichever signal comes first.
    auto finish = [this, process, answer = std::move(answer),
                   answered = std::make_shared<bool>(false)](bool accepted) {
      if (*answered) return;
      *answered = true;
      process->deleteLater();
      --pending_;
      answer(accepted);
    };
    QObject::connect(process, &QProcess::finished, process, [finish](int code, QProcess::ExitStatus status) {
      finish(status == QProcess::NormalExit && code == 0);
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [finish](QProcess::ProcessError error) {
      if (error == QProcess::FailedToStart) finish(false);
    });
    process->start();
  }

  int Pending() const override { return pending_; }

 private:
  QObject owner_;
  int pending_ = 0;
};

}  // namespace

std::unique_ptr<Mail> MakeXdgMail() {
  return std::make_unique<XdgMail>();
}

}  // namespace qel
