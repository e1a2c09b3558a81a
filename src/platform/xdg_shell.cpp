#include <QProcess>
#include <QString>

#include "platform/shell.h"

namespace qel {

namespace {

class XdgShell final : public Shell {
 public:
  void OpenAddress(const std::string& address) override {
    // Detached: the browser lives on its own, and nothing waits for it.
    QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(address)});
  }
};

}  // namespace

std::unique_ptr<Shell> MakeXdgShell() {
  return std::make_unique<XdgShell>();
}

}  // namespace qel
