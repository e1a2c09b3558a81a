// The viewer as the end-to-end tests run it: with QEL_TEST_DUMP naming a file, the
// picture is written there as BMP after each command (an empty file for an empty
// picture), so that a script driving the window through the display server can read
// back what the window holds. With QEL_TEST_TRACE set, it also reads keys from its
// standard input, one a line ("Alt+C", "F11"), and sends them to the window, and
// prints what a display server without tools of its own (Wayland) hides: every title
// ("title: ...") and every time the window is hidden ("hidden").
#include <unistd.h>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QSaveFile>
#include <QSocketNotifier>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/viewer_main.h"
#include "imaging/stream.h"
#include "output/bmp_writer.h"

namespace {

void DumpPicture(const QString& path, const qel::Picture& picture) {
  std::vector<std::uint8_t> bytes;
  if (!picture.Empty()) {
    qel::TMemoryStream stream;
    qel::WriteBmp(picture, stream);
    bytes = stream.TakeBytes();
  }
  // Whole or not at all: the reader never sees half a file.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return;
  if (file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) == qint64(bytes.size()))
    file.commit();
}

void Print(const QString& line) {
  std::printf("%s\n", line.toUtf8().constData());
  std::fflush(stdout);
}

// Prints the window's titles and its being hidden.
class Tracer final : public QObject {
 public:
  explicit Tracer(QWidget* window) : QObject(window) {
    Print("title: " + window->windowTitle());
    window->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::WindowTitleChange)
      Print("title: " + static_cast<QWidget*>(watched)->windowTitle());
    if (event->type() == QEvent::Hide) Print("hidden");
    return false;
  }
};

// Sends each key read from standard input to the window that has the focus, or to the
// main window.
class KeyReader final : public QObject {
 public:
  explicit KeyReader(QWidget* window)
      : QObject(window), window_(window), notifier_(STDIN_FILENO, QSocketNotifier::Read) {
    connect(&notifier_, &QSocketNotifier::activated, this, [this] { ReadKeys(); });
  }

 private:
  void ReadKeys() {
    char buffer[256];
    const ssize_t count = read(STDIN_FILENO, buffer, sizeof buffer);
    if (count <= 0) {
      notifier_.setEnabled(false);
      return;
    }
    pending_.append(buffer, std::size_t(count));
    for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
      const QKeySequence sequence = QKeySequence::fromString(QString::fromStdString(pending_.substr(0, end)));
      pending_.erase(0, end + 1);
      if (sequence.isEmpty()) continue;
      QWidget* target = QApplication::activeModalWidget();
      if (!target) target = window_;
      const QKeyCombination key = sequence[0];
      QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers());
      QApplication::sendEvent(target, &press);
      QKeyEvent release(QEvent::KeyRelease, key.key(), key.keyboardModifiers());
      QApplication::sendEvent(target, &release);
    }
  }

  QWidget* window_;
  QSocketNotifier notifier_;
  std::string pending_;
};

}  // namespace

int main(int argc, char** argv) {
  return qel::RunViewer(argc, argv, [](qel::TForm1& form) {
    const QString path = qEnvironmentVariable("QEL_TEST_DUMP");
    if (!path.isEmpty())
      form.SetCommandObserver([path](const qel::Picture& picture) { DumpPicture(path, picture); });
    if (qEnvironmentVariableIsSet("QEL_TEST_TRACE")) {
      new Tracer(&form);
      new KeyReader(&form);
    }
  });
}
