// The window as a viewfinder: capturing the screen under its client area, and its
// translucency with the wheel stepping the opacity.
#include <QAction>
#include <QEvent>
#include <QScrollArea>
#include <QWheelEvent>
#include <QWindow>
#include <chrono>
#include <thread>

#include "app/form1.h"

namespace qel {

namespace {

// Long enough for the windows beneath to repaint what the hidden window uncovered.
constexpr std::chrono::milliseconds kCapturePause{200};
// The window grows by this much for a moment after the copy, which makes every window
// around it repaint.
constexpr int kCaptureNudge = 2;

constexpr int kBlendStep = 5;
constexpr int kBlendLowest = 150;
constexpr int kBlendHighest = 250;

// Sees the wheel turned anywhere over the window, and lets the widgets have it after;
// turned with Ctrl held it zooms as well, and the widgets do not see it.
class WheelWatcher final : public QObject {
 public:
  WheelWatcher(TForm1* form) : QObject(form), form_(form) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Wheel) {
      const auto* wheel = static_cast<QWheelEvent*>(event);
      const int delta = wheel->angleDelta().y();
      form_->Guarded([&] {
        if (delta < 0) form_->FormMouseWheelDown();
        if (delta > 0) form_->FormMouseWheelUp();
      });
      if (wheel->modifiers() & Qt::ControlModifier) {
        const QWidget* client = form_->ScrollArea()->viewport();
        const QPoint at = client->mapFromGlobal(wheel->globalPosition()).toPoint();
        form_->Guarded([&] { form_->ZoomByWheel(delta, at); });
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  TForm1* form_;
};

// Shows the window again however the capture ends, where it was: a window manager may
// otherwise place a window that comes back anew.
class ShowAgain {
 public:
  explicit ShowAgain(QWidget* window) : window_(window), place_(window->pos()) {}
  ~ShowAgain() {
    window_->show();
    if (window_->pos() != place_) window_->move(place_);
    window_->activateWindow();
  }
  ShowAgain(const ShowAgain&) = delete;
  ShowAgain& operator=(const ShowAgain&) = delete;

 private:
  QWidget* window_;
  QPoint place_;
};

}  // namespace

void TForm1::ConnectCaptureCommands() {
  Bind(CommandId::kCapture1, &TForm1::Capture1Click);
  Bind(CommandId::kAlphablend1, &TForm1::Alphablend1Click);
  // Every wheel event of the window passes its native window once, before it goes to
  // the widget under the pointer and on to the scroll area; the watcher belongs to the
  // form (Qt parent).
  create();
  windowHandle()->installEventFilter(new WheelWatcher(this));
}

void TForm1::Capture1Click() {
  CaptureUnderWindow();
  document_.CurrentFileName.clear();
  if (QAction* item = Item("Alphablend1")) item->setChecked(false);
  SetAlphaBlend(false);
  FormResize();
}

void TForm1::CaptureUnderWindow() {
  // The block under the client area; with scroll bars shown the scrolled picture may
  // start elsewhere, but what lies under the window is what the user aimed at.
  const QRect area(scroll_->viewport()->mapToGlobal(QPoint(0, 0)), ClientSize());
  Picture shot;
  if (!platform_.screen->KnowsWindowPlace()) {
    // Nothing tells the window where it is: the user picks the area in the desktop's
    // screenshot tool, and the window stays where it is (hidden, it might come back
    // elsewhere).
    shot = platform_.screen->PickArea();
    TakeUndoCopy();
    ShowNewPicture(std::move(shot));
    return;
  }
  {
    ShowAgain show_again(this);
    hide();
    // A plain wait: no events are handled meanwhile.
    std::this_thread::sleep_for(kCapturePause);
    // A session that gives no way to read the screen ends the capture here, with the
    // document as it was.
    shot = platform_.screen->Grab(area);
    TakeUndoCopy();
    resize(width() + kCaptureNudge, height());
    ShowNewPicture(std::move(shot));
    resize(width() - kCaptureNudge, height());
  }
}

void TForm1::SetAlphaBlend(bool on) {
  alpha_blend_ = on;
  setWindowOpacity(on ? alpha_blend_value_ / 255.0 : 1.0);
}

void TForm1::Alphablend1Click() {
  SetAlphaBlend(Checked("Alphablend1"));
}

void TForm1::FormMouseWheelDown() {
  if (!alpha_blend_ || alpha_blend_value_ <= kBlendLowest) return;
  alpha_blend_value_ -= kBlendStep;
  SetAlphaBlend(true);
}

void TForm1::FormMouseWheelUp() {
  if (!alpha_blend_ || alpha_blend_value_ >= kBlendHighest) return;
  alpha_blend_value_ += kBlendStep;
  SetAlphaBlend(true);
}

}  // namespace qel
