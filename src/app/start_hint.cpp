#include "app/start_hint.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include "base/paths.h"
#include "platform/atomic_file.h"

namespace qel {

namespace {

constexpr const char* kSection = "Settings";
// Room between the hint and the window's bottom edge.
constexpr int kBottomGap = 16;

// Keeps the hint at the bottom middle of its window, and takes it away at the first
// key, click or wheel turn anywhere in the program.
class HintKeeper final : public QObject {
 public:
  explicit HintKeeper(QLabel* hint) : QObject(hint), hint_(hint) {
    hint->parentWidget()->installEventFilter(this);
    qApp->installEventFilter(this);
    Place();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::KeyPress:
      case QEvent::MouseButtonPress:
      case QEvent::Wheel:
      case QEvent::ContextMenu:
        hint_->deleteLater();
        break;
      case QEvent::Resize:
        if (watched == hint_->parentWidget()) Place();
        break;
      default:
        break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  void Place() {
    const QWidget* window = hint_->parentWidget();
    hint_->adjustSize();
    hint_->move((window->width() - hint_->width()) / 2, window->height() - hint_->height() - kBottomGap);
    hint_->raise();
  }

  QLabel* hint_;
};

void RememberShown(const SettingsLocation& settings) {
  try {
    TIniFile ini(settings.path);
    ini.WriteBool(kSection, kStartHintKey, true);
    if (settings.in_config_folder) MakeFolders(FolderOf(settings.path), 0700);
    ini.UpdateFile();
  } catch (...) {
    // Not remembered: the hint shows once more at the next start, nothing worse.
  }
}

}  // namespace

QLabel* ShowStartHintOnce(QWidget* window, const SettingsLocation& settings, bool writes) {
  if (writes && TIniFile(settings.path).ReadBool(kSection, kStartHintKey, false)) return nullptr;
  auto* hint = new QLabel(kStartHintText, window);
  hint->setObjectName("StartHint");
  hint->setAttribute(Qt::WA_TransparentForMouseEvents);
  hint->setStyleSheet(
      "QLabel { background: rgba(0, 0, 0, 170); color: white; border-radius: 6px; padding: 6px 12px; }");
  new HintKeeper(hint);
  hint->show();
  QTimer::singleShot(kStartHintTime, hint, &QObject::deleteLater);
  if (writes) RememberShown(settings);
  return hint;
}

}  // namespace qel
