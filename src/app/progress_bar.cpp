#include "app/progress_bar.h"

#include <QPainter>
#include <algorithm>

namespace qel {

namespace {

// The busy block: a fifth of the bar, moved by this many pixels a step.
constexpr int kBusyStepPixels = 6;

}  // namespace

TProgressBar::TProgressBar(QWidget* window) : QWidget(window) {
  setObjectName("ProgressBar");
  // Every pixel is painted, so nothing beneath is painted again for the bar, and the
  // mouse reaches whatever lies under it.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  hide();
}

void TProgressBar::SetValue(int percent) {
  if (percent == kBusy) {
    ++busy_step_;
    value_ = kBusy;
    return;
  }
  value_ = std::clamp(percent, 0, 100);
}

void TProgressBar::ShowNow() {
  if (const QWidget* window = parentWidget()) {
    setGeometry(0, window->height() - kThickness, window->width(), kThickness);
  }
  raise();
  show();
  PaintNow();
}

void TProgressBar::PaintNow() {
  if (isVisible()) repaint();
}

void TProgressBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QColor done = palette().color(QPalette::Highlight);
  painter.fillRect(rect(), palette().color(QPalette::Window).darker(130));
  if (value_ == kBusy) {
    const int block = std::max(width() / 5, 1);
    const int span = width() + block;
    const int x = int((std::int64_t(busy_step_) * kBusyStepPixels) % span) - block;
    painter.fillRect(QRect(x, 0, block, height()), done);
  } else {
    painter.fillRect(QRect(0, 0, int(std::int64_t(width()) * value_ / 100), height()), done);
  }
}

TCommandProgress::TCommandProgress(TProgressBar* bar, WarningSink warnings)
    : bar_(bar), warnings_(std::move(warnings)), start_(Clock::now()) {}

TCommandProgress::~TCommandProgress() {
  if (bar_) bar_->hide();
}

void TCommandProgress::OnProgress(ProgressStage, int percent, const TRect&, std::string_view) {
  Update(percent);
}

void TCommandProgress::Update(int percent) {
  if (!bar_) return;
  const Clock::time_point now = Clock::now();
  if (now - start_ < bar_->Delay()) return;
  bar_->SetValue(percent);
  if (bar_->isHidden()) {
    bar_->ShowNow();
  } else if (now - last_paint_ >= kRepaintInterval) {
    bar_->PaintNow();
  } else {
    return;
  }
  last_paint_ = now;
}

}  // namespace qel
